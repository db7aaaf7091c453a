#pragma once
// What the driver's steps stand on: answer lines in UTF-8, the program's windows and tree
// seen from the driver's process, memory inside the program's process for messages whose
// pointers the platform does not marshal, and steps that ask the system itself.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>
#include <vector>

namespace lab {

// A failing step: its reason is printed, and the batch ends.
struct Failure {
    std::string why;
};
[[noreturn]] void Fail(const std::string& why);

// \r, \n, \t and \\ escaped, so a text stays on its answer line.
std::string Escape(const std::string& text);
// The program's texts are read as UTF-16 and printed as UTF-8, so they come back whole in
// any script; the words of a batch are UTF-8 too.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
void Print(const std::string& line);
double NowMs();
std::string Seconds(DWORD ms);

// The static control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;
std::string WindowText(HWND window);
std::string ClassName(HWND window);
DWORD ProcessOf(HWND window);
// A modal box or dialog exists, hidden, until its loop first finds the queue empty.
enum class Shown { Only, OrHidden };
// The dialogs of the process (every process for 0).
std::vector<HWND> TopLevelDialogs(DWORD pid, Shown shown = Shown::Only);
bool IsMessageBox(HWND window);

class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    void* get() const { return address_; }
    void Write(const void* data, size_t size, size_t offset = 0);
    void Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_;
    void* address_ = nullptr;
};

struct TreeLine {
    int checked;
    LPARAM data;
    std::string text;
};
HTREEITEM RootItem(HWND tree);
std::vector<HTREEITEM> RootItems(HWND tree);
TreeLine ReadItem(HWND tree, HANDLE process, HTREEITEM item);
// The item's data; false when the item has gone meanwhile (a refresh empties the tree).
bool ReadItemData(HWND tree, HANDLE process, HTREEITEM item, LPARAM& data);
void SetItemData(HWND tree, HANDLE process, HTREEITEM item, LPARAM data);
// The label's rectangle of a tree line, in the tree's client coordinates.
RECT LabelRect(HWND tree, HANDLE process, HTREEITEM item);
// Flips the item's check box as a user does: "click" or "double" on the check box, or
// "space": a click on the label (selects the item and focuses the tree), then Space.
void ToggleTreeItem(HWND tree, HANDLE process, HTREEITEM item, int index, const std::string& how);
// Moves the real pointer to the middle of a rectangle given in screen coordinates.
void MovePointerTo(const RECT& rect);

// Every top-level window, for a failing scenario's log.
void PrintWindows();
void PrintSystemMessage(HRESULT code);
// Process start to the program's first visible window whose caption starts with the prefix;
// the program is then closed, and gets endWaitMs to end.
void PrintStartupTime(const std::string& exe, const std::string& captionPrefix, DWORD waitMs, DWORD endWaitMs);

}  // namespace lab
