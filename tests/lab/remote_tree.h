#pragma once
// The program's tree view from outside its process: its root lines read through a buffer
// in the program's memory, and clicks, keys and pointer moves on them as real input.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace lab {

struct TreeLine {
    int checked;
    LPARAM data;
    std::string text;
};

HTREEITEM RootItem(HWND tree);
std::vector<HTREEITEM> RootItems(HWND tree);
TreeLine ReadItem(HWND tree, HANDLE process, HTREEITEM item);

void SetItemData(HWND tree, HANDLE process, HTREEITEM item, LPARAM data);

// The label's rectangle of a tree line, in the tree's client coordinates.
RECT LabelRect(HWND tree, HANDLE process, HTREEITEM item);

// Flips the item's check box as a user does: "click" or "double" on the check box, or
// "space": a click on the label (selects the item and focuses the tree), then Space.
void ToggleTreeItem(HWND tree, HANDLE process, HTREEITEM item, int index, const std::string& how);

// Moves the real pointer to the middle of a rectangle given in screen coordinates.
void MovePointerTo(const RECT& rect);

}  // namespace lab
