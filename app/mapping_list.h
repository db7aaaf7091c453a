#pragma once
// The mapping tree of the main dialog: the posted messages through which it is
// emptied, filled and rebuilt, the text of a mapping's line, and the tree
// operations the mapping commands use to find the record behind an item.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "natcfg/portolan.h"

constexpr UINT WMU_REFILL_TREE = WM_USER + 1;
constexpr UINT WMU_SHOW_MAPPING = WM_USER + 2;  // lParam: record index
constexpr UINT WMU_CLEAR_TREE = WM_USER + 3;
constexpr UINT WMU_TRAVERSAL_DONE = WM_USER + 4;

// Process-wide: the main dialog's window (for TraversalProgress) and the one configurator,
// created by the first refresh and never destroyed.
extern HWND mainWindowHandle;
extern Portolan* sharedConfigurator;

// "%5s %s:%u => %s:%u :: %s " over protocol, external address and port, internal client
// and port, and description; no length limit.
std::string MappingLine(const PortMapping& mapping);

// Position of item among the root items counted from 0; when the walk ends without it,
// false with position the number of root items.
bool FindTreeItemIndex(HWND tree, HTREEITEM item, uint32_t& position);

// The check mark of an item: state image 2 checked, 1 unchecked.
void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked);
// True unless the item's state image index is 1 (the empty box).
bool IsTreeItemChecked(HWND tree, HTREEITEM item);
// The item's whole text, however long.
std::string TreeItemText(HWND tree, HTREEITEM item);
// The item's data (the record index it was inserted for).
LPARAM TreeItemData(HWND tree, HTREEITEM item);
// The line under a point given in screen coordinates, or nullptr; where, if asked, gets
// the hit-test flags (on the check box, on the label...).
HTREEITEM TreeItemAt(HWND tree, POINT screen, UINT* where = nullptr);

// The configurator's progress function during a refresh.
void TraversalProgress(int32_t code);
