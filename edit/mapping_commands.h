#pragma once
// The main dialog's Add, Edit, Delete and check-box commands: they find the mapping
// through the tree, ask the user in the Add/Edit dialog, change the router through the
// shared configurator and have the tree rebuilt.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "ui/dialog.h"

class MappingCommands {
public:
    // The commands act on the main dialog's tree and own their boxes by it.
    explicit MappingCommands(const ui::Dialog& mainDialog) : dialog_(mainDialog) {}

    void OnAdd();
    void OnEdit();
    void OnDelete();
    // NM_CLICK from the tree; the notification's result: 0 lets the tree flip the check
    // mark, non-zero (after a failed change) keeps it as it was.
    LRESULT OnTreeClick(const NMHDR& header);

private:
    HWND Tree() const;
    int Box(const std::string& text, const char* caption, UINT type) const;
    void ReportNoTree() const;
    void ReportItemNotFound() const;
    void RequestRefill() const;
    // The record index of a selected item; reports and answers false when there is none.
    bool SelectedIndex(HWND tree, HTREEITEM item, uint32_t& index) const;
    bool AnotherMappingMatches(uint32_t index, const std::wstring& protocol, int32_t externalPort,
                               const std::wstring& internalClient) const;

    const ui::Dialog& dialog_;
};
