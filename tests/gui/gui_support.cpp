#include "tests/gui/gui_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "ui/dialog.h"
#include "ui/handles.h"

namespace gui_test {
namespace {

DialogDriver* activeDriver = nullptr;
constexpr UINT kTickMs = 20;
// Long enough for any busy machine to handle what the action posted; only a dialog that
// would never close waits this long.
constexpr DWORD kGiveUpMs = 60000;
constexpr UINT kProbeMessage = WM_APP + 7;

struct Search {
    const std::string* caption;
    const std::string* windowClass;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (className == *search->windowClass && IsWindowVisible(window) && ui::WindowText(window) == *search->caption)
        search->found.push_back(window);
    return TRUE;
}

// The shown top-level windows of this thread with the class and caption.
std::vector<HWND> ThreadWindows(const std::string& caption, const std::string& windowClass) {
    Search search{&caption, &windowClass, {}};
    EnumThreadWindows(GetCurrentThreadId(), &MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

void InitGui() {
    InitCommonControls();
    if (!GetModuleHandleA("RICHED32.DLL")) LoadLibraryA("RICHED32.DLL");
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

std::function<void(HWND)> ClickOn(int id) {
    return [id](HWND window) { Click(GetDlgItem(window, id)); };
}

void SetTextNotifying(HWND field, const std::string& text) { SetWindowTextA(field, text.c_str()); }

void TypeChar(HWND field, char c) { SendMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1); }

void PostKeys(HWND field, const std::string& text) {
    for (char c : text) PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void PostKey(HWND window, UINT virtualKey) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (1 << 30) | (1u << 31));
}

namespace {

constexpr ULONG_PTR kTestInput = 0x7e57;  // the extra info of the tests' own keys
WORD heldModifiers[256] = {};             // by virtual key: the tests hold it down (1)

// Wine sets the modifiers back to the X server's state when a pointer crossing or a focus change
// reaches it, and the X server never saw the tests' keys: a crossing that lands between a modifier's
// key-down and the next key's would drop the modifier. A key the tests send comes with the modifiers
// they hold, as on Windows.
LRESULT CALLBACK KeepHeldModifiers(int code, WPARAM removal, LPARAM message) {
    const MSG& msg = *reinterpret_cast<const MSG*>(message);
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (code == HC_ACTION && removal == PM_REMOVE && (down || msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) &&
        GetMessageExtraInfo() == static_cast<LPARAM>(kTestInput) && msg.wParam < 256) {
        const bool modifier = msg.wParam == VK_SHIFT || msg.wParam == VK_CONTROL || msg.wParam == VK_MENU;
        if (modifier) heldModifiers[msg.wParam] = down;
        BYTE state[256];
        if (!modifier && down && GetKeyboardState(state)) {
            for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
                if (heldModifiers[vk]) state[vk] |= 0x80;
            }
            SetKeyboardState(state);
        }
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

}  // namespace

void DeliverInput(HWND dialog, std::vector<INPUT> input) {
    for (INPUT& event : input) {
        if (event.type == INPUT_KEYBOARD) event.ki.dwExtraInfo = kTestInput;
    }
    // Installed last, so it comes before the program's own input filter.
    const ui::UniqueHHook hook(SetWindowsHookExA(WH_GETMESSAGE, &KeepHeldModifiers, nullptr, GetCurrentThreadId()));
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
    // An action may run a message loop, and this tick again inside it: each window is looked up afresh.
    for (HWND window : ThreadWindows(caption_, class_)) {
        if (!IsWindow(window)) continue;
        const auto seen = std::find_if(handled_.begin(), handled_.end(),
                                       [window](const Handled& handled) { return handled.window == window; });
        if (seen == handled_.end()) {
            handled_.push_back({window, GetTickCount()});
            action_(window);
        } else if (GetTickCount() - seen->tick > kGiveUpMs) {
            class_ == kMenu ? EndMenu() : EndDialog(window, kDriverGaveUp);
        }
    }
}

Probe::Probe() {
    static const ATOM probeClass = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Probe::WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GatekeelTestProbe";
        return RegisterClassA(&windowClass);
    }();
    window_ = CreateWindowA(MAKEINTATOM(probeClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Probe::~Probe() { DestroyWindow(window_); }

void Probe::Post(std::function<void()> action) {
    actions_.push_back(std::move(action));
    PostMessageA(window_, kProbeMessage, actions_.size() - 1, 0);
}

LRESULT CALLBACK Probe::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbeMessage) {
        Probe* probe = reinterpret_cast<Probe*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (probe && wParam < probe->actions_.size()) probe->actions_[wParam]();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

double ThreadCpuMicroseconds(const std::function<void()>& work) {
    FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelBefore, &userBefore);
    work();
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelAfter, &userAfter);
    auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    const unsigned long long used =
        ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore);
    return static_cast<double>(used) / 10.0;  // 100 ns units
}

}  // namespace gui_test
