#include "app/gatekeel_dlg.h"

#include <commctrl.h>

#include <new>

#include "app/about_dlg.h"
#include "app/first_run.h"
#include "app/mapping_list.h"
#include "listfile/file_dialogs.h"
#include "res/resource.h"
#include "ui/app.h"
#include "ui/clipboard.h"
#include "ui/flag_scope.h"
#include "ui/message_box.h"
#include "ui/system_library.h"
#include "ui/tree_view.h"

// In the order in which it is searched; the first matching row wins.
const ui::EventRow<CGatekeelDlg> CGatekeelDlg::kEvents[] = {
    {WM_SYSCOMMAND, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnSysCommand},
    {WM_PAINT, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnPaint},
    {WM_QUERYDRAGICON, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnQueryDragIcon},
    {WM_COMMAND, IDOK, BN_CLICKED, &CGatekeelDlg::OnDone},
    {WM_COMMAND, IDC_REFRESH, BN_CLICKED, &CGatekeelDlg::OnRefresh},
    {WM_NOTIFY, IDC_MAPPING_TREE, static_cast<int>(NM_CLICK), &CGatekeelDlg::OnTreeClick},
    {WM_COMMAND, IDC_SSDP_BUTTON, BN_CLICKED, &CGatekeelDlg::OnSsdpClicked},
    {WM_COMMAND, IDC_ADD, BN_CLICKED, &CGatekeelDlg::OnAddClicked},
    {WM_COMMAND, IDC_EDIT, BN_CLICKED, &CGatekeelDlg::OnEditClicked},
    {WMU_REFILL_TREE, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnRefillTree},
    {WMU_SHOW_MAPPING, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnShowMapping},
    {WMU_CLEAR_TREE, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnClearTree},
    {WMU_TRAVERSAL_DONE, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnTraversalDone},
    {WM_COMMAND, IDC_DELETE, BN_CLICKED, &CGatekeelDlg::OnDeleteClicked},
    {WM_TIMER, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnTimer},
    {WM_SIZE, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnSize},
    {WM_GETMINMAXINFO, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnGetMinMaxInfo},
    {WM_NOTIFY, IDC_MAPPING_TREE, static_cast<int>(NM_DBLCLK), &CGatekeelDlg::OnTreeDoubleClick},
    {WM_COMMAND, ID_TOGGLE_MAPPING, ui::AnyCode, &CGatekeelDlg::OnToggleMapping},
    {WM_COMMAND, ID_COPY_MAPPING, ui::AnyCode, &CGatekeelDlg::OnCopyMapping},
    {WM_NOTIFY, ui::AnyId, static_cast<int>(TTN_GETDISPINFOW), &CGatekeelDlg::OnTipText},
    {WM_NOTIFY, IDC_MAPPING_TREE, static_cast<int>(NM_RCLICK), &CGatekeelDlg::OnMappingMenu},
    {WM_COMMAND, ID_MAPPING_MENU, ui::AnyCode, &CGatekeelDlg::OnMappingMenu},
    {WM_NOTIFYFORMAT, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnNotifyFormat},
    {WM_ENTERMENULOOP, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnMenuLoop},
    {WM_EXITMENULOOP, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnMenuLoop},
    {WM_NOTIFY, IDC_MAPPING_TREE, static_cast<int>(TVN_DELETEITEMA), &CGatekeelDlg::OnTreeItemDeleted},
    {WM_NOTIFY, IDC_MAPPING_TREE, static_cast<int>(TVN_DELETEITEMW), &CGatekeelDlg::OnTreeItemDeleted},
    {WM_COMMAND, ID_EXPORT_LIST, ui::AnyCode, &CGatekeelDlg::OnExportList},
    {WM_COMMAND, ID_IMPORT_LIST, ui::AnyCode, &CGatekeelDlg::OnImportList},
    {WM_DROPFILES, ui::AnyId, ui::AnyCode, &CGatekeelDlg::OnDropFiles},
};

namespace {

// The tree's place in template 102 and the template's client size, in dialog units.
constexpr RECT kTreeDialogUnits{7, 106, 253, 177};
constexpr SIZE kClientDialogUnits{267, 290};

void LoadRichEditLibrary() {
    // Stays loaded for the whole run: the About box's rich edit class lives in it.
    if (!GetModuleHandleA("RICHED32.DLL")) ui::LoadSystemLibrary("RICHED32.DLL");
}

// The minimum tracking size, given in pixels at 96 DPI, at the DPI of the screen.
POINT MinimumTrackingSize() { return {ui::ScaledToScreen(MIN_TRACK_WIDTH), ui::ScaledToScreen(MIN_TRACK_HEIGHT)}; }

// The command a key stands for (0: none); all but F5, Ctrl+S and Ctrl+O only on the tree.
int KeyCommand(const MSG& message, bool onTree) {
    if (onTree && IsMenuKey(message)) return ID_MAPPING_MENU;
    if (message.message != WM_KEYDOWN) return 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    switch (message.wParam) {
    case VK_F5: return IDC_REFRESH;
    case 'S': return control ? ID_EXPORT_LIST : 0;
    case 'O': return control ? ID_IMPORT_LIST : 0;
    case VK_DELETE: return onTree ? IDC_DELETE : 0;
    case VK_SPACE: return onTree ? ID_TOGGLE_MAPPING : 0;
    case 'C': return onTree && control ? ID_COPY_MAPPING : 0;
    default: return 0;
    }
}

}  // namespace

TreePlacement TreeLayout::PlaceIn(int clientWidth, int clientHeight) const {
    return {tree.left, tree.top, clientWidth - (client.cx - tree.right), clientHeight - (client.cy - tree.bottom)};
}

TreeLayout MapTreeLayout(HWND dialog) {
    TreeLayout layout{kTreeDialogUnits, kClientDialogUnits};
    MapDialogRect(dialog, &layout.tree);
    RECT client{0, 0, kClientDialogUnits.cx, kClientDialogUnits.cy};
    MapDialogRect(dialog, &client);
    layout.client = {client.right, client.bottom};
    return layout;
}

CGatekeelDlg::CGatekeelDlg(service_control_manager& ssdp, HWND parent)
    : ui::Dialog(IDD_GATEKEEL_DIALOG, parent),
      appIcon(LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      ssdp_(ssdp),
      commands_(*this, commandRunning_),
      lists_(*this, *this, commandRunning_),
      menu_(*this, commandRunning_, lists_) {}

CGatekeelDlg::~CGatekeelDlg() {
    if (Window() && mainWindowHandle == Window()) mainWindowHandle = nullptr;
}

BOOL CGatekeelDlg::OnInitDialog() {
    LoadRichEditLibrary();
    mainWindowHandle = Window();
    if (ui::App* app = ui::App::Current()) app->SetMainWindow(Window());
    AddAboutMenuEntry();
    SendMessageA(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessageA(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appIcon));
    RefreshHostStatus();
    statusTimer = SetTimer(Window(), STATUS_TIMER_ID, STATUS_TIMER_PERIOD_MS, nullptr);
    keys_ = std::make_unique<ui::InputFilter>(Window(), static_cast<ui::InputTranslator&>(*this));
    tips_.Create(Window(), {IDC_SSDP_STATUS, IDC_OS_STATUS, IDC_DHCP_STATUS, IDC_MAPPING_TREE});
    listfile::AcceptDroppedFiles(Window());  // a mapping list dropped on the window is imported
    ShowFirstRunAbout();
    return TRUE;
}

ui::Reply CGatekeelDlg::OnMessage(const ui::Message& message) {
    // Whatever destroys the window, the enumeration must no longer reach it.
    if (message.id == WM_DESTROY && mainWindowHandle == Window()) mainWindowHandle = nullptr;
    return ui::DispatchEvent(*this, kEvents, message);
}

void CGatekeelDlg::OnCancel() { Close(IDCANCEL); }

void CGatekeelDlg::Close(INT_PTR result) {
    if (mainWindowHandle == Window()) mainWindowHandle = nullptr;
    End(result);
}

void CGatekeelDlg::AddAboutMenuEntry() {
    const HMENU systemMenu = GetSystemMenu(Window(), FALSE);
    if (!systemMenu) return;
    const std::string entry = ui::ResourceString(IDS_ABOUTBOX);
    if (entry.empty()) return;
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, ABOUT_MENU_ID, entry.c_str());
}

void CGatekeelDlg::ShowFirstRunAbout() {
    if (TakeFirstRun()) ShowAboutBox();
}

void CGatekeelDlg::ShowAboutBox() {
    CAboutDlg about(Window());
    about.DoModal();
}

void CGatekeelDlg::SetControlText(int id, const std::string& text) const {
    if (const HWND control = Control(id)) SetWindowTextA(control, text.c_str());
}

ui::Reply CGatekeelDlg::OnSysCommand(const ui::Message& message) {
    if ((message.wParam & 0xFFF0) != ABOUT_MENU_ID) return ui::NotHandled();
    ShowAboutBox();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnPaint(const ui::Message&) {
    if (!IsIconic(Window())) return ui::NotHandled();
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Window(), &paint);
    SendMessageA(Window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Window(), &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, appIcon);
    EndPaint(Window(), &paint);
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnQueryDragIcon(const ui::Message&) {
    return ui::Handled(reinterpret_cast<LRESULT>(appIcon));
}

ui::Reply CGatekeelDlg::OnDone(const ui::Message&) {
    Close(IDOK);
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnRefresh(const ui::Message&) {
    RefreshCommand();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnTreeClick(const ui::Message& message) {
    return ui::Handled(commands_.OnTreeClick(*reinterpret_cast<const NMHDR*>(message.lParam)));
}

ui::Reply CGatekeelDlg::OnSsdpClicked(const ui::Message&) {
    OnSsdpButton();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnAddClicked(const ui::Message&) {
    commands_.OnAdd();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnEditClicked(const ui::Message&) {
    commands_.OnEdit();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnDeleteClicked(const ui::Message&) {
    commands_.OnDelete();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnTimer(const ui::Message& message) {
    if (statusTimer != 0 && message.wParam == statusTimer) RefreshHostStatus();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnSize(const ui::Message& message) {
    const HWND tree = Control(IDC_MAPPING_TREE);
    if (!tree) return ui::Handled();
    const int width = LOWORD(message.lParam);
    const int height = HIWORD(message.lParam);
    const TreePlacement place = MapTreeLayout(Window()).PlaceIn(width, height);
    SetWindowPos(tree, HWND_TOP, place.x, place.y, place.width, place.height, 0);
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnGetMinMaxInfo(const ui::Message& message) {
    MINMAXINFO& info = *reinterpret_cast<MINMAXINFO*>(message.lParam);
    info.ptMinTrackSize = MinimumTrackingSize();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnTreeDoubleClick(const ui::Message& message) {
    return ui::Handled(commands_.OnTreeDoubleClick(*reinterpret_cast<const NMHDR*>(message.lParam)));
}

ui::Reply CGatekeelDlg::OnToggleMapping(const ui::Message&) {
    commands_.OnToggleSelected();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnCopyMapping(const ui::Message&) {
    CopySelectedLine();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnMappingMenu(const ui::Message& message) {
    if (const int command = menu_.Choose(message.id == WM_NOTIFY)) PostKeyCommand(command);
    return ui::Handled(1);  // to NM_RCLICK: the menu is shown, the tree sends no WM_CONTEXTMENU
}

ui::Reply CGatekeelDlg::OnMenuLoop(const ui::Message& message) {
    menuOpen_ = message.id == WM_ENTERMENULOOP;
    return ui::NotHandled();
}

ui::Reply CGatekeelDlg::OnTreeItemDeleted(const ui::Message&) {
    tips_.Forget();  // a refill or a clear deletes every line; the tip must not outlive its line
    return ui::NotHandled();
}

ui::Reply CGatekeelDlg::OnExportList(const ui::Message&) {
    lists_.OnExport();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnImportList(const ui::Message&) {
    lists_.OnImport();
    return ui::Handled();
}

ui::Reply CGatekeelDlg::OnDropFiles(const ui::Message& message) {
    lists_.OnDropFiles(reinterpret_cast<HDROP>(message.wParam));
    return ui::Handled();
}

void CGatekeelDlg::CopySelectedLine() const {
    const HWND tree = Control(IDC_MAPPING_TREE);
    const HTREEITEM selected = tree ? TreeView_GetSelection(tree) : nullptr;
    if (selected) ui::CopyTextToClipboard(Window(), ui::TreeItemText(tree, selected));
}

bool CGatekeelDlg::TranslateInput(const MSG& message) {
    const HWND tree = Control(IDC_MAPPING_TREE);
    const bool onTree = tree && message.hwnd == tree;
    if (onTree) tips_.FollowInput(tree, message);
    // While a menu is open, its keys are the menu's.
    const int command = menuOpen_ ? 0 : KeyCommand(message, onTree);
    if (command == 0) return false;
    // A held key repeats its key-down; one press is one action, and the repeats must not
    // reach the tree either (it would flip the mark on its own).
    const bool repeated = (message.lParam & (1 << 30)) != 0;
    if (!repeated) PostKeyCommand(command);
    return true;
}

void CGatekeelDlg::PostKeyCommand(int id) {
    // A key stands for its button exactly: a disabled button's key does nothing.
    const HWND button = Control(id);
    if (button && !IsWindowEnabled(button)) return;
    const WORD code = button ? BN_CLICKED : 1;  // 1: a command from a key, as accelerators send it
    PostMessageA(Window(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(button));
}
