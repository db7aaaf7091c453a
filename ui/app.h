#pragma once
// The application object: instance initialisation and the message pump step.
#include <windows.h>

#include <string>

namespace ui {

class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Runs InitInstance; when it asks for no message loop the process may end at once.
    int Run(HINSTANCE instance);
    // Fetches, translates and dispatches one message; false after WM_QUIT.
    bool PumpMessage();

    HINSTANCE Instance() const { return instance_; }
    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND window) { mainWindow_ = window; }

    // The one application object, or nullptr (tests run without one).
    static App* Current();

protected:
    // True to enter a message loop afterwards, false to end.
    virtual bool InitInstance() = 0;

private:
    HINSTANCE instance_ = nullptr;
    HWND mainWindow_ = nullptr;
};

// The module whose resources the dialogs are built from.
HINSTANCE ResourceInstance();
// A string resource of that module, whole, in the ANSI code page; the fallback when it is missing.
std::string ResourceString(UINT id, const char* fallback = "");
// The application's main window, or nullptr.
HWND MainWindow();
// One step of the application's message pump (works with or without an App).
bool PumpMessage();
// Handles every message waiting in the queue, so long work on this thread lets the windows
// answer between its steps; stops early when the pump saw WM_QUIT.
void HandlePendingMessages();

}  // namespace ui
