#include "tests/lab/system_steps.h"

#include <cstdio>

#include "tests/lab/remote_window.h"
#include "tests/lab/step_io.h"
#include "ui/handles.h"

namespace lab {

void PrintWindows() {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            char line[64];
            std::snprintf(line, sizeof line, "WINDOW\t%lu\t%d\t%d", static_cast<unsigned long>(ProcessOf(window)),
                          IsWindowVisible(window) ? 1 : 0, IsWindowEnabled(window) ? 1 : 0);
            Print(line + std::string("\t") + ClassName(window) + "\t" + Escape(WindowText(window)));
            return TRUE;
        },
        0);
}

void PrintSystemMessage(HRESULT code) {
    // As Unicode, as the box that quotes it is read.
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    ui::UniqueHLocal owner(text);
    std::string message = length ? ToUtf8(std::wstring_view(text, length)) : std::string();
    if (message.size() > 1 && message.back() == '\n') {
        message.pop_back();
        if (!message.empty() && message.back() == '\r') message.pop_back();
    }
    Print("SYSMSG\t" + Escape(message));
}

void PrintStartupTime(const std::string& exe, const std::string& captionPrefix, DWORD waitMs, DWORD endWaitMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string commandLine = "\"" + exe + "\"";
    const double start = NowMs();
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        Fail("cannot start " + exe);
    ui::UniqueHandleObject process(info.hProcess), thread(info.hThread);
    HWND shown = nullptr;
    while (!shown) {
        for (HWND window : TopLevelDialogs(info.dwProcessId))
            if (WindowText(window).rfind(captionPrefix, 0) == 0) shown = window;
        if (!shown && WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) Fail(exe + " ended without a window");
        if (NowMs() - start > waitMs) Fail(exe + " showed no window within " + Seconds(waitMs));
    }
    const double elapsed = NowMs() - start;
    PostMessageA(shown, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, endWaitMs) != WAIT_OBJECT_0) Fail(exe + " did not end");
    char line[64];
    std::snprintf(line, sizeof line, "STARTUP_MS\t%.1f", elapsed);
    Print(line);
}

}  // namespace lab
