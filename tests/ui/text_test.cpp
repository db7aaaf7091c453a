#include "ui/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConversion, AsciiRoundTrips) {
    EXPECT_EQ(ui::AnsiToWide("TCP 192.0.2.5"), L"TCP 192.0.2.5");
    EXPECT_EQ(ui::WideToAnsi(L"TCP 192.0.2.5"), "TCP 192.0.2.5");
}

TEST(TextConversion, EmptyStaysEmpty) {
    EXPECT_EQ(ui::AnsiToWide(""), L"");
    EXPECT_EQ(ui::WideToAnsi(L""), "");
}

TEST(TextConversion, LongTextAndEmbeddedNulsRoundTrip) {
    std::string text(64 * 1024, 'x');
    text[100] = '\0';
    text.back() = 'z';
    const std::wstring wide = ui::AnsiToWide(text);
    ASSERT_EQ(wide.size(), text.size());
    EXPECT_EQ(wide[100], L'\0');
    EXPECT_EQ(ui::WideToAnsi(wide), text);
}

TEST(TextConversion, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    // U+4E2D has no form in the Western code page Wine uses here.
    EXPECT_EQ(ui::WideToAnsi(L"a\x4e2d" L"b"), "a?b");
}

}  // namespace
