#include "edit/mapping_commands.h"

#include <windowsx.h>
#include <commctrl.h>

#include <string>

#include "edit/add_edit_dialog.h"
#include "natcfg/portolan.h"
#include "res/resource.h"
#include "ui/flag_scope.h"
#include "ui/message_box.h"
#include "ui/text.h"
#include "ui/text_rules.h"
#include "ui/tree_view.h"

namespace {

// The configurator when it has a collection to change, else nullptr.
Portolan* UsableConfigurator() {
    Portolan* configurator = sharedConfigurator;
    return configurator && configurator->collection ? configurator : nullptr;
}

// As the dialog works in ANSI text: the protocol in the ANSI code page, any case.
bool IsTcp(const std::wstring& protocol) { return ui::SameIgnoringAsciiCase(ui::WideToAnsi(protocol), "TCP"); }

// Sets the cursor to the wait cursor for the scope and back to the arrow after it.
class WaitCursor {
public:
    WaitCursor() { ui::ShowWaitCursor(); }
    ~WaitCursor() { ui::ShowArrowCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

HWND MappingCommands::Tree() const { return dialog_.Control(IDC_MAPPING_TREE); }

int MappingCommands::Box(const std::string& text, const char* caption, UINT type) const {
    return ui::ShowMessageBox(dialog_.Window(), text, caption, type);
}

int MappingCommands::Box(const std::wstring& text, const char* caption, UINT type) const {
    return ui::ShowMessageBox(dialog_.Window(), text, caption, type);
}

void MappingCommands::ReportNoTree() const { Box("Could not acquire port map tree!", "AARGH!", MB_ICONERROR); }

void MappingCommands::ReportItemNotFound() const { Box("Could not find item in tree!", "AARGH!", MB_ICONERROR); }

void MappingCommands::RequestRefill() const { PostMessageA(dialog_.Window(), WMU_REFILL_TREE, 0, 0); }

bool MappingCommands::SelectedIndex(HWND tree, HTREEITEM item, uint32_t& index) const {
    // A stale tree longer than the list must not address a record that is not there.
    if (ui::FindTreeItemIndex(tree, item, index) && index < sharedConfigurator->MappingCount()) return true;
    ReportItemNotFound();
    return false;
}

void MappingCommands::OnAdd() {
    Portolan* configurator = UsableConfigurator();
    if (!configurator || commandRunning_) return;
    if (!Tree()) return ReportNoTree();
    const ui::FlagScope running(commandRunning_);

    CAddEditDlg dialog(dialog_.Window());
    dialog.protocolFlag = 0;
    if (dialog.DoModal() != IDOK) return;

    PortMapping mapping;
    mapping.description = dialog.description;
    mapping.enabled = 0;
    mapping.internalClient = dialog.internalClient;
    mapping.protocol = dialog.protocolFlag == 0 ? L"TCP" : L"UDP";
    mapping.externalPort = static_cast<int32_t>(dialog.externalPort);
    mapping.internalPort = static_cast<int32_t>(dialog.internalPort);

    WaitCursor wait;
    if (configurator->AddMapping(mapping)) {
        RequestRefill();
    } else {
        Box("Could not add the requested mapping!", "!@##@$$%", MB_OK);
    }
}

bool MappingCommands::AnotherMappingMatches(uint32_t index, const std::wstring& protocol, int32_t externalPort,
                                            const std::wstring& internalClient) const {
    const std::vector<PortMapping>& mappings = sharedConfigurator->mappings;
    for (size_t i = 0; i < mappings.size(); ++i) {
        if (i != index && mappings[i].Matches(protocol, externalPort, internalClient)) return true;
    }
    return false;
}

void MappingCommands::OnEdit() {
    Portolan* configurator = UsableConfigurator();
    if (!configurator || configurator->MappingCount() == 0 || commandRunning_) return;
    const HWND tree = Tree();
    if (!tree) return ReportNoTree();
    const ui::FlagScope running(commandRunning_);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    if (!selected) return;
    uint32_t index = 0;
    if (!SelectedIndex(tree, selected, index)) return;

    const PortMapping mapping = configurator->GetMapping(index);
    CAddEditDlg dialog(dialog_.Window());
    dialog.editMode = true;
    dialog.protocolFlag = IsTcp(mapping.protocol) ? 0 : 1;
    dialog.description = mapping.description;
    dialog.internalClient = mapping.internalClient;
    dialog.externalPort = static_cast<uint32_t>(mapping.externalPort);
    dialog.internalPort = static_cast<uint32_t>(mapping.internalPort);
    if (dialog.DoModal() != IDOK) return;

    WaitCursor wait;
    // Only another record with this mapping's protocol and port and the new client is a clash.
    if (AnotherMappingMatches(index, mapping.protocol, static_cast<int32_t>(dialog.externalPort),
                              dialog.internalClient)) {
        Box("The  mapping is already set or busy.", "Look Closer!", MB_OK);
        return;
    }
    if (!configurator->EditInternalClient(index, dialog.internalClient)) {
        Box("Could not change internal target!", "!@#@#$#$^", MB_OK);
    }
    if (!configurator->EditInternalPort(index, static_cast<int32_t>(dialog.internalPort))) {
        Box("Could not change internal port!", "!@#@#$#$^", MB_OK);
    }
    RequestRefill();
}

void MappingCommands::OnDelete() {
    Portolan* configurator = UsableConfigurator();
    if (!configurator || commandRunning_) return;
    const HWND tree = Tree();
    if (!tree) return ReportNoTree();
    const ui::FlagScope running(commandRunning_);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    if (!selected) return;

    const std::wstring question = L"Are you sure that you want to delete this port mapping?\r\n\r\n[" +
                                  ui::TreeItemText(tree, selected) + L"]\r\n";
    if (Box(question, "Careful!", MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) return;
    uint32_t index = 0;
    if (!SelectedIndex(tree, selected, index)) return;

    WaitCursor wait;
    if (configurator->DeleteMapping(index)) {
        RequestRefill();
    } else {
        Box("Could not delete port mapping!", "AARGH!", MB_ICONERROR);
    }
}

HTREEITEM MappingCommands::NotifiedItem(const NMHDR& header, HWND& tree, UINT& where) const {
    tree = header.idFrom == IDC_MAPPING_TREE ? Tree() : nullptr;
    if (!tree) return nullptr;
    const DWORD position = GetMessagePos();
    return ui::TreeItemAt(tree, {GET_X_LPARAM(position), GET_Y_LPARAM(position)}, &where);
}

bool MappingCommands::AskToFlip(HWND tree, HTREEITEM item) {
    if (commandRunning_) return false;
    const ui::FlagScope running(commandRunning_);
    const bool wasChecked = ui::IsTreeItemChecked(tree, item);
    TreeView_SelectItem(tree, item);
    const auto index = static_cast<uint32_t>(ui::TreeItemData(tree, item));
    Portolan* configurator = sharedConfigurator;
    if (!configurator) return false;  // items exist only after a refresh made one
    if (configurator->Enable(index, wasChecked ? 0 : 1)) return true;
    Box("Failure in changing state. :(", "DARN!", MB_ICONERROR);
    return false;
}

LRESULT MappingCommands::OnTreeClick(const NMHDR& header) {
    HWND tree = nullptr;
    UINT where = 0;
    const HTREEITEM item = NotifiedItem(header, tree, where);
    if (!item || !(where & TVHT_ONITEMSTATEICON)) return 0;
    // Non-zero keeps the tree from flipping a mark the router did not take.
    return AskToFlip(tree, item) ? 0 : 1;
}

LRESULT MappingCommands::OnTreeDoubleClick(const NMHDR& header) {
    HWND tree = nullptr;
    UINT where = 0;
    const HTREEITEM item = NotifiedItem(header, tree, where);
    if (!item) return 0;
    if (where & TVHT_ONITEMSTATEICON) return 1;
    if (!(where & TVHT_ONITEMLABEL)) return 0;
    const HWND edit = dialog_.Control(IDC_EDIT);
    if (!edit || !IsWindowEnabled(edit) || commandRunning_) return 1;
    TreeView_SelectItem(tree, item);
    // As a click on Edit would: after the tree has finished with the double click.
    PostMessageA(dialog_.Window(), WM_COMMAND, MAKEWPARAM(IDC_EDIT, BN_CLICKED), reinterpret_cast<LPARAM>(edit));
    return 1;
}

void MappingCommands::OnToggleSelected() {
    const HWND tree = Tree();
    const HTREEITEM item = tree ? TreeView_GetSelection(tree) : nullptr;
    if (!item) return;
    // The tree never saw the key, so the mark is flipped here, once the router took the change.
    const bool wasChecked = ui::IsTreeItemChecked(tree, item);
    if (AskToFlip(tree, item)) ui::SetTreeItemChecked(tree, item, !wasChecked);
}
