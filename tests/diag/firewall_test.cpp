// Windows Firewall's verdict over hand-made policy records, and the reader through COM fakes of the
// policy (Wine's own policy answers E_NOTIMPL: the main dialog's tips test shows what it reads there).
#include "diag/firewall.h"

#include <netfw.h>

#include <gtest/gtest.h>

#include "tests/diag/fake_firewall.h"
#include "ui/text_rules.h"

namespace {

constexpr long kAll = 0x7FFFFFFF;  // NET_FW_PROFILE2_ALL
const std::wstring kNginx = L"C:\\Program Files\\nginx\\nginx.exe";

std::wstring Expand(const std::wstring& path) {
    const std::wstring variable = L"%ProgramFiles%";
    if (!ui::SameIgnoringAsciiCase(std::wstring_view(path).substr(0, variable.size()), variable)) return path;
    return L"C:\\Program Files" + path.substr(variable.size());
}

FirewallRule Rule(const wchar_t* name, bool allow, const wchar_t* ports = L"80", const wchar_t* remote = L"*",
                  const wchar_t* application = L"", long protocol = 6, long profiles = kAll) {
    return {name, application, ports, remote, protocol, profiles, true, true, allow};
}

FirewallRule Changed(FirewallRule rule, bool enabled, bool inbound) {
    rule.enabled = enabled, rule.inbound = inbound;
    return rule;
}

const FirewallProfile kPublic{kFirewallPublic, true, false, false};
const FirewallProfile kPrivate{kFirewallPrivate, true, false, false};

FirewallPolicy Policy(std::vector<FirewallRule> rules, std::vector<FirewallProfile> current = {kPublic}) {
    return {true, L"", std::move(current), std::move(rules), {}};
}

const FirewallQuery kTcp80{Transport::Tcp, 80, kNginx};
const std::wstring kAllowed = L"Windows Firewall lets TCP port 80 in (rule \"web\").";
const std::wstring kNoRule = L"No Windows Firewall rule lets TCP port 80 in on this Public network, so Windows drops what the "
                             L"router forwards; allow the program through the firewall in Windows Security (Firewall & "
                             L"network protection).";
const std::wstring kLocalOnly = L"Windows Firewall lets TCP port 80 in only from your own network (rule \"web\"), so it "
                                L"drops what the router forwards from the internet.";

// The query is TCP port 80, nginx listening, unless the row says otherwise.
struct VerdictRow {
    const char* name;
    FirewallPolicy policy;
    std::wstring says;
    Transport transport = Transport::Tcp;
    uint16_t port = 80;
    bool listenerSeen = true;
};

TEST(FirewallVerdict, DecidesAsTheFirewallDoes) {
    const VerdictRow rows[] = {
        {"off", Policy({}, {{kFirewallPrivate, false, false, false}}),
         L"Windows Firewall is off on this Private network, so it lets in what the router forwards."},
        {"blocks all", Policy({Rule(L"web", true)}, {{kFirewallPublic, true, true, true}}),
         L"Windows Firewall blocks all incoming connections on this Public network, so it drops what the router forwards."},
        {"a block rule for the program beats an allow rule",
         Policy({Rule(L"web", true), Rule(L"nginx", false, L"80", L"*", L"%ProgramFiles%\\nginx\\nginx.exe")}),
         L"Windows Firewall blocks TCP port 80 for nginx.exe (rule \"nginx\"), so it drops what the router forwards."},
        {"allowed", Policy({Rule(L"web", true)}), kAllowed},
        {"the program's path in another case", Policy({Rule(L"web", true, L"80", L"*", L"%PROGRAMFILES%\\NGINX\\Nginx.EXE")}),
         L"Windows Firewall lets TCP port 80 in for Nginx.EXE (rule \"web\")."},
        {"another program's rule", Policy({Rule(L"web", true, L"80", L"*", L"C:\\apache\\httpd.exe")}), kNoRule},
        {"the listener unseen", Policy({Rule(L"web", true, L"80", L"*", L"%ProgramFiles%\\nginx\\nginx.exe")}),
         L"Windows Firewall lets TCP port 80 in for nginx.exe only (rule \"web\"); Gatekeel cannot see which program listens.",
         Transport::Tcp, 80, false},
        {"no rule", Policy({}), kNoRule},
        {"the default lets in", Policy({}, {{kFirewallPrivate, true, false, true}}),
         L"Windows Firewall lets in what no rule blocks on this Private network, so it lets in what the router forwards."},
        {"disabled, outbound and another profile's rules count for nothing",
         Policy({Changed(Rule(L"web", true), false, true), Changed(Rule(L"web", true), true, false),
                 Rule(L"web", true, L"80", L"*", L"", 6, kFirewallPrivate)}), kNoRule},
        {"any protocol, over UDP", Policy({Rule(L"web", true, L"*", L"", L"", 256)}),
         L"Windows Firewall lets UDP port 3074 in (rule \"web\").", Transport::Udp, 3074},
        {"a UDP rule for TCP", Policy({Rule(L"web", true, L"80", L"*", L"", 17)}), kNoRule},
        {"a list of ports", Policy({Rule(L"web", true, L"443, 80")}), kAllowed},
        {"a range", Policy({Rule(L"web", true, L"79-81")}), kAllowed},
        {"a keyword holds no port", Policy({Rule(L"web", true, L"RPC")}), kNoRule},
        {"the local subnet only", Policy({Rule(L"web", true, L"80", L"LocalSubnet")}), kLocalOnly},
        {"private ranges only", Policy({Rule(L"web", true, L"80", L"10.0.0.0/8,192.168.0.0-192.168.255.255, 172.16.0.0/255.240.0.0")}),
         kLocalOnly},
        {"the local subnet and anyone", Policy({Rule(L"web", true, L"80", L"LocalSubnet,*")}), kAllowed},
        {"a public range", Policy({Rule(L"web", true, L"80", L"203.0.113.0/24")}), kAllowed},
        {"two current profiles that differ",
         Policy({Rule(L"web", true, L"80", L"*", L"", 6, kFirewallPrivate)}, {kPrivate, kPublic}),
         L"On the Private network, " + kAllowed + L"\r\n" + kNoRule},
        {"two current profiles alike", Policy({Rule(L"web", true)}, {kPrivate, kPublic}), kAllowed},
        {"another product", {true, L"Contoso Security", {}, {}, {}},
         L"Contoso Security manages this computer's firewall; Gatekeel cannot see its rules."},
        {"not readable", {}, L"Gatekeel cannot read Windows Firewall's settings here."},
    };
    for (const VerdictRow& row : rows) {
        const FirewallQuery query{row.transport, row.port, row.listenerSeen ? std::optional(kNginx) : std::nullopt};
        EXPECT_EQ(ExplainFirewall(row.policy, query, &Expand), row.says) << row.name;
    }
}

const FakeFirewallRule kRules[] = {{L"web", L"%ProgramFiles%\\nginx\\nginx.exe", L"80", L"LocalSubnet", 6, 2, 1, 1, 1},
                                   {L"ssh", nullptr, L"22", L"*", 17, 4, 0, 0, 0}};
const FakeFirewall* script = nullptr;

HRESULT CreateFake(REFCLSID clsid, REFIID, void** object) {
    *object = clsid == __uuidof(NetFwPolicy2) ? FakeFirewallPolicy(script) : nullptr;
    return *object ? S_OK : CLASS_E_CLASSNOTAVAILABLE;
}

// A policy is read whole, or not at all: a failure anywhere gives no verdict but that it cannot be read.
TEST(FirewallReader, ReadsThePolicyWholeOrNotAtAll) {
    const FakeFirewall whole{kFirewallPrivate | kFirewallPublic, S_OK, kFirewallPublic, kRules, 2, -1, -1};
    FakeFirewall enumerationFails = whole, readFails = whole, profileFails = whole;
    enumerationFails.failEnumerationAt = 1, readFails.failReadAt = 1, profileFails.profileResult = E_ACCESSDENIED;
    const FirewallCreator previous = SetFirewallCreator(&CreateFake);
    script = &whole;
    const FirewallPolicy read = ReadFirewallPolicy();
    EXPECT_TRUE(read.readable);
    EXPECT_EQ(read.discoveryOff, std::vector<long>{kFirewallPublic});
    ASSERT_EQ(read.current.size(), 2u);
    EXPECT_EQ(read.current[1].type, kFirewallPublic);
    EXPECT_TRUE(read.current[1].enabled && !read.current[1].blockAllInbound && !read.current[1].allowsInbound);
    ASSERT_EQ(read.rules.size(), 2u);
    const FirewallRule& web = read.rules[0];
    EXPECT_EQ(web.name + L"|" + web.application + L"|" + web.localPorts + L"|" + web.remoteAddresses,
              L"web|%ProgramFiles%\\nginx\\nginx.exe|80|LocalSubnet");
    EXPECT_TRUE(web.protocol == 6 && web.profiles == 2 && web.enabled && web.inbound && web.allow);
    EXPECT_TRUE(read.rules[1].application.empty() && !read.rules[1].enabled && !read.rules[1].inbound && !read.rules[1].allow);
    for (const FakeFirewall* failing : {&enumerationFails, &readFails, &profileFails}) {
        script = failing;
        const FirewallPolicy partial = ReadFirewallPolicy();
        EXPECT_FALSE(partial.readable);
        EXPECT_TRUE(partial.current.empty() && partial.rules.empty());
        EXPECT_EQ(ExplainFirewall(partial, kTcp80, &Expand), L"Gatekeel cannot read Windows Firewall's settings here.");
    }
    SetFirewallCreator(previous);
}

}  // namespace
