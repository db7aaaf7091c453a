#include "listfile/list_text.h"

#include "ui/text_rules.h"

namespace listfile {

namespace {

constexpr size_t kListedLines = 10;

}  // namespace

std::wstring AtMostTen(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (size_t i = 0; i < lines.size() && i < kListedLines; ++i) text += lines[i] + ui::kEol;
    if (lines.size() > kListedLines) text += L"... and " + std::to_wstring(lines.size() - kListedLines) + L" more" + ui::kEol;
    return text;
}

}  // namespace listfile
