#include "diag/explain.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "diag/service_control_manager.h"
#include "diag/ssdp_states.h"

namespace {

constexpr const char* kEol = "\r\n";
constexpr const char* kNoGateway = "No adapter holds a default gateway, so none of them leads to a router.";
// Names in adapter descriptions that mark a virtual or tunnel adapter.
constexpr std::string_view kVirtualNames[] = {"VPN", "TAP", "WireGuard", "VirtualBox", "VMware", "Hyper-V", "WSL"};

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

// A platform text field, read no further than the field even without a terminator.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Dotted decimal, exactly four parts of one to three digits up to 255.
std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t address = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) return std::nullopt;
        uint32_t value = 0;
        size_t digits = 0;
        for (; at < text.size() && digits < 3 && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits)
            value = value * 10 + static_cast<uint32_t>(text[at] - '0');
        if (digits == 0 || value > 255) return std::nullopt;
        address = address << 8 | value;
    }
    if (at != text.size()) return std::nullopt;
    return address;
}

std::string DottedText(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

// What an external address says about reaching the router from the internet.
enum class Reach { Reserved, LinkLocal, CarrierNat, Private, Public };

struct AddressRange {
    uint32_t base;
    int bits;
    Reach reach;

    bool Holds(uint32_t address) const { return (address & (bits == 0 ? 0 : ~0u << (32 - bits))) == base; }
    std::string Text() const;
};

// Where the internet cannot reach an address directly, searched in order; an address of none is public.
constexpr AddressRange kRanges[] = {
    {Ip(0, 0, 0, 0), 8, Reach::Reserved},        {Ip(127, 0, 0, 0), 8, Reach::Reserved},
    {Ip(192, 0, 0, 0), 24, Reach::Reserved},     {Ip(198, 18, 0, 0), 15, Reach::Reserved},
    {Ip(224, 0, 0, 0), 4, Reach::Reserved},      {Ip(240, 0, 0, 0), 4, Reach::Reserved},
    {Ip(169, 254, 0, 0), 16, Reach::LinkLocal},  {Ip(100, 64, 0, 0), 10, Reach::CarrierNat},
    {Ip(10, 0, 0, 0), 8, Reach::Private},        {Ip(172, 16, 0, 0), 12, Reach::Private},
    {Ip(192, 168, 0, 0), 16, Reach::Private},
};
constexpr AddressRange kPublic{0, 0, Reach::Public};

const AddressRange& RangeOf(uint32_t address) {
    for (const AddressRange& range : kRanges) {
        if (range.Holds(address)) return range;
    }
    return kPublic;
}

std::string AddressRange::Text() const { return DottedText(base) + "/" + std::to_string(bits); }

int PrefixLength(uint32_t mask) {
    int bits = 0;
    while (bits < 32 && (mask & (0x80000000u >> bits))) ++bits;
    return bits;
}

// The word, in any case, with no letter or digit right before or after it.
bool ContainsWord(const std::string& text, std::string_view word) {
    const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (at > 0 && alnum(text[at - 1])) continue;
        if (at + word.size() < text.size() && alnum(text[at + word.size()])) continue;
        size_t i = 0;
        while (i < word.size() && std::toupper(static_cast<unsigned char>(text[at + i])) ==
                                      std::toupper(static_cast<unsigned char>(word[i])))
            ++i;
        if (i == word.size()) return true;
    }
    return false;
}

std::string AdapterName(const IP_ADAPTER_INFO& adapter) {
    const std::string description = FieldText(adapter.Description);
    return description.empty() ? "Adapter " + FieldText(adapter.AdapterName) : description;
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
    default:
        return "IP Helper reports no network adapter with an IPv4 address: this computer cannot reach a router.";
    }
}

// One of this computer's addresses, with its mask and adapter.
struct OwnAddress {
    uint32_t address;
    uint32_t mask;
    const IP_ADAPTER_INFO* adapter;
};

std::vector<OwnAddress> OwnAddresses(const IP_ADAPTER_INFO* adapters) {
    std::vector<OwnAddress> own;
    for (const IP_ADAPTER_INFO* adapter = adapters; adapter; adapter = adapter->Next) {
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry; entry = entry->Next) {
            own.push_back({ParseIpv4(FieldText(entry->IpAddress.String)).value_or(0),
                           ParseIpv4(FieldText(entry->IpMask.String)).value_or(0), adapter});
        }
    }
    return own;
}

// The entry of the address among this computer's; none for 0.0.0.0, which stands for no address.
const OwnAddress* OwnEntryOf(uint32_t address, const std::vector<OwnAddress>& own) {
    if (address == 0) return nullptr;
    for (const OwnAddress& entry : own) {
        if (entry.address == address) return &entry;
    }
    return nullptr;
}

// Dotted decimal and the like, which are ASCII.
std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool IsLoopback(uint32_t address) { return address >> 24 == 127; }

// What a program does with the port, as a sentence says it after the program.
std::wstring PortUse(const ListeningQuery& query) {
    const std::wstring port = std::to_wstring(query.port);
    return query.transport == Transport::Tcp ? L"listens on TCP port " + port : L"has UDP port " + port + L" open";
}

// Who holds the port, at the start of a sentence.
std::wstring OwnerText(const Listener& row) {
    if (row.pid == kSystemProcess) return L"Windows itself";
    if (row.pid == 0) return L"A program";
    return (row.program.empty() ? std::wstring(L"A program") : row.program) + L" (process " + std::to_wstring(row.pid) + L")";
}

// The rows on the port that the verdict speaks of: one on the client's address or on all of
// them, else one on all IPv6 addresses, else the first on another address.
struct PortHolders {
    const Listener* serving = nullptr;
    const Listener* ipv6 = nullptr;
    const Listener* elsewhere = nullptr;

    PortHolders(const ListeningQuery& query, const std::vector<Listener>& rows) {
        for (const Listener& row : rows) {
            if (row.port != query.port) continue;
            const Listener*& slot = row.ipv6Any ? ipv6
                                    : row.address == 0 || row.address == query.client ? serving
                                                                                       : elsewhere;
            if (!slot) slot = &row;
        }
    }
};

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
    default:
        return std::nullopt;
    }
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
    std::string text = AdapterName(adapter) + AdapterRole(adapter, route) + kEol;
    text += "  Address " + FieldText(adapter.IpAddressList.IpAddress.String) + ", mask " +
            FieldText(adapter.IpAddressList.IpMask.String) + kEol;
    text += "  " + DhcpText(adapter) + kEol;
    return text + (gateway.empty() ? std::string("  No gateway") : "  Gateway " + gateway) + kEol;
}

std::string RouteVerdict(Route route) {
    if (route == Route::NoGateway) return kNoGateway;
    if (route == Route::OnlyVirtual) {
        return "Warning: only a virtual or tunnel adapter holds a default gateway, so traffic to the router may "
               "leave through it.";
    }
    return {};
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
    if (rest > 0) text += "... and " + std::to_string(rest) + " more adapters" + kEol;
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
    text += kEol;
    if (facts.manageable) return text + ServiceStateText(facts.state);
    if (facts.openError == ERROR_SERVICE_DOES_NOT_EXIST)
        return text + "This Windows has no such service, so Gatekeel can neither show nor change its state.";
    if (facts.queried) text += QueriedStateText(facts.state) + kEol;
    text += "Gatekeel cannot manage it with the rights it runs with";
    text += facts.errorText.empty() ? "." : " (Windows says: " + facts.errorText + ")";
    return text + kEol +
           "To start or stop it from here: close Gatekeel, right-click gatekeel.exe and choose \"Run as "
           "administrator\".";
}

std::string ExplainNoRouter(const SsdpFacts& ssdp, const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query) {
    std::string text = std::string("Gatekeel found no router that answers over UPnP. The likely causes:") + kEol;
    bool certain = false;
    for (const std::optional<Cause>& cause : {SsdpCause(ssdp), AdapterCause(adapters, query)}) {
        if (!cause) continue;
        text += "- " + cause->text + kEol;
        certain = certain || cause->certain;
    }
    // What this computer shows for certain comes first; the router's side only where it shows nothing.
    if (!certain) {
        for (const char* cause : kRouterCauses) text += std::string("- ") + cause + kEol;
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
           (platform < 3 ? kPlatforms[platform] : "unknown") + ")." + kEol +
           "Gatekeel needs Windows Vista (6.0) or later, whose UPnP support finds the router.";
}

std::string ExplainExternalAddress(const std::string& external, uint32_t port) {
    if (external.empty()) {
        return "The router's external address was not reported, so Gatekeel cannot tell whether another NAT "
               "stands in front of the router.";
    }
    const std::optional<uint32_t> address = ParseIpv4(external);
    if (!address) return "That is no IPv4 address, so Gatekeel cannot tell whether another NAT stands in front of the router.";
    if (*address == 0) {
        return "0.0.0.0 stands for no address: either the router reports no internet address (it may not be "
               "connected), or Windows did not deliver the address the router reported; the record cannot tell which.";
    }
    const AddressRange& range = RangeOf(*address);
    const std::string shown = DottedText(*address);
    switch (range.reach) {
    case Reach::Reserved:
        return shown + " is not an internet address (it lies in the reserved range " + range.Text() +
               "), so this mapping cannot be reached from the internet.";
    case Reach::LinkLocal:
        return shown + " is a link-local address (" + range.Text() +
               "): the router has no internet address; it may not be connected.";
    case Reach::CarrierNat:
        return shown + " is a carrier-grade NAT address (" + range.Text() +
               "): your provider's NAT stands in front of the router, so this mapping alone cannot make the port "
               "reachable from the internet.";
    case Reach::Private:
        return shown + " is a private address (" + range.Text() +
               "): another router stands in front of this one (double NAT), so this mapping alone cannot make the "
               "port reachable from the internet.";
    default:
        return "From the internet, this mapping is reached at " + shown + ":" + std::to_string(port) + ".";
    }
}

std::string ExplainInternalClient(const std::string& client, const IP_ADAPTER_INFO* adapters) {
    if (client.empty()) return "The router reported no internal client, so Gatekeel cannot tell where this mapping leads.";
    const std::optional<uint32_t> address = ParseIpv4(client);
    if (!address) return "The internal client is no IPv4 address, so Gatekeel cannot tell where it is.";
    const std::string shown = DottedText(*address);
    if (!adapters) return "Without the adapter list Gatekeel cannot tell where " + shown + " is.";
    const std::vector<OwnAddress> own = OwnAddresses(adapters);
    if (const OwnAddress* entry = OwnEntryOf(*address, own))
        return shown + " is this computer (" + AdapterName(*entry->adapter) + ").";
    for (const OwnAddress& entry : own) {
        const uint32_t network = entry.address & entry.mask;
        if (entry.address == 0 || entry.mask == 0 || network != (*address & entry.mask)) continue;
        return shown + " is another device on the subnet of " + AdapterName(*entry.adapter) + " (" +
               DottedText(network) + "/" + std::to_string(PrefixLength(entry.mask)) + ").";
    }
    return shown + " is on none of this computer's subnets: the router may not reach it.";
}

std::optional<ListeningQuery> ListeningQueryOf(const std::string& protocol, int32_t port, const std::string& client,
                                               const IP_ADAPTER_INFO* adapters) {
    const std::optional<Transport> transport = TransportOf(protocol);
    const std::optional<uint32_t> address = ParseIpv4(client);
    if (!transport || port < 1 || port > 65535 || !address || !OwnEntryOf(*address, OwnAddresses(adapters)))
        return std::nullopt;
    return ListeningQuery{*transport, static_cast<uint16_t>(port), *address};
}

std::wstring ExplainListening(const ListeningQuery& query, const ListenerTable& table) {
    const std::wstring use = PortUse(query);
    if (!table.delivered) {
        return std::wstring(L"Windows did not deliver its list of ") +
               (query.transport == Transport::Tcp ? L"TCP listeners" : L"open UDP ports") +
               L", so Gatekeel cannot tell whether a program " + use + L" here.";
    }
    const PortHolders holders(query, table.rows);
    const std::wstring client = Wide(DottedText(query.client));
    const std::wstring must = L" The program must listen on " + client + L" or on all addresses.";
    if (holders.serving) return OwnerText(*holders.serving) + L" " + use + L" here.";
    if (holders.ipv6) {
        return OwnerText(*holders.ipv6) + L" " + use + L" on all IPv6 addresses (::); the router forwards over IPv4 to " +
               client + L", which reaches it only if that socket takes IPv4 as well, as a dual-stack one does.";
    }
    if (const Listener* row = holders.elsewhere) {
        const std::wstring at = L" " + use + L" on " + Wide(DottedText(row->address));
        if (IsLoopback(row->address)) return OwnerText(*row) + at + L", a loopback address, where the router cannot reach it." + must;
        return OwnerText(*row) + at + L", another address of this computer, but the router forwards to " + client + L"." + must;
    }
    return L"No program on this computer " + use + L" now; until one does, the router forwards to a closed port.";
}
