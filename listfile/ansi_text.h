#pragma once
// A list's file without a byte-order mark that is no UTF-8: a spreadsheet saved it as plain CSV in
// the code page of the user's language. Each line decodes whole or is marked, never guessed at.
#include <windows.h>

#include <string_view>

#include "listfile/unicode_text.h"

namespace listfile {

// The code page such a file is in: the ANSI code page, unless that is UTF-8 itself (Windows'
// "UTF-8 for worldwide language support"), where a spreadsheet still saves plain CSV in the code
// page of the user's language (localeCodePage: its LOCALE_IDEFAULTANSICODEPAGE; 0 where it has none).
UINT LegacyCodePage(UINT ansiCodePage, UINT localeCodePage);

// The bytes in the code page, line by line; a line with a byte the code page cannot decode is
// marked invalid where it begins.
DecodedText DecodeInCodePage(std::string_view bytes, UINT codePage);

// The reader's AnsiDecoder: DecodeInCodePage in this user's LegacyCodePage.
DecodedText DecodeAnsiFile(std::string_view bytes);

}  // namespace listfile
