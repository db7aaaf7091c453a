#include "ui/text_rules.h"

#include <vector>

namespace ui {
namespace {

template <typename Char>
Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char>
bool SameFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

template <typename Char>
std::basic_string<Char> Inserted(std::basic_string_view<Char> text, std::initializer_list<std::basic_string_view<Char>> values) {
    const std::vector<std::basic_string_view<Char>> all(values);
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t index = i + 1 < text.size() && text[i] == Char('%') ? static_cast<size_t>(text[i + 1] - Char('1')) : all.size();
        if (index < all.size() && index < 9) {
            out.append(all[index]);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) { return SameFolded(a, b); }
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) { return SameFolded(a, b); }

std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    for (size_t start = 0;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::wstring_view::npos ? std::wstring_view::npos : at - start));
        if (at == std::wstring_view::npos) return parts;
        start = at + 1;
    }
}

std::wstring_view TrimmedBlanks(std::wstring_view text) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::wstring Widened(std::string_view ascii) {
    std::wstring wide;
    wide.reserve(ascii.size());
    for (char c : ascii) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

std::wstring OneLine(std::wstring_view text, size_t maxChars) {
    size_t keep = text.size();
    if (keep > maxChars) {
        keep = maxChars;
        if (keep > 0 && IsHighSurrogate(static_cast<char32_t>(text[keep - 1]))) --keep;
    }
    std::wstring line(text.substr(0, keep));
    for (wchar_t& c : line) {
        if (IsControl(c)) c = L' ';
    }
    if (keep < text.size()) line += L"...";
    return line;
}

std::wstring WithInserts(std::wstring_view text, std::initializer_list<std::wstring_view> values) { return Inserted(text, values); }
std::string WithInserts(std::string_view text, std::initializer_list<std::string_view> values) { return Inserted(text, values); }

}  // namespace ui
