#include "ui/message_box.h"

namespace ui {
namespace {

int RealMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}

MessageBoxFunction currentMessageBox = &RealMessageBox;

}  // namespace

int ShowMessageBox(HWND owner, const std::string& text, const char* caption, UINT type) {
    return currentMessageBox(owner, text.c_str(), caption, type);
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = currentMessageBox;
    currentMessageBox = function ? function : &RealMessageBox;
    return previous;
}

}  // namespace ui
