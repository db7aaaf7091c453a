#include "tests/edit/dialog_driver.h"

#include <gtest/gtest.h>

#include "ui/dialog.h"

namespace gktest {
namespace {

DialogDriver* activeDriver = nullptr;
constexpr UINT kTickMs = 20;
// Long enough for any busy machine to handle what the action posted; only a dialog that
// would never close waits this long.
constexpr DWORD kGiveUpMs = 60000;

struct Search {
    const std::string* caption;
    const std::string* windowClass;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (className == *search->windowClass && IsWindowVisible(window) && ui::WindowText(window) == *search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindThreadWindow(const std::string& caption, const std::string& windowClass) {
    Search search{&caption, &windowClass, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::string Text(HWND window) { return ui::WindowText(window); }

void SetTextNotifying(HWND field, const std::string& text) { SetWindowTextA(field, text.c_str()); }

void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

void TypeChar(HWND field, char c) { SendMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1); }

void PostKeys(HWND field, const std::string& text) {
    for (char c : text) PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void PostKey(HWND window, UINT virtualKey) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (1 << 30) | (1u << 31));
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void DeliverInput(HWND dialog, std::vector<INPUT> input) {
    ASSERT_EQ(SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)), input.size());
    const DWORD start = GetTickCount();
    while (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE)) != 0) {
        ASSERT_LT(GetTickCount() - start, 60000u) << "input still queued, status " << GetQueueStatus(QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::vector<INPUT> MouseClicks(int clicks, bool right) {
    std::vector<INPUT> input(2 * static_cast<size_t>(clicks));
    for (size_t i = 0; i < input.size(); ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dwFlags = right ? (i % 2 ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN)
                                    : (i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN);
    }
    return input;
}

std::vector<INPUT> KeyStroke(WORD key, std::vector<WORD> modifiers) {
    modifiers.push_back(key);
    std::vector<INPUT> input(2 * modifiers.size());
    for (size_t i = 0; i < modifiers.size(); ++i) {
        INPUT& down = input[i];
        INPUT& up = input[input.size() - 1 - i];
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = modifiers[i];
        up.ki.dwFlags = KEYEVENTF_KEYUP;
    }
    return input;
}

DialogDriver::DialogDriver(std::string caption, std::function<void(HWND)> action, std::string windowClass)
    : caption_(std::move(caption)), action_(std::move(action)), class_(std::move(windowClass)) {
    activeDriver = this;
    timer_ = SetTimer(nullptr, 0, kTickMs, &DialogDriver::OnTick);
}

DialogDriver::~DialogDriver() {
    if (timer_) KillTimer(nullptr, timer_);
    if (activeDriver == this) activeDriver = nullptr;
}

void CALLBACK DialogDriver::OnTick(HWND, UINT, UINT_PTR, DWORD) {
    if (activeDriver) activeDriver->Tick();
}

void DialogDriver::Tick() {
    const HWND dialog = FindThreadWindow(caption_, class_);
    if (!dialog) return;
    if (!ran_) {
        ran_ = true;
        actionTick_ = GetTickCount();
        action_(dialog);
        return;
    }
    if (GetTickCount() - actionTick_ > kGiveUpMs) class_ == kMenu ? EndMenu() : EndDialog(dialog, kDriverGaveUp);
}

}  // namespace gktest
