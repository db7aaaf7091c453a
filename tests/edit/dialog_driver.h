#pragma once
// Drives real dialogs the way a user does: texts set with their change notification,
// button clicks, typed characters and keys, and an action run inside a modal loop
// once the dialog with a given caption has appeared.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace gktest {

std::string Text(HWND window);
// WM_SETTEXT; a single-line edit field sends EN_CHANGE for it, as for typing.
void SetTextNotifying(HWND field, const std::string& text);
// A click of a push or radio button (BM_CLICK: mouse down and up on the button).
void Click(HWND button);
// One typed character, handled at once.
void TypeChar(HWND field, char c);
// Characters and keys through the message queue, so the modal loop's dialog navigation sees them.
void PostKeys(HWND field, const std::string& text);
void PostKey(HWND window, UINT virtualKey);
// Handles everything waiting in this thread's queue.
void PumpPending();

// Real input through the system's queue (SendInput), handled as the dialog's modal loop
// handles it, until neither the input nor anything it posted is left in the queue.
void DeliverInput(HWND dialog, std::vector<INPUT> input);
// Left- (or right-) button clicks at the cursor (two make a double click), and a key pressed
// and let go with the modifier keys held around it.
std::vector<INPUT> MouseClicks(int clicks, bool right = false);
std::vector<INPUT> KeyStroke(WORD key, std::vector<WORD> modifiers = {});

// Runs the action once, inside whatever message loop is running, when a dialog of this
// thread with the caption is shown (or a popup menu: class kMenu, caption ""). If it is
// still there a minute after, it is ended (a dialog with kDriverGaveUp) so that a test
// fails instead of hanging.
class DialogDriver {
public:
    static constexpr INT_PTR kDriverGaveUp = 0x7e57;
    static constexpr const char* kMenu = "#32768";

    DialogDriver(std::string caption, std::function<void(HWND)> action, std::string windowClass = "#32770");
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    bool Ran() const { return ran_; }

private:
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::string caption_;
    std::function<void(HWND)> action_;
    std::string class_;
    UINT_PTR timer_ = 0;
    bool ran_ = false;
    DWORD actionTick_ = 0;
};

}  // namespace gktest
