#pragma once
// Every message box of the program goes through here, so tests can record
// text, caption, type and owner and answer as scripted. Production: MessageBoxA.
#include <windows.h>

#include <string>

namespace ui {

using MessageBoxFunction = int (*)(HWND owner, const char* text, const char* caption, UINT type);

// Shows a modal box; the text is shown as it is, never used as a format.
int ShowMessageBox(HWND owner, const std::string& text, const char* caption, UINT type);

// Replaces the box function (nullptr restores MessageBoxA); returns the previous one.
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

}  // namespace ui
