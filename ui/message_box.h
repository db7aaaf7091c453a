#pragma once
// Every message box of the program goes through here, so tests can record
// text, caption, type and owner and answer as scripted. Production: MessageBoxW.
#include <windows.h>

#include <string>

namespace ui {

using MessageBoxFunction = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Shows a modal box; the text is shown as it is, never used as a format. The program's own
// texts are ANSI; a text that quotes the router's may be in any script.
int ShowMessageBox(HWND owner, const std::string& text, const char* caption, UINT type);
int ShowMessageBox(HWND owner, const std::wstring& text, const char* caption, UINT type);

// Replaces the box function (nullptr restores MessageBoxW); returns the previous one.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

}  // namespace ui
