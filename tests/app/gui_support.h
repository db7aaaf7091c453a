#pragma once
// Shared pieces of the application's GUI tests: the one-time GUI set-up, the
// first-run marker, a closer for modal boxes, and probes that run inside the pump.
#include <windows.h>

#include <functional>
#include <string>
#include <deque>
#include <vector>

namespace gui_test {

// Common controls and the rich edit library, as the application provides them.
void InitGui();

// Sets "FirstRun" to the DWORD value, or deletes it.
void SetFirstRunMarker(DWORD value);
void DeleteFirstRunMarker();

// Dispatches every message waiting in this thread's queue.
void PumpPending();

// Sends a button click from the control to its dialog.
void Click(HWND dialog, int id);

// While it lives, closes every visible top-level window of this thread whose caption
// is the given one, by a click on closeId, and counts the windows it closed.
class ModalCloser {
public:
    ModalCloser(std::string caption, int closeId);
    ~ModalCloser();
    ModalCloser(const ModalCloser&) = delete;
    ModalCloser& operator=(const ModalCloser&) = delete;

    int Closed() const { return closed_; }
    // What to do with the box just before it is closed (read its controls).
    std::function<void(HWND)> onFound;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK Visit(HWND window, LPARAM self);

    std::string caption_;
    int closeId_;
    int closed_ = 0;
    UINT_PTR timer_;
    std::vector<HWND> handled_;
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
