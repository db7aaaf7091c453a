#pragma once
// Small text rules that every floor shares: line ends, ASCII case, surrogates, widening, one-line
// quotes and inserts. Pure code with no platform header, so the list's fuzz target builds it natively.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

constexpr const wchar_t* kEol = L"\r\n";
constexpr const char* kEolNarrow = "\r\n";

constexpr bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Protocols, header names, keywords and paths compare this way; no locale takes part.
bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

// The parts between the separators (one part, the whole text, where it holds none).
std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator);

// Without the blanks and tabs at either end.
std::wstring_view TrimmedBlanks(std::wstring_view text);

// ASCII (dotted decimal and the like) as UTF-16, each byte as its own code point.
std::wstring Widened(std::string_view ascii);

// A text from outside made fit for one line of a message: control characters shown as blanks,
// and cut to at most maxChars with "..." after them (a surrogate pair is never split).
std::wstring OneLine(std::wstring_view text, size_t maxChars);

// The text with each insert "%1" to "%9" replaced by its value; the values are never read as a
// format, so a text from outside may stand among them.
std::wstring WithInserts(std::wstring_view text, std::initializer_list<std::wstring_view> values);
std::string WithInserts(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace ui
