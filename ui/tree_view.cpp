#include "ui/tree_view.h"

namespace ui {
namespace {

constexpr int kCheckedImage = 2;
constexpr int kUncheckedImage = 1;

}  // namespace

bool FindTreeItemIndex(HWND tree, HTREEITEM item, uint32_t& position) {
    position = 0;
    for (HTREEITEM current = TreeView_GetRoot(tree); current; current = TreeView_GetNextSibling(tree, current)) {
        if (current == item) return true;
        ++position;
    }
    return false;
}

void SetTreeItemChecked(HWND tree, HTREEITEM item, bool checked) {
    TVITEMA tvItem{};
    tvItem.mask = TVIF_HANDLE | TVIF_STATE;
    tvItem.hItem = item;
    tvItem.state = INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
    tvItem.stateMask = TVIS_STATEIMAGEMASK;
    SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
}

bool IsTreeItemChecked(HWND tree, HTREEITEM item) {
    const UINT state = static_cast<UINT>(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                                      TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) >> 12 != kUncheckedImage;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
    // The control has no length query: grow the buffer until the text fits with room to spare.
    std::wstring buffer(256, L'\0');
    for (;;) {
        TVITEMW tvItem{};
        tvItem.mask = TVIF_HANDLE | TVIF_TEXT;
        tvItem.hItem = item;
        tvItem.pszText = buffer.data();
        tvItem.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = L'\0';
        if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem))) return {};
        const size_t length = std::char_traits<wchar_t>::length(buffer.c_str());
        if (length + 1 < buffer.size()) return buffer.substr(0, length);
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

LPARAM TreeItemData(HWND tree, HTREEITEM item) {
    TVITEMA tvItem{};
    tvItem.mask = TVIF_HANDLE | TVIF_PARAM;
    tvItem.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem))) return 0;
    return tvItem.lParam;
}

HTREEITEM TreeItemAt(HWND tree, POINT screen, UINT* where) {
    TVHITTESTINFO hit{};
    hit.pt = screen;
    ScreenToClient(tree, &hit.pt);
    const HTREEITEM item = TreeView_HitTest(tree, &hit);
    if (where) *where = hit.flags;
    return item;
}

HTREEITEM AppendTreeItem(HWND tree, const std::wstring& text) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void SetTreeItemText(HWND tree, HTREEITEM item, const std::wstring& text) {
    TVITEMW tvItem{};
    tvItem.mask = TVIF_HANDLE | TVIF_TEXT;
    tvItem.hItem = item;
    tvItem.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem));
}

void SetTreeItemData(HWND tree, HTREEITEM item, LPARAM data) {
    TVITEMA tvItem{};
    tvItem.mask = TVIF_HANDLE | TVIF_PARAM;
    tvItem.hItem = item;
    tvItem.lParam = data;
    SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem));
}

HTREEITEM RootItemAt(HWND tree, uint32_t position) {
    HTREEITEM item = TreeView_GetRoot(tree);
    for (uint32_t i = 0; i < position && item; ++i) {
        const HTREEITEM next = TreeView_GetNextSibling(tree, item);
        if (!next) break;  // a walk that runs out stays on the last item
        item = next;
    }
    return item;
}

}  // namespace ui
