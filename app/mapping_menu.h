#pragma once
// The mapping tree's right-click menu. On a line it offers Edit..., Enable or Disable (what it
// will do to that line), Delete and Copy; off the lines, Refresh and Add...; on and off the lines,
// below a separator, Export List... and Import List.... An item is what its button or key does:
// enabled as that button is, the list's commands when they can run, and none while a command runs.
#include <windows.h>
#include <commctrl.h>

#include "listfile/list_commands.h"
#include "ui/dialog.h"
#include "ui/handles.h"

class MappingMenu {
public:
    MappingMenu(const ui::Dialog& mainDialog, const bool& commandRunning, const ListCommands& lists)
        : dialog_(mainDialog), commandRunning_(commandRunning), lists_(lists) {}

    // Shows the menu and answers the chosen command, 0 for none. At the pointer (NM_RCLICK), the
    // line under it is selected first; else (Shift+F10, the Menu key) it opens at the selected line.
    int Choose(bool atPointer) const;

private:
    ui::UniqueHMenu Build(HWND tree, HTREEITEM line) const;
    // canRun: what the command itself needs, beyond its button (the list's file commands have none).
    void Append(HMENU menu, int command, const char* text, bool canRun = true) const;
    void AppendListCommands(HMENU menu) const;

    const ui::Dialog& dialog_;
    const bool& commandRunning_;
    const ListCommands& lists_;
};

// Shift+F10 (a system key) or the Menu key pressed.
bool IsMenuKey(const MSG& message);
