#include "listfile/ansi_text.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace listfile {
namespace {

// The line's bytes decoded, or false where one of them is none of the code page's.
bool DecodeLine(std::string_view line, UINT codePage, DWORD flags, std::wstring& text) {
    const int size = static_cast<int>(line.size());
    const int length = MultiByteToWideChar(codePage, flags, line.data(), size, nullptr, 0);
    if (length <= 0) return false;
    const size_t start = text.size();
    text.resize(start + static_cast<size_t>(length));
    MultiByteToWideChar(codePage, flags, line.data(), size, text.data() + start, length);
    return true;
}

UINT LocaleCodePage() {
    wchar_t number[8] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, number, 8)) return 0;
    return static_cast<UINT>(std::wcstoul(number, nullptr, 10));
}

}  // namespace

UINT LegacyCodePage(UINT ansiCodePage, UINT localeCodePage) {
    if (ansiCodePage != CP_UTF8 || localeCodePage == 0) return ansiCodePage;
    return localeCodePage;
}

DecodedText DecodeInCodePage(std::string_view bytes, UINT codePage) {
    DecodedText decoded;
    decoded.encoding = codePage == CP_UTF8 ? L"UTF-8" : L"text in code page " + std::to_wstring(codePage);
    decoded.text.reserve(bytes.size());
    // A line end byte is never part of a character in the code pages Windows uses for ANSI text.
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
        const size_t next = std::min(bytes.find_first_not_of("\r\n", end), bytes.size());
        const std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && !DecodeLine(line, codePage, MB_ERR_INVALID_CHARS, decoded.text)) {
            // Some code pages take no such flag: their bytes decode as they can.
            const bool invalid = GetLastError() != ERROR_INVALID_FLAGS;
            if (invalid) decoded.invalidAt.push_back(decoded.text.size());
            DecodeLine(line, codePage, 0, decoded.text);
        }
        for (char c : bytes.substr(end, next - end)) decoded.text += static_cast<wchar_t>(c);
        start = next;
    }
    return decoded;
}

DecodedText DecodeAnsiFile(std::string_view bytes) { return DecodeInCodePage(bytes, LegacyCodePage(GetACP(), LocaleCodePage())); }

}  // namespace listfile
