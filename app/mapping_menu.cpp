#include "app/mapping_menu.h"

#include <windowsx.h>

#include "ui/tree_view.h"
#include "res/resource.h"

namespace {

// The line under the current message's pointer, selected as a right-click selects; at: the pointer.
HTREEITEM LineAtPointer(HWND tree, POINT& at) {
    const DWORD position = GetMessagePos();
    at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    const HTREEITEM line = ui::TreeItemAt(tree, at);
    if (line) TreeView_SelectItem(tree, line);
    return line;
}

// The selected line, scrolled into view; at: below the start of its text, or the tree's corner.
HTREEITEM SelectedLine(HWND tree, POINT& at) {
    const HTREEITEM line = TreeView_GetSelection(tree);
    RECT text{};
    at = {0, 0};
    if (line) {
        TreeView_EnsureVisible(tree, line);
        if (TreeView_GetItemRect(tree, line, &text, TRUE)) at = {text.left, text.bottom};
    }
    ClientToScreen(tree, &at);
    return line;
}

}  // namespace

int MappingMenu::Choose(bool atPointer) const {
    const HWND tree = dialog_.Control(IDC_MAPPING_TREE);
    if (!tree) return 0;
    POINT at{};
    const HTREEITEM line = atPointer ? LineAtPointer(tree, at) : SelectedLine(tree, at);
    const ui::UniqueHMenu menu = Build(tree, line);
    if (!menu) return 0;
    // The command comes back here, to go the way of its button or key. The window is notified:
    // WM_ENTERMENULOOP tells it the keys are the menu's meanwhile (under TPM_NONOTIFY Wine sends
    // only WM_EXITMENULOOP).
    return TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, dialog_.Window(), nullptr);
}

ui::UniqueHMenu MappingMenu::Build(HWND tree, HTREEITEM line) const {
    ui::UniqueHMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    if (!line) {
        Append(menu.get(), IDC_REFRESH, "&Refresh");
        Append(menu.get(), IDC_ADD, "&Add...");
        AppendListCommands(menu.get());
        return menu;
    }
    Append(menu.get(), IDC_EDIT, "&Edit...");
    Append(menu.get(), ID_TOGGLE_MAPPING, ui::IsTreeItemChecked(tree, line) ? "D&isable" : "E&nable");
    Append(menu.get(), IDC_DELETE, "&Delete");
    Append(menu.get(), ID_COPY_MAPPING, "&Copy");
    AppendListCommands(menu.get());
    SetMenuDefaultItem(menu.get(), IDC_EDIT, FALSE);  // as a double click on a line edits it
    return menu;
}

void MappingMenu::AppendListCommands(HMENU menu) const {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    Append(menu, ID_EXPORT_LIST, "E&xport List...", lists_.CanExport());
    Append(menu, ID_IMPORT_LIST, "I&mport List...", lists_.CanImport());
}

void MappingMenu::Append(HMENU menu, int command, const char* text, bool canRun) const {
    const HWND button = dialog_.Control(command);  // none for the commands no button carries
    const bool offered = canRun && !commandRunning_ && (!button || IsWindowEnabled(button));
    AppendMenuA(menu, MF_STRING | (offered ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(command), text);
}

bool IsMenuKey(const MSG& message) {
    if (message.message == WM_KEYDOWN) return message.wParam == VK_APPS;
    return message.message == WM_SYSKEYDOWN && message.wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0;
}
