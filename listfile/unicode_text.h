#pragma once
// The list's file as text: its bytes decoded as their byte-order mark (or their validity) says, and
// UTF-16 text encoded as UTF-8. Pure code, no platform header; texts are UTF-16 code units on every
// platform, as PortMapping's texts are.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace listfile {

constexpr const char kUtf8Bom[] = "\xEF\xBB\xBF";

// The file's text as UTF-16, with where (text offsets) its bytes broke their encoding, named as the
// fault says it ("the bytes are not valid <encoding>.").
struct DecodedText {
    std::wstring text;
    std::vector<size_t> invalidAt;
    std::wstring encoding = L"UTF-8";
};

// The decoding of a file in the code page of the user's language (production: DecodeAnsiFile; the fuzz
// target: Latin-1).
using AnsiDecoder = DecodedText (*)(std::string_view bytes);

// A BOM names the encoding; without one, valid UTF-8 is UTF-8 and anything else the ANSI code page.
DecodedText Decode(std::string_view bytes, AnsiDecoder decodeAnsi);

// UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

}  // namespace listfile
