#include "listfile/mapping_values.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "ui/text_rules.h"

namespace listfile {

namespace {

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool AllDigits(std::wstring_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsAsciiDigit); }

// Digits only, leading zeros allowed, at most max.
bool ReadNumber(std::wstring_view text, int32_t max, int32_t& number) {
    if (!AllDigits(text)) return false;
    text.remove_prefix(std::min(text.find_first_not_of(L'0'), text.size() - 1));
    if (text.size() > 9) return false;
    int32_t value = 0;
    for (wchar_t c : text) value = value * 10 + (c - L'0');
    if (value > max) return false;
    number = value;
    return true;
}

bool IsNameLabel(std::wstring_view label) {
    if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
    return std::all_of(label.begin(), label.end(), [](wchar_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == L'-'; });
}

}  // namespace

bool ReadPort(std::wstring_view text, int32_t& port) {
    int32_t value = 0;
    if (!ReadNumber(ui::TrimmedBlanks(text), 65535, value) || value == 0) return false;
    port = value;
    return true;
}

bool IsIpv4Address(std::wstring_view text) {
    const std::vector<std::wstring_view> parts = ui::Split(text, L'.');
    return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), [](std::wstring_view part) {
               int32_t value = 0;
               return part.size() <= 3 && (part.size() == 1 || part[0] != L'0') && ReadNumber(part, 255, value);
           });
}

bool IsComputerName(std::wstring_view text) {
    if (text.size() > 253) return false;
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsAsciiDigit(c) || c == L'.'; })) return false;
    const std::vector<std::wstring_view> labels = ui::Split(text, L'.');
    return std::all_of(labels.begin(), labels.end(), IsNameLabel);
}

bool ReadEnabled(std::wstring_view text, int32_t& enabled) {
    text = ui::TrimmedBlanks(text);
    for (const wchar_t* yes : {L"", L"yes", L"true", L"1"}) {
        if (ui::SameIgnoringAsciiCase(text, yes)) return enabled = -1, true;
    }
    for (const wchar_t* no : {L"no", L"false", L"0"}) {
        if (ui::SameIgnoringAsciiCase(text, no)) return enabled = 0, true;
    }
    return false;
}

}  // namespace listfile
