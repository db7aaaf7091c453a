// A list's file without a byte-order mark that is no UTF-8, decoded by Windows in the code page of the
// user's language also where the ANSI code page is UTF-8 itself; a line it cannot decode is marked.
#include "listfile/ansi_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct DecodeRow {
    const char* name;
    UINT ansi, locale;  // the ANSI code page and the language's
    std::string bytes;
    std::wstring text;  // as decoded; not looked at where a line is marked
    std::vector<size_t> invalidAt;
};

TEST(DecodeAnsiFile, InTheCodePageOfTheUsersLanguage) {
    const DecodeRow rows[] = {
        {"UTF-8 for the world: the language's code page", CP_UTF8, 1252, "B\xFCro\r\n", L"B\u00FCro\r\n", {}},
        {"Cyrillic", CP_UTF8, 1251, "\xCF\xF0\xE8\r\n\xEA", L"\u041F\u0440\u0438\r\n\u043A", {}},
        {"Japanese, and a line with a lead byte alone", CP_UTF8, 932, "\x82\xA0\r\nbad \x81\nok", L"", {3}},
        {"a language without an ANSI code page of its own", CP_UTF8, 0, "ok\r\nB\xFCro", L"", {4}},
        {"an ANSI code page that is one", 1252, 1251, "B\xFCro", L"B\u00FCro", {}},
    };
    for (const DecodeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const listfile::DecodedText decoded = listfile::DecodeInCodePage(row.bytes, listfile::LegacyCodePage(row.ansi, row.locale));
        EXPECT_EQ(decoded.invalidAt, row.invalidAt);
        if (row.invalidAt.empty()) {
            EXPECT_EQ(decoded.text, row.text);
        }
    }
    EXPECT_EQ(listfile::DecodeInCodePage("", 932).encoding, L"text in code page 932");
}

}  // namespace
