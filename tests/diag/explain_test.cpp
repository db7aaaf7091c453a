// The tips' texts over hand-made adapter, service and version records and address texts.
#include "diag/explain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "ui/text.h"

namespace {

struct Adapter {
    const char* description;
    UINT type;
    const char* address;  // fills its field whole, without a terminator, when it is 16 long or more
    const char* gateway;  // also its DHCP server, where DHCP is on
    bool dhcp;
};

void Fill(IP_ADDRESS_STRING& field, const char* text) {
    std::memcpy(field.String, text, std::min(std::strlen(text), sizeof field.String));
}

// A linked adapter list; its records point at each other inside the vector.
std::vector<IP_ADAPTER_INFO> AdapterList(const std::vector<Adapter>& adapters) {
    std::vector<IP_ADAPTER_INFO> list(adapters.size());
    for (size_t i = 0; i < adapters.size(); ++i) {
        IP_ADAPTER_INFO& record = list[i];
        std::strncpy(record.Description, adapters[i].description, sizeof record.Description - 1);
        record.Type = adapters[i].type;
        Fill(record.IpAddressList.IpAddress, adapters[i].address);
        Fill(record.IpAddressList.IpMask, "255.255.255.0");
        Fill(record.GatewayList.IpAddress, adapters[i].gateway);
        record.DhcpEnabled = adapters[i].dhcp;
        if (adapters[i].dhcp) Fill(record.DhcpServer.IpAddress, adapters[i].gateway);
        if (i > 0) list[i - 1].Next = &record;
    }
    return list;
}

const IP_ADAPTER_INFO* Head(const std::vector<IP_ADAPTER_INFO>& list) { return list.empty() ? nullptr : list.data(); }

std::string AdapterTip(const std::vector<Adapter>& adapters, AdapterQueryOutcome query = {AdapterQuery::Listed, 0}) {
    return ExplainAdapters(Head(AdapterList(adapters)), query);
}

const Adapter kLan{"Intel(R) Ethernet", MIB_IF_TYPE_ETHERNET, "192.168.1.20", "192.168.1.1", true};
const Adapter kLanNoGateway{"Intel(R) Ethernet", MIB_IF_TYPE_ETHERNET, "192.168.1.20", "", false};
const Adapter kHyperV{"Hyper-V Virtual Ethernet Adapter", MIB_IF_TYPE_ETHERNET, "192.168.1.20", "192.168.1.1", true};

std::string ClientTip(const char* client) {
    const std::vector<IP_ADAPTER_INFO> lan = AdapterList({kLan});
    return ExplainInternalClient(client, Head(lan));
}

const SsdpFacts kRunning{true, SERVICE_RUNNING, 0, ""};

std::string NoRouterTip(const SsdpFacts& ssdp, const std::vector<Adapter>& adapters,
                        AdapterQueryOutcome query = {AdapterQuery::Listed, 0}, const FirewallPolicy& firewall = {}) {
    return ExplainNoRouter(ssdp, Head(AdapterList(adapters)), query, firewall);
}

std::string ExternalTip(const char* external) { return ExplainExternalAddress(external, 8080); }

constexpr uint32_t kAll = 0, kLoopback = 0x7F000001, kClient = 0xC0A80114, kOther = 0xC0A8011E;  // 192.168.1.20 and .30

Listener At(uint32_t address, DWORD pid = 1234, const wchar_t* program = L"nginx.exe") { return {address, false, 80, pid, program}; }
Listener Serving(std::vector<std::wstring> services) {
    Listener row = At(kAll, 1234, L"svchost.exe");
    row.services = std::move(services);
    return row;
}

// The listening verdict of a mapping over the LAN adapter, or "(none)" where it gets none.
std::string ListenTip(const char* protocol, std::vector<Listener> rows, bool delivered = true, int32_t port = 80,
                      const char* client = "192.168.1.20") {
    const std::vector<IP_ADAPTER_INFO> lan = AdapterList({kLan});
    const std::optional<ListeningQuery> query = ListeningQueryOf(protocol, port, client, Head(lan));
    return query ? ui::WideToAnsi(ExplainListening(*query, {delivered, std::move(rows)})) : "(none)";
}

SsdpFacts Queried(DWORD state) { return {false, state, ERROR_ACCESS_DENIED, "Access is denied.", true}; }

constexpr const char* kMust = "The program must listen on 192.168.1.20 or on all addresses.";
constexpr const char* kStoppedQueried = "The SSDP Discovery service is stopped, and without it Windows finds no router; "
                                        "an administrator can start it: run Gatekeel as administrator and press the SSDP button.";

struct TipCase {
    const char* name;
    std::string tip;
    std::vector<const char*> says;
    std::vector<const char*> never = {};
};

constexpr const char* kPublic = "reached at";
constexpr const char* kReserved = "not an internet address";

// The row of an external address, named by it.
TipCase Row(const char* external, const char* says) { return {external, ExternalTip(external), {says}}; }

TEST(Explain, EachTipSaysWhatItsRecordsMean) {
    const std::string longName(300, 'x');
    const std::vector<IP_ADAPTER_INFO> unaddressed = AdapterList({{"Realtek PCIe GbE", MIB_IF_TYPE_ETHERNET, "0.0.0.0", "", false}});
    const TipCase cases[] = {
        {"carrier-grade NAT", ExternalTip("100.72.1.5"), {"carrier-grade NAT"}},
        {"this computer", ClientTip("192.168.1.20"), {"192.168.1.20 is this computer (Intel(R) Ethernet)."}},
        {"double NAT", ExternalTip("172.20.0.2"), {"double NAT"}},
        {"another device", ClientTip("192.168.1.30"),
         {"192.168.1.30 is another device on the subnet of Intel(R) Ethernet (192.168.1.0/24)."}},
        {"public", ExternalTip("203.0.113.7"), {"reached at 203.0.113.7:8080."}},
        {"on no subnet", ClientTip("10.9.9.9"), {"10.9.9.9 is on none of this computer's subnets"}},
        {"past the carrier-grade range", ExternalTip("100.128.0.1"), {"reached at"}, {"NAT"}},
        // Each range's first and last address and the first past it, then the reserved ranges.
        Row("10.0.0.0", "10.0.0.0 is a private address (10.0.0.0/8)"), Row("10.255.255.255", "double NAT"), Row("11.0.0.0", kPublic),
        Row("172.16.0.0", "double NAT"), Row("172.31.255.255", "double NAT"), Row("172.32.0.0", kPublic),
        Row("192.168.0.0", "double NAT"), Row("192.168.255.255", "double NAT"), Row("192.169.0.0", kPublic),
        Row("100.64.0.0", "NAT address (100.64.0.0/10)"), Row("100.127.255.255", "carrier-grade NAT"), Row("100.128.0.0", kPublic),
        Row("169.254.0.0", "link-local address (169.254.0.0/16)"), Row("169.254.255.255", "no internet"), Row("169.255.0.0", kPublic),
        Row("0.255.255.255", "0.255.255.255 is not an internet address (it lies in the reserved range 0.0.0.0/8)"),
        Row("127.0.0.1", "cannot be reached from the internet"), Row("192.0.0.255", kReserved), Row("192.0.1.0", kPublic),
        Row("198.19.255.255", kReserved), Row("198.20.0.0", kPublic), Row("223.255.255.255", kPublic), Row("224.0.0.0", kReserved),
        Row("255.255.255.255", kReserved),
        {"not reported", ExternalTip(""), {"cannot tell whether another NAT"}},
        {"0.0.0.0", ExternalTip("0.0.0.0"), {"router reports no internet address", "Windows did not deliver"}},
        {"no client", ClientTip(""), {"The router reported no internal client"}},
        {"a client text", ClientTip("<no internal client>"), {"is no IPv4 address"}, {"<no internal client>"}},
        {"malformed external", ExternalTip("1.2.3.4.5"), {"That is no IPv4 address"}, {"1.2.3.4.5"}},
        {"malformed client", ClientTip("192.168.1.256"), {"is no IPv4 address"}, {"192.168.1.256"}},
        {"echoes the address read", ClientTip("010.0.0.1"), {"10.0.0.1 is on none"}, {"010."}},
        {"the gateway's adapter faces the router", AdapterTip({kLan}),
         {"Intel(R) Ethernet: faces the router", "Address 192.168.1.20, mask 255.255.255.0",
          "DHCP on, server 192.168.1.1", "Gateway 192.168.1.1"},
         {"Warning", "virtual"}},
        {"a VPN holds the only gateway",
         AdapterTip({kLanNoGateway, {"TAP-Windows Adapter V9", MIB_IF_TYPE_ETHERNET, "10.8.0.6", "10.8.0.5", true}}),
         {"DHCP off", "No gateway", "TAP-Windows Adapter V9: a virtual or tunnel adapter, with a default gateway",
          "Warning: only a virtual or tunnel adapter holds a default gateway"},
         {"faces the router"}},
        {"more adapters than a tip holds: the verdict stays", AdapterTip(std::vector<Adapter>(12, kLanNoGateway)),
         {" more adapters\r\nNo adapter holds a default gateway"}},
        {"a tunnel holds the only gateway", AdapterTip({kLanNoGateway, {"Teredo", IF_TYPE_TUNNEL, "10.1.1.1", "10.1.1.2", false}}),
         {"Warning"}},
        {"a bridge beside no address", AdapterTip({{"Realtek PCIe GbE", MIB_IF_TYPE_ETHERNET, "0.0.0.0", "", false}, kHyperV}),
         {"Hyper-V Virtual Ethernet Adapter: faces the router"}, {"Warning", "No adapter holds"}},
        {"a bridge alone", AdapterTip({{"VMware", MIB_IF_TYPE_ETHERNET, "10.0.0.5", "10.0.0.1", false}}), {"VMware: faces"}, {"Warning"}},
        {"no word of a virtual name", AdapterTip({{"Realtek Adapter VPNX", MIB_IF_TYPE_ETHERNET, longName.c_str(), "0.0.0.0", true}}),
         {"Address xxxxxxxxxxxxxxxx, mask 255.255.255.0", "No adapter holds a default gateway"}, {"virtual"}},
        {"no adapters", AdapterTip({}, {AdapterQuery::NoAdapters, ERROR_NO_DATA}), {"reports no network adapter"}},
        {"no IP Helper", AdapterTip({}, {AdapterQuery::NoLibrary, 0}), {"could not be loaded"}},
        {"no GetAdaptersInfo", AdapterTip({}, {AdapterQuery::NoEntryPoint, 0}), {"has no GetAdaptersInfo"}},
        {"query failed", AdapterTip({}, {AdapterQuery::Failed, 31}), {"(error 31)"}},
        {"service running", ExplainSsdp({true, SERVICE_RUNNING, 0, ""}), {"(SSDPSRV)", "It is running. The button stops it"}},
        {"service not for these rights", ExplainSsdp({false, SERVICE_RUNNING, ERROR_ACCESS_DENIED, "Access is denied."}),
         {"(Windows says: Access is denied.)", "choose \"Run as administrator\"."}, {"running"}},
        {"no service", ExplainSsdp({false, 0, ERROR_SERVICE_DOES_NOT_EXIST, "x"}), {"no such service"}, {"administrator"}},
        {"Windows 11", ExplainOsVersion({sizeof(OSVERSIONINFOEXA), 10, 0, 22631, VER_PLATFORM_WIN32_NT, {}, 0, 0, 0, 0, 0}, true),
         {"Windows reports version 10.0.22631, platform 2 (Windows NT)."}},
        {"version unknown", ExplainOsVersion({}, false), {"did not report its version"}},
        {"no router: the service stopped, no gateway", NoRouterTip({true, SERVICE_STOPPED, 0, ""}, {kLanNoGateway}),
         {"causes:\r\n- The SSDP Discovery service is not running", "The button starts it.\r\n- No adapter holds a default gateway",
          "\r\nChange the one that applies, then press \"Refresh Settings List\"."}, {"IGD"}},
        {"no router: the service out of sight", NoRouterTip({false, 0, ERROR_ACCESS_DENIED, "Access is denied."}, {kLan}),
         {"cannot see the state", "(Windows says: Access is denied.)", "UPnP is switched off", "IGD version 1",
          "UDP port 1900 or TCP port 2869", "\"Network discovery\""}},
        {"no router: only a VPN", NoRouterTip(kRunning, {kLanNoGateway, {"TAP", MIB_IF_TYPE_ETHERNET, "10.8.0.6", "10.8.0.5", true}}),
         {"Only a virtual or tunnel adapter"}, {"SSDP", "IGD"}},
        {"no router: a bridge", NoRouterTip(kRunning, {kHyperV}), {"IGD version 1"}, {"SSDP", "virtual"}},
        {"no router: no adapters", NoRouterTip(kRunning, {}, {AdapterQuery::NoAdapters, 0}), {"no network adapter"}, {"IGD"}},
        {"no router: the adapters out of sight", NoRouterTip(kRunning, {}, {AdapterQuery::Failed, 31}), {"(error 31)", "IGD"}},
        {"TCP on all addresses", ListenTip("TCP", {At(kAll)}), {"nginx.exe (process 1234) listens on TCP port 80 here."}},
        {"tcp on the client's address", ListenTip("tcp", {At(kClient)}), {"nginx.exe (process 1234) listens on TCP port 80 here."}},
        {"TCP on loopback only", ListenTip("TCP", {At(kLoopback)}),
         {"listens on TCP port 80 on 127.0.0.1, a loopback address, where the router cannot reach it.", kMust}},
        {"TCP on another address", ListenTip("TCP", {At(kOther)}),
         {"on 192.168.1.30, another address of this computer, but the router forwards to 192.168.1.20.", kMust}},
        {"TCP: none on the port", ListenTip("TCP", {{kAll, false, 81, 1, L"x.exe"}}),
         {"No program on this computer listens on TCP port 80 now; until one does, the router forwards to a closed port."}},
        {"TCP table missing", ListenTip("TCP", {At(kAll)}, false),
         {"Windows did not deliver its list of TCP listeners, so Gatekeel cannot tell whether a program listens on TCP port 80 here."}},
        {"UDP on all addresses", ListenTip("UDP", {At(kAll)}), {"nginx.exe (process 1234) has UDP port 80 open here."}},
        {"Udp on the client's address", ListenTip("Udp", {At(kClient)}), {"has UDP port 80 open here."}},
        {"UDP on loopback only", ListenTip("UDP", {At(kLoopback)}), {"has UDP port 80 open on 127.0.0.1, a loopback address", kMust}},
        {"UDP on another address", ListenTip("UDP", {At(kOther)}), {"has UDP port 80 open on 192.168.1.30, another address"}},
        {"UDP: none", ListenTip("UDP", {}), {"No program on this computer has UDP port 80 open now"}},
        {"UDP table missing", ListenTip("UDP", {}, false), {"list of open UDP ports, so Gatekeel cannot tell"}},
        {"no name", ListenTip("TCP", {At(kAll, 1234, L"")}), {"A program (process 1234) listens on TCP port 80 here."}},
        {"the System process", ListenTip("TCP", {At(kAll, 4, L"System")}), {"Windows itself listens on TCP port 80 here."},
         {"System", "process"}},
        {"owner unknown", ListenTip("TCP", {At(kAll, 0, L"")}), {"A program listens on TCP port 80 here."}, {"process"}},
        {"a service's process", ListenTip("TCP", {Serving({L"W3SVC"})}),
         {"The service W3SVC in svchost.exe (process 1234) listens on TCP port 80 here."}},
        {"one of a process's services", ListenTip("UDP", {Serving({L"A", L"B", L"C", L"D"})}),
         {"One of the services A, B, C and 1 more in svchost.exe (process 1234) has UDP port 80 open here."}},
        {"the client's listener before loopback's", ListenTip("TCP", {At(kLoopback, 7, L"a.exe"), At(kAll, 8, L"b.exe")}),
         {"b.exe (process 8) listens"}, {"a.exe"}},
        {"IPv6 alone", ListenTip("TCP", {{0, true, 80, 1234, L"java.exe"}}),
         {"java.exe (process 1234) listens on TCP port 80 on all IPv6 addresses (::); the router forwards over IPv4 to 192.168.1.20"}},
        {"another protocol", ListenTip("SCTP", {At(kAll)}), {"(none)"}},
        {"another device", ListenTip("TCP", {At(kAll)}, true, 80, "192.168.1.30"), {"(none)"}},
        {"past the last port", ListenTip("TCP", {}, true, 65536), {"(none)"}},
        {"0.0.0.0 is no address of this computer", ExplainInternalClient("0.0.0.0", Head(unaddressed)),
         {"on none of this computer's subnets"}, {"is this computer"}},
        {"service stopped, its state read alone", ExplainSsdp(Queried(SERVICE_STOPPED)),
         {kStoppedQueried, "\r\nGatekeel cannot manage it", "(Windows says: Access is denied.)"}, {"The button"}},
        {"service running, its state read alone", ExplainSsdp(Queried(SERVICE_RUNNING)), {"The SSDP Discovery service is running.\r\n"}},
        {"service paused, its state read alone", ExplainSsdp(Queried(SERVICE_PAUSED)),
         {"The SSDP Discovery service is paused, and Windows finds no router until it runs."}},
        {"no router: the service stopped, its state read alone", NoRouterTip(Queried(SERVICE_STOPPED), {kLan}),
         {"causes:\r\n- The SSDP Discovery service is stopped, and without it", kStoppedQueried}, {"cannot see", "IGD"}},
        {"no router: the service running, its state read alone", NoRouterTip(Queried(SERVICE_RUNNING), {kLan}),
         {"IGD version 1"}, {"SSDP"}},
        {"no router: network discovery off", NoRouterTip(kRunning, {kLan}, {AdapterQuery::Listed, 0}, {false, L"", {}, {}, {4}}),
         {"causes:\r\n- Network discovery is off on this Public network, so Windows may not hear the router's answers; make "
          "the network private (Settings, Network & internet) or turn on network discovery.\r\nChange"}, {"IGD"}},
    };
    for (const TipCase& c : cases) {
        for (const char* text : c.says) EXPECT_NE(c.tip.find(text), std::string::npos) << c.name << " lacks " << text << ":\n" << c.tip;
        for (const char* text : c.never) EXPECT_EQ(c.tip.find(text), std::string::npos) << c.name << " has " << text << ":\n" << c.tip;
        EXPECT_EQ(c.tip.find("the platform"), std::string::npos) << c.name << " speaks of the platform:\n" << c.tip;
        EXPECT_LE(c.tip.size(), kTipChars) << c.name;
    }
}

}  // namespace
