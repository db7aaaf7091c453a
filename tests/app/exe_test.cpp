// gatekeel.exe as a user starts it: the main dialog comes up, and Done or Escape ends the process;
// DLLs planted beside it are not loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "app/gatekeel_dlg.h"
#include "diag/host_network_info.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/dialog.h"
#include "ui/handles.h"

namespace {

// A Unix path as Wine's Z: drive sees it.
std::string WinePath(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return "Z:" + path;
}

std::string ExePath() { return WinePath(GATEKEEL_EXE_UNIX_PATH); }

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
    double StartAndWaitForWindow(const std::string& exePath = ExePath()) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + exePath + "\"";
        LARGE_INTEGER frequency, started, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&started);
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            ADD_FAILURE() << "cannot start " << exePath << ": " << GetLastError();
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

// The resolution the prefix gives the processes it starts from now on; put back afterwards.
class ScopedLogPixels {
public:
    explicit ScopedLogPixels(DWORD dpi) {
        DWORD size = sizeof previous_;
        had_ = RegGetValueA(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &previous_, &size) == 0;
        Set(dpi);
    }
    ~ScopedLogPixels() { had_ ? Set(previous_) : static_cast<void>(RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, kValue)); }
    ScopedLogPixels(const ScopedLogPixels&) = delete;
    ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;

private:
    static constexpr const char* kKey = "Control Panel\\Desktop";
    static constexpr const char* kValue = "LogPixels";
    static void Set(DWORD dpi) { RegSetKeyValueA(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof dpi); }
    DWORD previous_ = 0;
    bool had_ = false;
};

RECT ChildRect(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// At 96 DPI every size is the one given in pixels; at 144 the template's controls, the
// tree's margins and the minimum size all grow by half.
TEST_F(ExeTest, TheControlsTheTreesMarginsAndTheMinimumSizeScaleTogetherWithTheDpi) {
    struct Seen {
        LONG doneWidth;
        LONG treeLeft;
    };
    Seen seen[2] = {};
    const DWORD dpis[] = {96, 144};
    for (int i = 0; i < 2; ++i) {
        const DWORD dpi = dpis[i];
        SCOPED_TRACE(dpi);
        {
            const ScopedLogPixels pixels(dpi);
            StartAndWaitForWindow();
        }
        ASSERT_NE(window_, nullptr);
        MINMAXINFO info{};
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info), SMTO_NORMAL,
                                        60000, &ignored));
        EXPECT_EQ(info.ptMinTrackSize.x, MulDiv(417, static_cast<int>(dpi), 96));
        EXPECT_EQ(info.ptMinTrackSize.y, MulDiv(508, static_cast<int>(dpi), 96));
        RECT client;
        GetClientRect(window_, &client);
        const RECT tree = ChildRect(window_, 1002);
        const SIZE margins{client.right - tree.right, client.bottom - tree.bottom};
        // Dragged to the smallest size, the tree keeps its margins and stays below the buttons.
        SetWindowPos(window_, nullptr, 0, 0, info.ptMinTrackSize.x, info.ptMinTrackSize.y, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(window_, &client);
        const RECT now = ChildRect(window_, 1002);
        EXPECT_EQ(client.right - now.right, margins.cx);
        EXPECT_EQ(client.bottom - now.bottom, margins.cy);
        EXPECT_EQ(now.left, tree.left);
        const RECT done = ChildRect(window_, IDOK);
        EXPECT_GT(now.top, done.bottom);
        seen[i] = {done.right - done.left, tree.left};
        PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_EQ(WaitForExit(), 0u);
    }
    const auto ratio = [](LONG high, LONG low) { return static_cast<double>(high) / static_cast<double>(low); };
    EXPECT_NEAR(ratio(seen[1].doneWidth, seen[0].doneWidth), 1.5, 0.15);
    EXPECT_NEAR(ratio(seen[1].treeLeft, seen[0].treeLeft), 1.5, 0.15);
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

// Wine searching like Windows, the exe's folder first (ctest sets WINEDLLOVERRIDES: Wine hands a child
// the order of its parent's Unix environment, not of a Windows environment block). DLLs of the three
// names beside a copy of the exe (planted_dll.c: each leaves "<name>.loaded" once loaded) stay unloaded.
TEST_F(ExeTest, LoadsNoDllPlantedBesideIt) {
    char order[256] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", order, sizeof order);
    ASSERT_NE(std::string(order).find("comctl32=n,b"), std::string::npos) << "WINEDLLOVERRIDES: " << order;
    const std::string folder = WinePath(GATEKEEL_PLANTED_DLL_DIR) + "\\";
    const char* const dlls[] = {"comctl32.dll", "iphlpapi.dll", "riched32.dll"};
    for (const char* dll : dlls) DeleteFileA((folder + dll + ".loaded").c_str());
    ASSERT_TRUE(CopyFileA(ExePath().c_str(), (folder + "gatekeel.exe").c_str(), FALSE));
    HostNetworkInfo system;
    system.LoadAdapters();
    const std::string systemDhcpLine = DhcpVerdictText(system);

    StartAndWaitForWindow(folder + "gatekeel.exe");
    std::string dhcpLine = "(no main dialog)";
    if (window_) {
        dhcpLine = ui::WindowText(GetDlgItem(window_, 1008));
        // The open dialog's DLLs (comdlg32 and shell32, which import comctl32) come later, at its first use.
        PostMessageA(window_, WM_COMMAND, MAKEWPARAM(ID_IMPORT_LIST, 1), 0);
        HWND open = nullptr;
        for (const DWORD start = GetTickCount(); !open && GetTickCount() - start < kWaitMs; Sleep(20)) {
            open = FindWindowA("#32770", "Import Mapping List");
        }
        EXPECT_NE(open, nullptr) << "no open dialog within " << kWaitMs / 1000 << " s";
        if (open) PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        for (const DWORD start = GetTickCount(); open && IsWindow(open) && GetTickCount() - start < kWaitMs;) Sleep(20);
        PostMessageA(window_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    EXPECT_EQ(WaitForExit(), 0u);
    for (const char* dll : dlls) {
        EXPECT_EQ(GetFileAttributesA((folder + dll + ".loaded").c_str()), INVALID_FILE_ATTRIBUTES) << dll << " was loaded";
    }
    EXPECT_EQ(dhcpLine, systemDhcpLine);
}

}  // namespace
