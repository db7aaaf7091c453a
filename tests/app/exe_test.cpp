// gatekeel.exe as a user starts it: the main dialog comes up, and Done or Escape ends the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "tests/app/gui_support.h"
#include "ui/handles.h"

namespace {

std::string ExePath() {
    std::string path = "Z:" GATEKEEL_EXE_UNIX_PATH;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

struct MainWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<MainWindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (owner == search.processId && IsWindowVisible(window) && std::string(className) == "#32770" &&
        std::string(caption).rfind("Gatekeel -- ", 0) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

class ExeTest : public ::testing::Test {
protected:
    // A Wine process can take many seconds to start, or to end, on a busy machine.
    static constexpr DWORD kWaitMs = 100000;

    void SetUp() override { gui_test::SetFirstRunMarker(1); }

    // Starts the exe and waits for its main dialog; the time it took, in milliseconds.
    double StartAndWaitForWindow() {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + ExePath() + "\"";
        LARGE_INTEGER frequency, started, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&started);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            ADD_FAILURE() << "cannot start " << ExePath() << ": " << GetLastError();
            return -1;
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        MainWindowSearch search{info.dwProcessId, nullptr};
        const DWORD start = GetTickCount();
        for (;;) {
            EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found) break;
            if (WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                GetExitCodeProcess(process_.get(), &code);
                ADD_FAILURE() << "gatekeel.exe ended with " << code << " before its main dialog showed";
                break;
            }
            if (GetTickCount() - start > kWaitMs) break;
            Sleep(5);
        }
        QueryPerformanceCounter(&now);
        window_ = search.found;
        return 1000.0 * static_cast<double>(now.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

    DWORD WaitForExit() {
        if (WaitForSingleObject(process_.get(), kWaitMs) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 99);
            return 99;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    void TearDown() override {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 98);
    }

    ui::UniqueHandleObject process_;
    HWND window_ = nullptr;
};

TEST_F(ExeTest, ShowsTheMainDialogAndEndsWithDone) {
    const double ms = StartAndWaitForWindow();
    ASSERT_NE(window_, nullptr) << "no main dialog within " << kWaitMs / 1000 << " s";
    std::cout << "process start to main dialog shown: " << ms << " ms\n";
    RecordProperty("start_to_dialog_ms", std::to_string(ms));
    EXPECT_NE(GetDlgItem(window_, 1002), nullptr);
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(WaitForExit(), 0u);
}

TEST_F(ExeTest, EscapeAndTheCloseBoxEndTheProcess) {
    for (UINT message : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_CLOSE)}) {
        SCOPED_TRACE(message);
        StartAndWaitForWindow();
        ASSERT_NE(window_, nullptr) << "no main dialog within " << kWaitMs / 1000 << " s";
        PostMessageA(window_, message, message == WM_COMMAND ? MAKEWPARAM(IDCANCEL, BN_CLICKED) : 0, 0);
        EXPECT_EQ(WaitForExit(), 0u);
    }
}

}  // namespace
