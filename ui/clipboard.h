#pragma once
// Puts text on the clipboard as Unicode text, with the ANSI text beside it.
#include <windows.h>

#include <string>

namespace ui {

// True when the clipboard holds the text afterwards; the owner window is the clipboard's opener.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace ui
