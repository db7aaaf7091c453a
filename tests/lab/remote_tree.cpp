#include "tests/lab/driver_support.h"

namespace lab {

namespace {

UINT HitTest(HWND tree, HANDLE process, POINT point) {
    RemoteBuffer remote(process, sizeof(TVHITTESTINFO));
    TVHITTESTINFO hit = {};
    hit.pt = point;
    remote.Write(&hit, sizeof hit);
    SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(remote.get()));
    remote.Read(&hit, sizeof hit);
    return hit.flags;
}

// Real input, so the program sees it as a user's.
void Send(std::vector<INPUT> input) {
    if (SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) != input.size()) Fail("SendInput failed");
}

std::vector<INPUT> MouseClicks(int clicks) {
    std::vector<INPUT> input(2 * static_cast<size_t>(clicks));
    for (size_t i = 0; i < input.size(); ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    return input;
}

void ClickTreeAt(HWND tree, POINT point, int clicks) {
    ClientToScreen(tree, &point);
    SetCursorPos(point.x, point.y);
    Send(MouseClicks(clicks));
}

}  // namespace

HTREEITEM RootItem(HWND tree) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

std::vector<HTREEITEM> RootItems(HWND tree) {
    std::vector<HTREEITEM> items;
    HTREEITEM item = RootItem(tree);
    while (item) {
        items.push_back(item);
        item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    return items;
}

TreeLine ReadItem(HWND tree, HANDLE process, HTREEITEM item) {
    // Capacity in UTF-16 units; the text follows the item in the same buffer.
    for (size_t capacity = 1024;; capacity *= 2) {
        RemoteBuffer remote(process, sizeof(TVITEMW) + capacity * sizeof(wchar_t));
        TVITEMW query = {};
        query.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
        query.hItem = item;
        query.stateMask = TVIS_STATEIMAGEMASK;
        query.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote.get()) + sizeof(TVITEMW));
        query.cchTextMax = static_cast<int>(capacity);
        remote.Write(&query, sizeof query);
        if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.get()))) Fail("TVM_GETITEM failed");
        TVITEMW answer;
        remote.Read(&answer, sizeof answer);
        std::wstring text(capacity, L'\0');
        remote.Read(text.data(), capacity * sizeof(wchar_t), sizeof(TVITEMW));
        const size_t length = text.find(L'\0');
        if (length == std::wstring::npos || length + 1 >= capacity) continue;  // may be cut: read again, larger
        text.resize(length);
        const int image = static_cast<int>((answer.state & TVIS_STATEIMAGEMASK) >> 12);
        return {image - 1, answer.lParam, ToUtf8(text)};
    }
}

bool ReadItemData(HWND tree, HANDLE process, HTREEITEM item, LPARAM& data) {
    RemoteBuffer remote(process, sizeof(TVITEMW));
    TVITEMW query = {};
    query.mask = TVIF_HANDLE | TVIF_PARAM;
    query.hItem = item;
    remote.Write(&query, sizeof query);
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.get()))) return false;
    remote.Read(&query, sizeof query);
    data = query.lParam;
    return true;
}

void SetItemData(HWND tree, HANDLE process, HTREEITEM item, LPARAM data) {
    RemoteBuffer remote(process, sizeof(TVITEMW));
    TVITEMW change = {};
    change.mask = TVIF_HANDLE | TVIF_PARAM;
    change.hItem = item;
    change.lParam = data;
    remote.Write(&change, sizeof change);
    if (!SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(remote.get()))) Fail("TVM_SETITEM failed");
}

RECT LabelRect(HWND tree, HANDLE process, HTREEITEM item) {
    RemoteBuffer remote(process, sizeof(RECT));
    // TVM_GETITEMRECT takes the item in the RECT it fills.
    remote.Write(&item, sizeof item);
    RECT rect = {};
    if (!SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.get()))) Fail("item not visible");
    remote.Read(&rect, sizeof rect);
    return rect;
}

void ToggleTreeItem(HWND tree, HANDLE process, HTREEITEM item, int index, const std::string& how) {
    const RECT rect = LabelRect(tree, process, item);
    const int y = (rect.top + rect.bottom) / 2;
    if (how == "space") {
        ClickTreeAt(tree, {rect.left + 4, y}, 1);
        INPUT key[2] = {};
        key[0].type = key[1].type = INPUT_KEYBOARD;
        key[0].ki.wVk = key[1].ki.wVk = VK_SPACE;
        key[1].ki.dwFlags = KEYEVENTF_KEYUP;
        Send({key[0], key[1]});
        return;
    }
    if (how != "click" && how != "double") Fail("toggle by " + how + "?");
    // The check box sits left of the label: find its extent along the item's middle line.
    int right = -1, left = -1;
    for (int x = rect.left - 1; x >= 0; --x) {
        const bool onBox = (HitTest(tree, process, {x, y}) & TVHT_ONITEMSTATEICON) != 0;
        if (onBox && right < 0) right = x;
        if (!onBox && right >= 0) break;
        if (onBox) left = x;
    }
    if (right < 0) Fail("no check box on item " + std::to_string(index));
    ClickTreeAt(tree, {(left + right) / 2, y}, how == "double" ? 2 : 1);
}

void MovePointerTo(const RECT& rect) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv((rect.left + rect.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv((rect.top + rect.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    Send({move});
}

}  // namespace lab
