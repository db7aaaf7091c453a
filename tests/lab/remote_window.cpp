#include "tests/lab/remote_window.h"

#include "tests/lab/step_io.h"

namespace lab {

void Fail(const std::string& why) { throw Failure{why}; }

std::string WindowText(HWND window) {
    // WM_GETTEXT is marshalled across processes; the length comes first.
    constexpr UINT kTextWaitMs = 30000;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextWaitMs, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        kTextWaitMs, &copied);
    text.resize(copied);
    return ToUtf8(text);
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<HWND> TopLevelDialogs(DWORD pid, Shown shown) {
    struct Search {
        DWORD pid;
        Shown shown;
        std::vector<HWND> found;
    } search{pid, shown, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if ((s->shown == Shown::OrHidden || IsWindowVisible(window)) && ClassName(window) == "#32770" &&
                (s->pid == 0 || ProcessOf(window) == s->pid))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMessageBox(HWND window) { return GetDlgItem(window, kBoxTextId) != nullptr; }

RemoteBuffer::RemoteBuffer(HANDLE process, size_t size) : process_(process), size_(size) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) Fail("VirtualAllocEx failed");
}

RemoteBuffer::~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }

void RemoteBuffer::Write(const void* data, size_t size, size_t offset) {
    if (!WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr))
        Fail("WriteProcessMemory failed");
}

void RemoteBuffer::Read(void* data, size_t size, size_t offset) const {
    if (!ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr))
        Fail("ReadProcessMemory failed");
}

}  // namespace lab
