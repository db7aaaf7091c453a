#pragma once
// An accelerator step in every message loop of this thread, the dialog manager's own
// modal loops and message boxes included: a key, a mouse move or a wheel turn for a window
// or one of its children reaches the translator before it is dispatched, and what the
// translator takes is never dispatched.
#include <windows.h>

namespace ui {

class InputTranslator {
public:
    // True when the message has been dealt with and must not reach its window.
    virtual bool TranslateInput(const MSG& message) = 0;

protected:
    ~InputTranslator() = default;
};

class InputFilter {
public:
    InputFilter(HWND window, InputTranslator& translator);
    ~InputFilter();
    InputFilter(const InputFilter&) = delete;
    InputFilter& operator=(const InputFilter&) = delete;

private:
    static LRESULT CALLBACK OnGetMessage(int code, WPARAM removal, LPARAM message);
    bool Covers(HWND target) const;

    HWND window_;
    InputTranslator& translator_;
    InputFilter* outer_;  // the filter installed before this one, still asked for its own window
};

// Drops the keyboard and mouse input waiting in this thread's queue, untranslated:
// what the user did while the window could not answer is not replayed afterwards.
void DiscardPendingInput();

}  // namespace ui
