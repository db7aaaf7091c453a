#pragma once
// The tree-view operations the main dialog's tree handlers need beyond the shared ones.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

// Appends a root item with the text at the end; the new item or nullptr.
HTREEITEM AppendTreeItem(HWND tree, const std::string& text);
void SetTreeItemText(HWND tree, HTREEITEM item, const std::string& text);
void SetTreeItemData(HWND tree, HTREEITEM item, LPARAM data);
// The root item reached by moving position times to the next sibling, stopping at the last.
HTREEITEM RootItemAt(HWND tree, uint32_t position);
