#pragma once
// Operations on a flat tree-view control whose root items carry a check box and a
// number (the item data): the walk over the roots, text, data, check mark and the hit test.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

namespace ui {

// Position of item among the root items counted from 0; when the walk ends without it,
// false with position the number of root items.
bool FindTreeItemIndex(HWND tree, HTREEITEM item, uint32_t& position);
// The root item reached by moving position times to the next sibling, stopping at the last.
HTREEITEM RootItemAt(HWND tree, uint32_t position);

// Texts go in and out as Unicode, whatever the character set of the tree's dialog.
// Appends a root item with the text at the end; the new item or nullptr.
HTREEITEM AppendTreeItem(HWND tree, const std::wstring& text);
void SetTreeItemText(HWND tree, HTREEITEM item, const std::wstring& text);
// The item's whole text, however long.
std::wstring TreeItemText(HWND tree, HTREEITEM item);

void SetTreeItemData(HWND tree, HTREEITEM item, LPARAM data);
LPARAM TreeItemData(HWND tree, HTREEITEM item);

// The check mark of an item: state image 2 checked, 1 unchecked.
void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked);
// True unless the item's state image index is 1 (the empty box).
bool IsTreeItemChecked(HWND tree, HTREEITEM item);

// The item under a point given in screen coordinates, or nullptr; where, if asked, gets
// the hit-test flags (on the check box, on the label...).
HTREEITEM TreeItemAt(HWND tree, POINT screen, UINT* where = nullptr);

}  // namespace ui
