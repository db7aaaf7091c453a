#include "listfile/list_text.h"

namespace listfile {

namespace {

constexpr size_t kListedLines = 10;

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::wstring OneLine(std::wstring_view text, size_t maxChars) {
    size_t keep = text.size();
    if (keep > maxChars) {
        keep = maxChars;
        if (keep > 0 && IsHighSurrogate(text[keep - 1])) --keep;
    }
    std::wstring line(text.substr(0, keep));
    for (wchar_t& c : line) {
        if (IsControl(c)) c = L' ';
    }
    if (keep < text.size()) line += L"...";
    return line;
}

std::wstring AtMostTen(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (size_t i = 0; i < lines.size() && i < kListedLines; ++i) text += lines[i] + kEol;
    if (lines.size() > kListedLines) text += L"... and " + std::to_wstring(lines.size() - kListedLines) + L" more" + kEol;
    return text;
}

}  // namespace listfile
