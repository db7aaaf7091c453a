#include "ui/app.h"

#include <cstring>

#include "ui/text.h"

namespace ui {
namespace {

App* currentApp = nullptr;

bool IsDialogWindow(HWND window) {
    char className[16] = {};
    return GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "#32770") == 0;
}

}  // namespace

App::App() { currentApp = this; }

App::~App() {
    if (currentApp == this) currentApp = nullptr;
}

App* App::Current() { return currentApp; }

int App::Run(HINSTANCE instance) {
    instance_ = instance;
    if (!InitInstance()) return 0;
    while (PumpMessage()) {
    }
    return 0;
}

bool App::PumpMessage() { return ui::PumpMessage(); }

HINSTANCE ResourceInstance() {
    if (currentApp && currentApp->Instance()) return currentApp->Instance();
    return GetModuleHandleA(nullptr);
}

std::string ResourceString(UINT id, const char* fallback) {
    const wchar_t* text = nullptr;
    // With no buffer the call hands out the resource's own text, so no length limit applies.
    const int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || !text) return fallback;
    return WideToAnsi(std::wstring_view(text, static_cast<size_t>(length)));
}

HWND MainWindow() { return currentApp ? currentApp->MainWindow() : nullptr; }

bool PumpMessage() {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // leave WM_QUIT for the outer loop
        return false;
    }
    // Keyboard navigation (Tab, Enter, Escape) for whichever dialog the message is for.
    const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogWindow(root) && IsDialogMessageA(root, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void HandlePendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) {
        if (!PumpMessage()) return;
    }
}

}  // namespace ui
