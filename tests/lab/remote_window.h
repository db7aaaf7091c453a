#pragma once
// The program's windows seen from the driver's process: their texts, classes and owners,
// the program's top-level dialogs and message boxes, and memory inside its process for
// messages whose pointers the platform does not marshal.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace lab {

// A failing step: its reason is printed, and the batch ends.
struct Failure {
    std::string why;
};

[[noreturn]] void Fail(const std::string& why);

// The static control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;

// The window's text, asked for as UTF-16 and given as UTF-8.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
DWORD ProcessOf(HWND window);

// A modal box or dialog exists, hidden, until its loop first finds the queue empty.
enum class Shown { Only, OrHidden };

// The dialogs of the process (every process for 0).
std::vector<HWND> TopLevelDialogs(DWORD pid, Shown shown = Shown::Only);
bool IsMessageBox(HWND window);

// Memory inside the target process, for messages whose pointers the platform does not marshal.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    void* get() const { return address_; }
    size_t size() const { return size_; }
    void Write(const void* data, size_t size, size_t offset = 0);
    void Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_;
    size_t size_;
    void* address_ = nullptr;
};

}  // namespace lab
