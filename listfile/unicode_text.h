#pragma once
// The list's file as text: its bytes decoded as their byte-order mark (or their validity) says, and
// UTF-16 text encoded as UTF-8. Pure code, no platform header; texts are UTF-16 code units on every
// platform, as PortMapping's texts are.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listfile/mapping_file.h"

namespace listfile {

constexpr const char kUtf8Bom[] = "\xEF\xBB\xBF";

// The file's text as UTF-16, with where (text offsets) its bytes broke the encoding their BOM promised.
struct DecodedText {
    std::wstring text;
    std::vector<size_t> invalidAt;
    const wchar_t* encoding = L"UTF-8";
};

// A BOM names the encoding; without one, valid UTF-8 is UTF-8 and anything else the ANSI code page.
DecodedText Decode(std::string_view bytes, AnsiDecoder decodeAnsi);

// UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

}  // namespace listfile
