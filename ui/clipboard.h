#pragma once
// Puts text on the clipboard, as the system's ANSI text format.
#include <windows.h>

#include <string>

namespace ui {

// True when the clipboard holds the text afterwards; the owner window is the clipboard's opener.
bool CopyTextToClipboard(HWND owner, const std::string& text);

}  // namespace ui
