#include "tests/lab/driver_support.h"

#include <cstdio>

#include "ui/handles.h"

namespace lab {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Seconds(DWORD ms) { return std::to_string(ms / 1000) + " s"; }

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

RemoteBuffer::RemoteBuffer(HANDLE process, size_t size) : process_(process) {
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
