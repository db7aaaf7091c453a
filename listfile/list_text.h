#pragma once
// Small text rules that the file's messages and the import's report share.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace listfile {

constexpr const wchar_t* kEol = L"\r\n";

// Protocols, header names and computer names compare this way; no locale takes part.
bool SameIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);


// A text from outside made fit for one line of a message: control characters shown as blanks,
// and cut to at most about maxChars with "..." (a surrogate pair is never split).
std::wstring OneLine(std::wstring_view text, size_t maxChars);

// The first ten lines, each ending in "\r\n", then "... and N more" for the rest.
std::wstring AtMostTen(const std::vector<std::wstring>& lines);

}  // namespace listfile
