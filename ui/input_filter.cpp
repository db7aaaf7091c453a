#include "ui/input_filter.h"

#include "ui/flag_scope.h"

namespace ui {
namespace {

// One hook for the thread serves every filter; it is there while any filter is.
InputFilter* innermost = nullptr;
HHOOK hook = nullptr;
bool discarding = false;

// Keys, and the mouse moves and wheel turns that tips follow.
bool IsFiltered(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_MOUSEMOVE || message == WM_MOUSEWHEEL;
}

}  // namespace

InputFilter::InputFilter(HWND window, InputTranslator& translator)
    : window_(window), translator_(translator), outer_(innermost) {
    if (!hook) hook = SetWindowsHookExA(WH_GETMESSAGE, &InputFilter::OnGetMessage, nullptr, GetCurrentThreadId());
    innermost = this;
}

InputFilter::~InputFilter() {
    // Filters end in any order: unlink this one wherever it stands.
    for (InputFilter** link = &innermost; *link; link = &(*link)->outer_) {
        if (*link == this) {
            *link = outer_;
            break;
        }
    }
    if (!innermost && hook) {
        UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
}

bool InputFilter::Covers(HWND target) const {
    return target && IsWindow(window_) && (target == window_ || IsChild(window_, target));
}

LRESULT CALLBACK InputFilter::OnGetMessage(int code, WPARAM removal, LPARAM message) {
    // Only a message that is taken from the queue is about to be dispatched.
    if (code == HC_ACTION && removal == PM_REMOVE && !discarding) {
        MSG& msg = *reinterpret_cast<MSG*>(message);
        if (IsFiltered(msg.message)) {
            for (InputFilter* filter = innermost; filter; filter = filter->outer_) {
                if (!filter->Covers(msg.hwnd)) continue;
                if (filter->translator_.TranslateInput(msg)) msg.message = WM_NULL;
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

void DiscardPendingInput() {
    const FlagScope scope(discarding);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
    }
}

}  // namespace ui
