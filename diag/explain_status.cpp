#include "diag/explain.h"

#include <cctype>
#include <optional>
#include <string_view>

#include "diag/ipv4.h"
#include "diag/service_control_manager.h"
#include "diag/ssdp_states.h"
#include "ui/text_rules.h"

using ipv4::AdapterName;
using ipv4::FieldText;
using ipv4::ParseIpv4;
using ui::kEolNarrow;

namespace {

constexpr const char* kNoGateway = "No adapter holds a default gateway, so none of them leads to a router.";
// Names in adapter descriptions that mark a virtual or tunnel adapter.
constexpr std::string_view kVirtualNames[] = {"VPN", "TAP", "WireGuard", "VirtualBox", "VMware", "Hyper-V", "WSL"};

// The word, in any case, with no letter or digit right before or after it.
bool ContainsWord(const std::string& text, std::string_view word) {
    const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (at > 0 && alnum(text[at - 1])) continue;
        if (at + word.size() < text.size() && alnum(text[at + word.size()])) continue;
        if (ui::SameIgnoringAsciiCase(std::string_view(text).substr(at, word.size()), word)) return true;
    }
    return false;
}

bool IsVirtual(const IP_ADAPTER_INFO& adapter) {
    if (adapter.Type == MIB_IF_TYPE_PPP || adapter.Type == IF_TYPE_TUNNEL) return true;
    const std::string description = FieldText(adapter.Description);
    for (std::string_view name : kVirtualNames) {
        if (ContainsWord(description, name)) return true;
    }
    return false;
}

// An address field's text; "0.0.0.0" stands for none as well.
std::string AddressOrEmpty(const IP_ADDRESS_STRING& field) {
    const std::string text = FieldText(field.String);
    return text == "0.0.0.0" ? std::string() : text;
}

bool HoldsGateway(const IP_ADAPTER_INFO& adapter) { return !AddressOrEmpty(adapter.GatewayList.IpAddress).empty(); }

bool HoldsAddress(const IP_ADAPTER_INFO& adapter) {
    for (const IP_ADDR_STRING* entry = &adapter.IpAddressList; entry; entry = entry->Next) {
        if (ParseIpv4(FieldText(entry->IpAddress.String)).value_or(0) != 0) return true;
    }
    return false;
}

// How this computer reaches the router, by the adapters that hold a default gateway. Where no
// physical adapter holds an address, a virtual one with the gateway bridges this computer to
// the network (a Hyper-V external switch, a bridged VMware or VirtualBox set-up): it is the
// way to the router. Beside a physical adapter with an address, it is a detour (a VPN).
enum class Route { NoGateway, Physical, Bridged, OnlyVirtual };

Route RouteOf(const IP_ADAPTER_INFO* adapters) {
    bool gateway = false, physicalGateway = false, physicalAddress = false;
    for (const IP_ADAPTER_INFO* adapter = adapters; adapter; adapter = adapter->Next) {
        const bool isVirtual = IsVirtual(*adapter);
        gateway = gateway || HoldsGateway(*adapter);
        physicalGateway = physicalGateway || (!isVirtual && HoldsGateway(*adapter));
        physicalAddress = physicalAddress || (!isVirtual && HoldsAddress(*adapter));
    }
    if (!gateway) return Route::NoGateway;
    if (physicalGateway) return Route::Physical;
    return physicalAddress ? Route::OnlyVirtual : Route::Bridged;
}

std::string AdapterRole(const IP_ADAPTER_INFO& adapter, Route route) {
    const bool hasGateway = HoldsGateway(adapter);
    if (!IsVirtual(adapter)) return hasGateway ? ": faces the router (it holds the default gateway)" : "";
    if (!hasGateway) return ": a virtual or tunnel adapter";
    if (route == Route::Bridged) return ": faces the router (a virtual adapter bridged to the network, with the default gateway)";
    return ": a virtual or tunnel adapter, with a default gateway";
}

std::string DhcpText(const IP_ADAPTER_INFO& adapter) {
    if (!adapter.DhcpEnabled) return "DHCP off (a fixed address)";
    const std::string server = AddressOrEmpty(adapter.DhcpServer.IpAddress);
    return server.empty() ? "DHCP on" : "DHCP on, server " + server;
}

std::string NoAdaptersText(AdapterQueryOutcome query) {
    switch (query.state) {
    case AdapterQuery::NoLibrary:
        return "IP Helper (iphlpapi.dll) could not be loaded from the system folder, so Gatekeel cannot list the "
               "network adapters.";
    case AdapterQuery::NoEntryPoint:
        return "IP Helper (iphlpapi.dll) has no GetAdaptersInfo, so Gatekeel cannot list the network adapters.";
    case AdapterQuery::Failed:
        return "IP Helper could not list the network adapters (error " + std::to_string(query.code) + ").";
    case AdapterQuery::Listed:  // a list without an adapter in it
    case AdapterQuery::NoAdapters:
        return "IP Helper reports no network adapter with an IPv4 address: this computer cannot reach a router.";
    }
    return {};
}


std::string ServiceStateText(DWORD state) {
    const SsdpStateView& view = SsdpStateOf(state);
    if (view.state == 0) return "Its state is unknown (" + std::to_string(state) + "). " + view.tip;
    return view.tip;
}

// Why no router answered: the causes this computer shows, each with whether it is certain.
struct Cause {
    std::string text;
    bool certain;
};

// The state as a user without the rights to change it reads it: only an administrator can start
// a stopped service (with the button), and the other states pass by themselves.
std::string QueriedStateText(DWORD state) {
    const SsdpStateView& view = SsdpStateOf(state);
    const std::string is = "The SSDP Discovery service is " +
                           (view.state == 0 ? "in an unknown state (" + std::to_string(state) + ")" : std::string(view.word));
    if (state == SERVICE_RUNNING) return is + ".";
    if (view.changeable && !view.running) {
        return is + ", and without it Windows finds no router; an administrator can start it: run Gatekeel as "
                    "administrator and press the SSDP button.";
    }
    return is + ", and Windows finds no router until it runs.";
}

std::optional<Cause> SsdpCause(const SsdpFacts& ssdp) {
    if (ssdp.queried) {
        if (ssdp.state == SERVICE_RUNNING) return std::nullopt;
        return Cause{QueriedStateText(ssdp.state), true};
    }
    if (!ssdp.manageable) {
        const std::string why = ssdp.errorText.empty() ? "" : " (Windows says: " + ssdp.errorText + ")";
        return Cause{"Gatekeel cannot see the state of the SSDP Discovery service" + why +
                         ", and without it Windows finds no router.",
                     false};
    }
    if (ssdp.state == SERVICE_RUNNING) return std::nullopt;
    return Cause{"The SSDP Discovery service is not running, and without it Windows finds no router. " +
                     ServiceStateText(ssdp.state),
                 true};
}

std::optional<Cause> AdapterCause(const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query) {
    if (!adapters) return Cause{NoAdaptersText(query), query.state == AdapterQuery::NoAdapters};
    switch (RouteOf(adapters)) {
    case Route::NoGateway:
        return Cause{kNoGateway, true};
    case Route::OnlyVirtual:
        return Cause{"Only a virtual or tunnel adapter (a VPN, for one) holds a default gateway, so the search "
                     "for the router may leave through it instead of reaching the router.",
                     true};
    case Route::Physical:
    case Route::Bridged:
        return std::nullopt;
    }
    return std::nullopt;
}

constexpr const char* kRouterCauses[] = {
    "UPnP is switched off in the router's settings.",
    "The router announces itself as an Internet Gateway Device of version 2, with which Windows' UPnP client "
    "often finds nothing; a router setting for IGD version 1 helps.",
    "A firewall or Group Policy blocks UDP port 1900 or TCP port 2869; Windows opens them with \"Network "
    "discovery\".",
};

// The system's text without its closing line end.
std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string AdapterBlock(const IP_ADAPTER_INFO& adapter, Route route) {
    const std::string gateway = AddressOrEmpty(adapter.GatewayList.IpAddress);
    std::string text = AdapterName(adapter) + AdapterRole(adapter, route) + kEolNarrow;
    text += "  Address " + FieldText(adapter.IpAddressList.IpAddress.String) + ", mask " +
            FieldText(adapter.IpAddressList.IpMask.String) + kEolNarrow;
    text += "  " + DhcpText(adapter) + kEolNarrow;
    return text + (gateway.empty() ? std::string("  No gateway") : "  Gateway " + gateway) + kEolNarrow;
}

std::string RouteVerdict(Route route) {
    if (route == Route::NoGateway) return kNoGateway;
    if (route == Route::OnlyVirtual) {
        return "Warning: only a virtual or tunnel adapter holds a default gateway, so traffic to the router may "
               "leave through it.";
    }
    return {};
}

std::optional<Cause> DiscoveryCause(const FirewallPolicy& firewall) {
    const std::optional<std::string> cause = NetworkDiscoveryCause(firewall);
    if (!cause) return std::nullopt;
    return Cause{*cause, true};
}

}  // namespace

std::string ExplainAdapters(const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query) {
    if (!adapters) return NoAdaptersText(query);
    const Route route = RouteOf(adapters);
    const std::string verdict = RouteVerdict(route);
    // The adapters that fit beside the verdict, in their order, and a count of the rest.
    constexpr size_t kRestLine = 40;
    std::string text;
    size_t rest = 0;
    for (const IP_ADAPTER_INFO* adapter = adapters; adapter; adapter = adapter->Next) {
        const std::string block = AdapterBlock(*adapter, route);
        if (rest == 0 && text.size() + block.size() + kRestLine + verdict.size() <= kTipChars) {
            text += block;
        } else {
            ++rest;
        }
    }
    if (rest > 0) text += "... and " + std::to_string(rest) + " more adapters" + kEolNarrow;
    return verdict.empty() ? Trimmed(text) : text + verdict;
}

SsdpFacts SsdpFacts::Of(const service_control_manager& service) {
    SsdpFacts facts{service.scm_handle() && service.service_handle(), service.status().dwCurrentState,
                    service.error_code(), Trimmed(service.get_error_text())};
    if (!facts.manageable) facts.queried = service.query_state_only(facts.state);
    return facts;
}

std::string ExplainSsdp(const SsdpFacts& facts) {
    std::string text = "The SSDP Discovery service (SSDPSRV) lets Windows find UPnP devices such as your router.";
    text += kEolNarrow;
    if (facts.manageable) return text + ServiceStateText(facts.state);
    if (facts.openError == ERROR_SERVICE_DOES_NOT_EXIST)
        return text + "This Windows has no such service, so Gatekeel can neither show nor change its state.";
    if (facts.queried) text += QueriedStateText(facts.state) + kEolNarrow;
    text += "Gatekeel cannot manage it with the rights it runs with";
    text += facts.errorText.empty() ? "." : " (Windows says: " + facts.errorText + ")";
    return text + kEolNarrow +
           "To start or stop it from here: close Gatekeel, right-click gatekeel.exe and choose \"Run as "
           "administrator\".";
}

std::string ExplainNoRouter(const SsdpFacts& ssdp, const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query,
                            const FirewallPolicy& firewall) {
    std::string text = std::string("Gatekeel found no router that answers over UPnP. The likely causes:") + kEolNarrow;
    bool certain = false;
    for (const std::optional<Cause>& cause : {SsdpCause(ssdp), AdapterCause(adapters, query), DiscoveryCause(firewall)}) {
        if (!cause) continue;
        text += "- " + cause->text + kEolNarrow;
        certain = certain || cause->certain;
    }
    // What this computer shows for certain comes first; the router's side only where it shows nothing.
    if (!certain) {
        for (const char* cause : kRouterCauses) text += std::string("- ") + cause + kEolNarrow;
    }
    return text + "Change the one that applies, then press \"Refresh Settings List\".";
}

std::string ExplainOsVersion(const OSVERSIONINFOEXA& version, bool known) {
    if (!known) {
        return "Windows did not report its version (GetVersionExA failed), so Gatekeel takes it for one older "
               "than Windows Vista.";
    }
    static const char* const kPlatforms[] = {"Win32s", "Windows 95, 98 or Me", "Windows NT"};
    const DWORD platform = version.dwPlatformId;
    const DWORD build = platform == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(version.dwBuildNumber) : version.dwBuildNumber;
    const std::string servicePack = FieldText(version.szCSDVersion);
    return "Windows reports version " + std::to_string(version.dwMajorVersion) + "." +
           std::to_string(version.dwMinorVersion) + "." + std::to_string(build) +
           (servicePack.empty() ? "" : " " + servicePack) + ", platform " + std::to_string(platform) + " (" +
           (platform < 3 ? kPlatforms[platform] : "unknown") + ")." + kEolNarrow +
           "Gatekeel needs Windows Vista (6.0) or later, whose UPnP support finds the router.";
}
