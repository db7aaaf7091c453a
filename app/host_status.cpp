// The status panel: operating-system and DHCP verdicts, and the SSDP line with its button.
#include <string>

#include "app/gatekeel_dlg.h"
#include "diag/host_network_info.h"
#include "diag/ssdp_states.h"
#include "res/resource.h"
#include "ui/input_filter.h"
#include "ui/message_box.h"

namespace {

constexpr uint32_t kVistaVersion = 0x20600;

std::string NicDoingDhcp(const std::string& address) { return "Your NIC [ " + address + " ] is doing DHCP. Good!"; }

std::string AddressText(HostNetworkInfo& info, int32_t adapterIndex) {
    const char* address = info.IPAddressString(adapterIndex, 0);
    return address ? std::string(address) : std::string();
}

// The DHCP adapters' first addresses, comma-separated, skipping those still at 0.0.0.0.
std::string DhcpAddressList(HostNetworkInfo& info, int32_t adapterCount, int& listed) {
    std::string list;
    listed = 0;
    for (int32_t i = 0; i < adapterCount; ++i) {
        if (!info.IsDhcpEnabled(i)) continue;
        const std::string address = AddressText(info, i);
        if (address == "0.0.0.0") continue;
        ++listed;
        if (!list.empty()) list += ',';
        list += address;
    }
    return list;
}

}  // namespace

std::string OsVerdictText(uint32_t versionNumber) {
    if (versionNumber < kVistaVersion) {
        return "Your OS is PRE Windows Vista. This program may not be able to detect/provision your router.";
    }
    return "Your OS is at least Windows Vista. :) Good!";
}

std::string DhcpVerdictText(HostNetworkInfo& info) {
    const int32_t count = info.AdapterCount();
    if (count <= 0) return "No adapters detected. This is a problem...";
    if (count == 1) {
        const std::string address = AddressText(info, 0);
        if (info.IsDhcpEnabled(0)) return NicDoingDhcp(address);
        return "Your NIC [ " + address + " ] is NOT doing DHCP. Most routers require DHCP for UPnP behavior.";
    }
    int listed = 0;
    const std::string list = DhcpAddressList(info, count, listed);
    if (listed == 0) {
        return "NONE of your NICs are doing DHCP. Most routers appear to require this for UPnP provisioning.";
    }
    if (listed == 1) return NicDoingDhcp(list);
    return "Multiple NICS: at least one [ " + list + " ] doing DHCP. I hope the right one is setup.";
}

void CGatekeelDlg::RefreshHostStatus() {
    HostNetworkInfo info;
    info.LoadOsVersion();
    SetControlText(IDC_OS_STATUS, OsVerdictText(info.OsVersionNumber()));
    info.LoadAdapters();
    SetControlText(IDC_DHCP_STATUS, DhcpVerdictText(info));
    ShowSsdpPanel();
}

void CGatekeelDlg::ShowSsdpPanel() {
    const HWND text = Control(IDC_SSDP_STATUS);
    const HWND button = Control(IDC_SSDP_BUTTON);
    const int buttonId[] = {IDC_SSDP_BUTTON};
    if (!text || !button) {
        EnableControls(FALSE, buttonId);
        if (text) SetWindowTextA(text, "Could not access UI button! Very bad....");
        return;
    }
    if (!ssdp_.scm_handle() || !ssdp_.service_handle()) {
        EnableControls(FALSE, buttonId);
        SetWindowTextA(text,
                       "Can not manage SSDP (UPnP) Discovery Service. Try: 'Right Click->Run As Administrator' if "
                       "you need this info/action.");
        return;
    }
    ssdp_.query();  // a failed read shows the state last read
    const SsdpStateView& view = SsdpStateOf(ssdp_.status().dwCurrentState);
    EnableControls(view.changeable, buttonId);
    SetWindowTextA(button, view.button);
    // A button that cannot be pressed keeps what it last meant.
    if (view.changeable) ssdp_running = view.running;
    SetWindowTextA(text, view.line);
}

void CGatekeelDlg::OnSsdpButton() {
    ui::ShowWaitCursor();
    const bool stopping = ssdp_running;
    const int result = stopping ? ssdp_.stop(SSDP_CHANGE_LIMIT_MS) : ssdp_.start(SSDP_CHANGE_LIMIT_MS);
    // The window could not answer while the service changed state: a second click made
    // meanwhile would undo the change the moment the panel shows it.
    ui::DiscardPendingInput();
    if (result != SCM_RESULT_DONE) {
        const std::string message = std::string(stopping ? "Could not STOP the service!\r\n\r\n"
                                                         : "Could not START the service!\r\n\r\n") +
                                    ssdp_.get_error_text();
        ui::ShowMessageBox(Window(), message, "!@##@$@#$", MB_ICONERROR | MB_OK);
    }
    ui::ShowArrowCursor();
    RefreshHostStatus();
}
