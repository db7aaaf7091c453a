#include "tests/app/gui_support.h"

#include <commctrl.h>

#include <algorithm>

#include "app/first_run.h"
#include "ui/handles.h"

namespace gui_test {
namespace {

constexpr UINT kProbeMessage = WM_APP + 7;
ModalCloser* activeCloser = nullptr;

std::string Caption(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

ui::UniqueHKey OpenMarkerKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, FIRST_RUN_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return ui::UniqueHKey(key);
}

}  // namespace

void InitGui() {
    InitCommonControls();
    if (!GetModuleHandleA("RICHED32.DLL")) LoadLibraryA("RICHED32.DLL");
}

void SetFirstRunMarker(DWORD value) {
    const ui::UniqueHKey key = OpenMarkerKey();
    RegSetValueExA(key.get(), FIRST_RUN_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void DeleteFirstRunMarker() {
    const ui::UniqueHKey key = OpenMarkerKey();
    RegDeleteValueA(key.get(), FIRST_RUN_VALUE);
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

ModalCloser::ModalCloser(std::string caption, int closeId) : caption_(std::move(caption)), closeId_(closeId) {
    activeCloser = this;
    timer_ = SetTimer(nullptr, 0, 30, &ModalCloser::Tick);
}

ModalCloser::~ModalCloser() {
    KillTimer(nullptr, timer_);
    activeCloser = nullptr;
}

void CALLBACK ModalCloser::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (activeCloser) EnumThreadWindows(GetCurrentThreadId(), &ModalCloser::Visit, reinterpret_cast<LPARAM>(activeCloser));
}

BOOL CALLBACK ModalCloser::Visit(HWND window, LPARAM self) {
    ModalCloser& closer = *reinterpret_cast<ModalCloser*>(self);
    if (!IsWindowVisible(window) || Caption(window) != closer.caption_) return TRUE;
    if (std::find(closer.handled_.begin(), closer.handled_.end(), window) != closer.handled_.end()) return TRUE;
    closer.handled_.push_back(window);
    if (closer.onFound) closer.onFound(window);
    ++closer.closed_;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(closer.closeId_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, closer.closeId_)));
    return TRUE;
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
