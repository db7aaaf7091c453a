#pragma once
// Drives real windows of this thread as a user does, for the GUI tests of every subsystem:
// button clicks, texts set with their change notification, typed characters and keys, real
// input through the system's queue, and actions run inside whatever modal loop is running.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace gui_test {

// Common controls and the rich edit library, as the application provides them.
void InitGui();

// Handles everything waiting in this thread's queue.
void PumpPending();

// A click of a push, radio or check button (BM_CLICK: mouse down and up on the button).
void Click(HWND button);
// An action that clicks the button with the id in the window it is given.
std::function<void(HWND)> ClickOn(int id);
// WM_SETTEXT; a single-line edit field sends EN_CHANGE for it, as for typing.
void SetTextNotifying(HWND field, const std::string& text);
// One typed character, handled at once.
void TypeChar(HWND field, char c);
// Characters and keys through the message queue, so the modal loop's dialog navigation sees them.
void PostKeys(HWND field, const std::string& text);
void PostKey(HWND window, UINT virtualKey);

// Real input through the system's queue (SendInput), handled as the dialog's modal loop
// handles it, until neither the input nor anything it posted is left in the queue.
void DeliverInput(HWND dialog, std::vector<INPUT> input);
// Left- (or right-) button clicks at the cursor (two make a double click), and a key pressed
// and let go with the modifier keys held around it.
std::vector<INPUT> MouseClicks(int clicks, bool right = false);
std::vector<INPUT> KeyStroke(WORD key, std::vector<WORD> modifiers = {});

// While it lives, runs the action inside whatever message loop is running on each dialog of
// this thread with the caption, once, as it is shown (or on each popup menu: class kMenu,
// caption ""). One still there a minute after its action is ended (a dialog with
// kDriverGaveUp), so that a test fails instead of hanging. One driver at a time.
class DialogDriver {
public:
    static constexpr INT_PTR kDriverGaveUp = 0x7e57;
    static constexpr const char* kMenu = "#32768";

    DialogDriver(std::string caption, std::function<void(HWND)> action, std::string windowClass = "#32770");
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // How many windows the action ran on.
    int Runs() const { return static_cast<int>(handled_.size()); }
    bool Ran() const { return !handled_.empty(); }

private:
    struct Handled {
        HWND window;
        DWORD tick;  // when the action ran on it
    };
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::string caption_;
    std::function<void(HWND)> action_;
    std::string class_;
    UINT_PTR timer_ = 0;
    std::vector<Handled> handled_;
};

// Runs a function when the posted message reaches the probe window, that is when the
// code under test pumps the queue.
class Probe {
public:
    Probe();
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    void Post(std::function<void()> action);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    std::deque<std::function<void()>> actions_;  // stable while an action posts another
};

// Times a function's CPU use on this thread, in microseconds.
double ThreadCpuMicroseconds(const std::function<void()>& work);

}  // namespace gui_test
