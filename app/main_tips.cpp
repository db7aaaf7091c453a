#include "app/main_tips.h"

#include "app/gatekeel_dlg.h"
#include "app/mapping_list.h"
#include "diag/explain.h"
#include "diag/host_network_info.h"
#include "res/resource.h"
#include "ui/text.h"
#include "ui/tree_view.h"

namespace {

// The tips hold several lines: this wide, in pixels at 96 DPI, and shown long enough to read.
constexpr int kTipWidth = 420;
constexpr int kShowMs = 30000;

}  // namespace

MainTips::~MainTips() {
    // An owned window goes with its owner; this only covers a dialog that outlives its tips.
    if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

void MainTips::Create(HWND dialog, std::initializer_list<int> ids) {
    // Unicode, as the router's texts in a mapping's tip may be in any script.
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                               0, 0, dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, ui::ScaledToScreen(kTipWidth));
    SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(kShowMs, 0));
    for (int id : ids) {
        const HWND control = GetDlgItem(dialog, id);
        if (!control) continue;
        // A static text passes the mouse on to its parent unless it notifies; the style changes nothing shown.
        char className[16] = {};
        GetClassNameA(control, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0)
            SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = dialog;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        // The control asks the dialog here whether it takes Unicode notifications (NotifiesUnicode).
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainTips::FollowPointer(HWND tree, const MSG& move) {
    const HTREEITEM item = ui::TreeItemAt(tree, move.pt);
    if (item == pointed_) return;
    Forget();
    pointed_ = item;
}

void MainTips::FollowInput(HWND tree, const MSG& input) {
    if (input.message == WM_MOUSEMOVE) return FollowPointer(tree, input);
    // Page Up, Page Down, End, Home and the arrows: the keys with which the tree scrolls.
    const bool scrollKey = input.message == WM_KEYDOWN && input.wParam >= VK_PRIOR && input.wParam <= VK_DOWN;
    if (input.message == WM_MOUSEWHEEL || scrollKey) Forget();
}

void MainTips::Forget() {
    pointed_ = nullptr;
    if (tooltip_) SendMessageA(tooltip_, TTM_POP, 0, 0);
}

void MainTips::Answer(NMTTDISPINFOW& request, std::wstring text) {
    text_ = std::move(text);
    request.lpszText = text_.data();
    request.hinst = nullptr;
}

ui::Reply CGatekeelDlg::OnNotifyFormat(const ui::Message& message) {
    // Only the tips' control gets Unicode notifications; the tree keeps the dialog's ANSI ones.
    if (!tips_.Window() || reinterpret_cast<HWND>(message.wParam) != tips_.Window()) return ui::NotHandled();
    return ui::Handled(NFR_UNICODE);
}

ui::Reply CGatekeelDlg::OnTipText(const ui::Message& message) {
    auto& request = *reinterpret_cast<NMTTDISPINFOW*>(message.lParam);
    if (!tips_.Window() || request.hdr.hwndFrom != tips_.Window()) return ui::NotHandled();
    tips_.Answer(request, TipText(reinterpret_cast<HWND>(request.hdr.idFrom)));
    return ui::Handled();
}

std::wstring CGatekeelDlg::TipText(HWND control) const {
    HostNetworkInfo info;
    switch (GetDlgCtrlID(control)) {
    case IDC_SSDP_STATUS:
        return ui::AnsiToWide(ExplainSsdp(SsdpFacts::Of(ssdp_)));
    case IDC_OS_STATUS:
        info.LoadOsVersion();  // read once per process: nothing is asked of the platform again
        return ui::AnsiToWide(ExplainOsVersion(info.OsVersion(), info.OsVersionKnown()));
    case IDC_DHCP_STATUS:
        info.LoadAdapters();
        return ui::AnsiToWide(ExplainAdapters(info.Adapters(), LastAdapterQuery()));
    case IDC_MAPPING_TREE:
        return PointedMappingTip(control);
    default:
        return {};
    }
}

std::wstring CGatekeelDlg::PointedMappingTip(HWND tree) const {
    const Portolan* configurator = sharedConfigurator;
    POINT pointer{};
    GetCursorPos(&pointer);
    const HTREEITEM item = ui::TreeItemAt(tree, pointer);
    if (!configurator) return {};  // nothing asked of the router yet
    HostNetworkInfo info;  // the adapters are asked for only by a tip that shows them
    if (!item) {
        // The empty list of a refresh that found no router says why it may have found none.
        if (configurator->nat && configurator->collection) return {};
        info.LoadAdapters();
        return ui::AnsiToWide(ExplainNoRouter(SsdpFacts::Of(ssdp_), info.Adapters(), LastAdapterQuery(), firewall_.Policy()));
    }
    const LPARAM index = ui::TreeItemData(tree, item);
    if (index < 0 || static_cast<uint64_t>(index) >= configurator->mappings.size()) return {};
    info.LoadAdapters();
    return MappingTip(configurator->mappings[static_cast<size_t>(index)], info.Adapters(), firewall_);
}
