#pragma once
// The main dialog's Add, Edit, Delete and check-box commands: they find the mapping
// through the tree, ask the user in the Add/Edit dialog, change the router through the
// shared configurator and have the tree rebuilt.
#include <windows.h>

#include "ui/dialog.h"

class MappingCommands {
public:
    // The commands act on the main dialog's tree and own their boxes by it.
    explicit MappingCommands(const ui::Dialog& mainDialog) : dialog_(mainDialog) {}

    void OnAdd();
    void OnEdit();
    void OnDelete();
    // NM_CLICK from the tree; the notification's result (always 0).
    LRESULT OnTreeClick(const NMHDR& header);

private:
    const ui::Dialog& dialog_;
};
