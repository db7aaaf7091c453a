#pragma once
// Conversions between the dialogs' ANSI text and the platform's UTF-16 strings,
// always through the system's ANSI code page. No length limit either way.
#include <string>
#include <string_view>

namespace ui {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace ui
