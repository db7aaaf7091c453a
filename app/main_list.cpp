// The main window's list: the refresh that reads the router, the tree filled as it reads and rebuilt
// from the configurator's list, and what the list's commands ask of the window.
#include "app/gatekeel_dlg.h"

#include <commctrl.h>

#include <new>

#include "app/mapping_list.h"
#include "ui/flag_scope.h"
#include "ui/message_box.h"
#include "ui/tree_view.h"

namespace {

constexpr const char* kOhWell = "Oh well...";
constexpr const char* kNoRouter = "There appear to be no available (NAT) routers using UPnP.";
constexpr const char* kNoServices = "There were no services listed by IUPnPNAT.";

void ShowTreeMapping(HWND tree, uint32_t index, const PortMapping& mapping) {
    const std::wstring line = MappingLine(mapping);
    const uint32_t count = static_cast<uint32_t>(TreeView_GetCount(tree));
    HTREEITEM item = nullptr;
    if (count > index) {
        item = ui::RootItemAt(tree, index);
        ui::SetTreeItemText(tree, item, line);
    } else {
        item = ui::AppendTreeItem(tree, line);
        ui::SetTreeItemData(tree, item, static_cast<LPARAM>(count));
    }
    if (item) ui::SetTreeItemChecked(tree, item, mapping.enabled != 0);
}

}  // namespace

void CGatekeelDlg::OpenConfigurator() {
    // Either way the router's table is read, and the first construction's boxes have no owner:
    // the window is locked as for an enumeration, and nothing that reaches it may start a second one.
    const ui::FlagScope running(commandRunning_);
    ui::ShowWaitCursor();
    bool open = true;
    {
        const ui::ControlsLock locked = LockControls();
        if (!sharedConfigurator) {
            sharedConfigurator = new (std::nothrow) Portolan();  // kept for the whole run
        } else {
            open = sharedConfigurator->Reconnect();  // the router as it is now, or found late
        }
    }
    // The last read is gone: its lines must not stay to be acted on.
    if (!open) ClearTree();
}

void CGatekeelDlg::RefreshCommand() {
    if (commandRunning_) return;
    ReadRouter();
}

bool CGatekeelDlg::ReadRouter() {
    const ui::FlagScope reading(refreshing_);
    listRead_ = false;
    firewall_.Forget();  // the tips read it anew after each refresh
    OpenConfigurator();
    Portolan* const configurator = sharedConfigurator;
    if (!configurator) return false;
    if (!configurator->nat) {
        ui::ShowArrowCursor();
        ui::ShowMessageBox(Window(), kNoRouter, kOhWell, MB_ICONEXCLAMATION | MB_OK);
        return false;
    }
    if (!configurator->collection) {
        ui::ShowArrowCursor();
        ui::ShowMessageBox(Window(), kNoServices, kOhWell, MB_ICONEXCLAMATION | MB_OK);
        return false;
    }
    configurator->progressCallback = &TraversalProgress;
    ui::ShowWaitCursor();
    bool read = false;
    {
        const ui::ControlsLock locked = LockControls();
        read = configurator->RefreshMappings();
    }
    ui::ShowArrowCursor();
    listRead_ = read;
    return read;
}

ui::ControlsLock CGatekeelDlg::LockControls() { return ui::ControlsLock(*this, REFRESH_LOCKED_IDS); }

bool CGatekeelDlg::Closing() const { return !Window() || mainWindowHandle != Window(); }

Portolan* CGatekeelDlg::Configurator() const { return sharedConfigurator; }

bool CGatekeelDlg::Refreshing() const { return refreshing_; }

bool CGatekeelDlg::ListRead() const { return listRead_; }

void CGatekeelDlg::ShowList() { RefillTree(); }

ui::Reply CGatekeelDlg::OnClearTree(const ui::Message&) {
    if (Control(IDC_MAPPING_TREE)) {
        ui::ShowWaitCursor();
        ClearTree();
    }
    return ui::Handled();
}

void CGatekeelDlg::ClearTree() {
    if (const HWND tree = Control(IDC_MAPPING_TREE)) TreeView_DeleteAllItems(tree);
}

ui::Reply CGatekeelDlg::OnShowMapping(const ui::Message& message) {
    const HWND tree = Control(IDC_MAPPING_TREE);
    if (!tree || !sharedConfigurator) return ui::Handled();
    const uint32_t index = static_cast<uint32_t>(message.lParam);
    ShowTreeMapping(tree, index, sharedConfigurator->GetMapping(index));
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnTraversalDone(const ui::Message&) {
    ui::ShowArrowCursor();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnRefillTree(const ui::Message&) {
    RefillTree();
    return ui::Handled();
}

void CGatekeelDlg::RefillTree() {
    const HWND tree = Control(IDC_MAPPING_TREE);
    if (!tree) {
        ui::ShowArrowCursor();
        ui::ShowMessageBox(Window(), kNoServices, kOhWell, MB_ICONERROR | MB_OK);
        return;
    }
    TreeView_DeleteAllItems(tree);
    if (!sharedConfigurator) return;  // nothing read yet: the tree stays empty
    const uint32_t count = sharedConfigurator->MappingCount();
    for (uint32_t i = 0; i < count; ++i) {
        const PortMapping& mapping = sharedConfigurator->GetMapping(i);
        const HTREEITEM item = ui::AppendTreeItem(tree, MappingLine(mapping));
        if (!item) continue;
        ui::SetTreeItemData(tree, item, static_cast<LPARAM>(i));
        ui::SetTreeItemChecked(tree, item, mapping.enabled != 0);
    }
}
