#pragma once
// The main window: status panel with the SSDP button, the Refresh/Add/Edit/Delete/Done
// buttons and the mapping tree, routed through one ordered event table.
#include <windows.h>

#include <memory>
#include <string>

#include "app/main_tips.h"
#include "app/mapping_menu.h"
#include "diag/firewall.h"
#include "diag/service_control_manager.h"
#include "edit/mapping_commands.h"
#include "listfile/list_commands.h"
#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/input_filter.h"

constexpr UINT_PTR STATUS_TIMER_ID = 31415;
constexpr UINT STATUS_TIMER_PERIOD_MS = 1000;
constexpr UINT ABOUT_MENU_ID = 0x10;
// The smallest outer size, in pixels at 96 DPI; scaled to the screen's DPI.
constexpr LONG MIN_TRACK_WIDTH = 417;
constexpr LONG MIN_TRACK_HEIGHT = 508;
constexpr int REFRESH_LOCKED_IDS[] = {IDC_ADD, IDC_EDIT, IDC_DELETE, IDOK, IDC_REFRESH};
constexpr DWORD SSDP_CHANGE_LIMIT_MS = 60000;

// Where the tree goes for a client area of the given size, in pixels.
struct TreePlacement {
    int x;
    int y;
    int width;
    int height;
};

// The tree's template position and the dialog's client size, both in pixels for this dialog's font,
// from which the tree keeps its left/top position and its right/bottom margins on resize.
struct TreeLayout {
    RECT tree;     // left, top, width (as right), height (as bottom)
    SIZE client;   // the template's client size

    TreePlacement PlaceIn(int clientWidth, int clientHeight) const;
};

// The layout of dialog 102 mapped from its dialog units with MapDialogRect.
TreeLayout MapTreeLayout(HWND dialog);

// The operating-system verdict for a version number (platform << 16 | major << 8 | minor).
std::string OsVerdictText(uint32_t versionNumber);

class HostNetworkInfo;
// The DHCP verdict over the adapters the info object has loaded.
std::string DhcpVerdictText(HostNetworkInfo& info);

class CGatekeelDlg : public ui::Dialog, private ui::InputTranslator, private ListHost {
public:
    // The dialog drives the SSDP service through ssdp, which outlives it.
    explicit CGatekeelDlg(service_control_manager& ssdp, HWND parent = nullptr);
    ~CGatekeelDlg() override;

    void RefreshHostStatus();
    void OnSsdpButton();

    UINT_PTR StatusTimer() const { return statusTimer; }
    bool SsdpRunning() const { return ssdp_running; }
    HICON AppIcon() const { return appIcon; }

protected:
    BOOL OnInitDialog() override;
    ui::Reply OnMessage(const ui::Message& message) override;
    void OnCancel() override;

private:
    ui::Reply OnSysCommand(const ui::Message& message);
    ui::Reply OnPaint(const ui::Message& message);
    ui::Reply OnQueryDragIcon(const ui::Message& message);
    ui::Reply OnDone(const ui::Message& message);
    ui::Reply OnRefresh(const ui::Message& message);
    ui::Reply OnTreeClick(const ui::Message& message);
    ui::Reply OnSsdpClicked(const ui::Message& message);
    ui::Reply OnAddClicked(const ui::Message& message);
    ui::Reply OnEditClicked(const ui::Message& message);
    ui::Reply OnRefillTree(const ui::Message& message);
    ui::Reply OnShowMapping(const ui::Message& message);
    ui::Reply OnClearTree(const ui::Message& message);
    ui::Reply OnTraversalDone(const ui::Message& message);
    ui::Reply OnDeleteClicked(const ui::Message& message);
    ui::Reply OnTimer(const ui::Message& message);
    ui::Reply OnSize(const ui::Message& message);
    ui::Reply OnGetMinMaxInfo(const ui::Message& message);
    ui::Reply OnTreeDoubleClick(const ui::Message& message);
    ui::Reply OnToggleMapping(const ui::Message& message);
    ui::Reply OnCopyMapping(const ui::Message& message);
    ui::Reply OnTipText(const ui::Message& message);
    ui::Reply OnNotifyFormat(const ui::Message& message);
    ui::Reply OnMappingMenu(const ui::Message& message);
    ui::Reply OnMenuLoop(const ui::Message& message);
    ui::Reply OnTreeItemDeleted(const ui::Message& message);
    ui::Reply OnExportList(const ui::Message& message);
    ui::Reply OnImportList(const ui::Message& message);
    ui::Reply OnDropFiles(const ui::Message& message);

    // The tip of a status line or of the mapping line under the pointer; over the empty list
    // after a refresh that found no router, why it may have found none; empty for none.
    std::wstring TipText(HWND control) const;
    std::wstring PointedMappingTip(HWND tree) const;
    // F5, Ctrl+S and Ctrl+O, and Delete, Space, Ctrl+C, Shift+F10 and the Menu key on the tree,
    // become the commands they stand for, unless a menu is open; the tip follows the mouse moves,
    // wheel turns and scrolling keys on the tree.
    bool TranslateInput(const MSG& message) override;
    void PostKeyCommand(int id);
    void CopySelectedLine() const;
    // Makes the configurator at the first refresh; every later one reads the router as it is now.
    void OpenConfigurator();
    void ClearTree();
    void AddAboutMenuEntry();
    void ShowFirstRunAbout();
    void ShowAboutBox();
    void RefreshCommand();
    // The refresh itself, also run by the import: true when the router's list was read.
    bool ReadRouter() override;
    ui::ControlsLock LockControls() override;
    bool Closing() const override;
    Portolan* Configurator() const override;
    bool Refreshing() const override;
    bool ListRead() const override;
    void ShowList() override;
    // The tree rebuilt from the configurator's list, without reading the router.
    void RefillTree();
    void ShowSsdpPanel();
    void SetControlText(int id, const std::string& text) const;
    // Ends the dialog; the enumeration that may be running goes on without the window.
    void Close(INT_PTR result);

    static const ui::EventRow<CGatekeelDlg> kEvents[];

    UINT_PTR statusTimer = 0;
    HICON appIcon = nullptr;
    service_control_manager& ssdp_;
    bool ssdp_running = false;
    // A command runs whose boxes may have no owner: no other command may start meanwhile.
    bool commandRunning_ = false;
    // A menu (the list's or the system menu) is open, between WM_ENTERMENULOOP and WM_EXITMENULOOP.
    bool menuOpen_ = false;
    // The last refresh read the router's list, which the list now shows.
    bool listRead_ = false;
    // A refresh runs: the router is being read.
    bool refreshing_ = false;
    MappingCommands commands_;
    ListCommands lists_;
    MappingMenu menu_;
    std::unique_ptr<ui::InputFilter> keys_;
    MainTips tips_;
    // Windows Firewall's policy, read when a tip first needs it after a refresh.
    mutable FirewallCache firewall_;
};
