#include "ui/message_box.h"

#include "ui/text.h"

namespace ui {
namespace {

int RealMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxW(owner, text, caption, type);
}

MessageBoxFunction currentMessageBox = &RealMessageBox;

}  // namespace

int ShowMessageBox(HWND owner, const std::string& text, const char* caption, UINT type) {
    return ShowMessageBox(owner, AnsiToWide(text), caption, type);
}

int ShowMessageBox(HWND owner, const std::wstring& text, const char* caption, UINT type) {
    return currentMessageBox(owner, text.c_str(), AnsiToWide(caption ? caption : "").c_str(), type);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = currentMessageBox;
    currentMessageBox = function ? function : &RealMessageBox;
    return previous;
}

}  // namespace ui
