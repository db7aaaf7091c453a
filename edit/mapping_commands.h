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
    // The commands act on the main dialog's tree and own their boxes by it. commandRunning
    // is true while one of them (or another of the dialog's) runs: the configurator's boxes
    // have no owner, so the window still takes clicks while one is open, and a command
    // started then would work on lists the running one is changing.
    MappingCommands(const ui::Dialog& mainDialog, bool& commandRunning)
        : dialog_(mainDialog), commandRunning_(commandRunning) {}

    void OnAdd();
    void OnEdit();
    void OnDelete();
    // NM_CLICK from the tree; the notification's result: 0 lets the tree flip the check
    // mark, non-zero (after a failed or refused change) keeps it as it was.
    LRESULT OnTreeClick(const NMHDR& header);
    // NM_DBLCLK from the tree: on a check box the click before it has already asked the
    // router, so the mark must not flip a second time; on a label it edits that mapping.
    LRESULT OnTreeDoubleClick(const NMHDR& header);
    // Space on the tree: the selected item's check box, through the same road as a click.
    void OnToggleSelected();

private:
    HWND Tree() const;
    int Box(const std::string& text, const char* caption, UINT type) const;
    int Box(const std::wstring& text, const char* caption, UINT type) const;
    void ReportNoTree() const;
    void ReportItemNotFound() const;
    void RequestRefill() const;
    // The record index of a selected item; reports and answers false when there is none.
    bool SelectedIndex(HWND tree, HTREEITEM item, uint32_t& index) const;
    bool AnotherMappingMatches(uint32_t index, const std::wstring& protocol, int32_t externalPort,
                               const std::wstring& internalClient) const;
    // The item of a notification from the tree under the current message's cursor position,
    // with the tree and where on the item the position lies; nullptr for anything else.
    HTREEITEM NotifiedItem(const NMHDR& header, HWND& tree, UINT& where) const;
    // Asks the router for the opposite of the item's check mark; true when it took it.
    bool AskToFlip(HWND tree, HTREEITEM item);

    const ui::Dialog& dialog_;
    bool& commandRunning_;
};
