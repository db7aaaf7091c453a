// The tree line and the tip of a mapping.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mapping_list.h"
#include "diag/explain.h"
#include "tests/diag/fake_ip_helper.h"
#include "ui/text.h"

namespace {

// "Game server" in Chinese: outside any Western code page.
const wchar_t kGameServer[] = L"\x6E38\x620F\x670D\x52A1\x5668";

PortMapping Mapping(std::wstring protocol, std::wstring external, int32_t externalPort, std::wstring client,
                    int32_t internalPort, std::wstring description) {
    PortMapping mapping;
    mapping.protocol = std::move(protocol);
    mapping.externalIPAddress = std::move(external);
    mapping.externalPort = externalPort;
    mapping.internalClient = std::move(client);
    mapping.internalPort = internalPort;
    mapping.description = std::move(description);
    return mapping;
}

struct LineCase {
    const char* name;
    PortMapping mapping;
    std::wstring line;
};

TEST(MappingLine, FormatsEachFieldInPlace) {
    const LineCase cases[] = {
        {"udp game", Mapping(L"UDP", L"0.0.0.0", 3074, L"192.168.0.5", 3074, L"game"),
         L"  UDP 0.0.0.0:3074 => 192.168.0.5:3074 :: game "},
        {"empty description keeps the last blank", Mapping(L"TCP", L"203.0.113.7", 80, L"192.0.2.10", 8080, L""),
         L"  TCP 203.0.113.7:80 => 192.0.2.10:8080 ::  "},
        {"long protocol is not cut", PortMapping{},
         L"<unknown protocol> 0.0.0.0:0 => <no internal client>:0 :: <no description> "},
        {"five characters fill the field", Mapping(L"ABCDE", L"a", 1, L"b", 2, L"c"), L"ABCDE a:1 => b:2 :: c "},
        {"ports print unsigned", Mapping(L"TCP", L"a", -1, L"b", 65535, L"c"), L"  TCP a:4294967295 => b:65535 :: c "},
        {"format characters are text", Mapping(L"%s%n", L"%d", 1, L"%x", 2, L"%s%s%s%n"),
         L" %s%n %d:1 => %x:2 :: %s%s%s%n "},
        {"another script stays whole", Mapping(L"UDP", L"", 1, L"192.0.2.5", 2, kGameServer),
         L"  UDP :1 => 192.0.2.5:2 :: \x6E38\x620F\x670D\x52A1\x5668 "},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MappingLine(c.mapping), c.line);
    }
}

TEST(MappingLine, ListsA64KiBDescriptionInFull) {
    const std::wstring description(64 * 1024, L'd');
    const std::wstring line = MappingLine(Mapping(L"TCP", L"a", 1, L"b", 2, description));
    EXPECT_EQ(line, L"  TCP a:1 => b:2 :: " + std::wstring(64 * 1024, L'd') + L" ");
}

struct TipCase {
    const char* name;
    PortMapping mapping;
    std::vector<std::wstring> says;
    std::vector<std::wstring> never;
};

TEST(MappingTip, ShowsTheWholeRecordThenItsVerdicts) {
    PortMapping disabled = Mapping(L"UDP", L"", 3074, L"192.0.2.5", 3075, L"game");
    disabled.enabled = 0;
    PortMapping enabled = Mapping(L"TCP", L"100.72.1.5", 8080, L"192.168.1.20", 80, L"web");
    enabled.enabled = -1;
    PortMapping longTexts = Mapping(std::wstring(70000, L'p'), std::wstring(70000, L'e'), 1, std::wstring(70000, L'c'),
                                    2, std::wstring(70000, L'd') + L"tail");
    longTexts.enabled = 0;
    const TipCase cases[] = {
        {"enabled", enabled,
         {L"Description: web\r\nProtocol: TCP\r\nExternal port: 8080\r\nInternal client: 192.168.1.20, port 80\r\n"
          L"Enabled: yes\r\nRouter's external address: 100.72.1.5\r\n\r\n",
          L"carrier-grade NAT", L"Without the adapter list"},
         {L"forwards nothing"}},
        {"disabled, no address", disabled,
         {L"Enabled: no", L"address: not reported", L"cannot tell whether another NAT", L"forwards nothing."}, {}},
        {"a long description is cut", Mapping(L"TCP", L"", 1, L"", 2, std::wstring(70000, L'd') + L"tail"),
         {L"ddd...\r\nProtocol: TCP"}, {L"tail"}},
        {"another script stays whole", Mapping(L"UDP", L"", 1, L"192.0.2.5", 2, kGameServer),
         {L"Description: \x6E38\x620F\x670D\x52A1\x5668\r\n"}, {L"?"}},
        {"every text long: the texts are cut, the verdicts stay", longTexts,
         {L"Description: ddd", L"...\r\nProtocol: ppp", L"...\r\nExternal port: 1\r\nInternal client: ccc",
          L"..., port 2\r\nEnabled: no\r\nRouter's external address: eee", L"...\r\n\r\n", L"forwards nothing."},
         {L"dddd\r\n", L"tail"}},
    };
    FirewallCache firewall;  // read by none of them: no mapping leads to this computer
    for (const TipCase& c : cases) {
        const std::wstring tip = MappingTip(c.mapping, nullptr, firewall);
        const std::string shown = ui::WideToAnsi(tip);
        EXPECT_LE(tip.size(), kTipChars) << c.name;
        for (const std::wstring& text : c.says) EXPECT_NE(tip.find(text), std::wstring::npos) << c.name << ":\n" << shown;
        for (const std::wstring& text : c.never) EXPECT_EQ(tip.find(text), std::wstring::npos) << c.name << ":\n" << shown;
    }
}

// A socket of this process on a port the system picks, listening where it is TCP.
struct BoundSocket {
    SOCKET handle;
    sockaddr_in at{};
    BoundSocket(int type, u_long address) : handle(socket(AF_INET, type, 0)) {
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(address);
        int size = sizeof at;
        EXPECT_TRUE(bind(handle, reinterpret_cast<sockaddr*>(&at), size) == 0 &&
                    (type == SOCK_DGRAM || listen(handle, 1) == 0) &&
                    getsockname(handle, reinterpret_cast<sockaddr*>(&at), &size) == 0)
            << WSAGetLastError();
    }
    ~BoundSocket() { closesocket(handle); }
    std::wstring Port() const { return std::to_wstring(ntohs(at.sin_port)); }
};

// The tables are the platform's (Wine names no owner of its programs' sockets), found through every
// export, through the older ones alone (no owners) or none; Wine has no firewall to read.
TEST(MappingTip, SaysWhatListensOnTheMappedPortOfThisComputer) {
    WSADATA winsock;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
    const BoundSocket loopback(SOCK_STREAM, INADDR_LOOPBACK), all(SOCK_STREAM, INADDR_ANY), udp(SOCK_DGRAM, INADDR_ANY);
    const std::wstring closed = BoundSocket(SOCK_STREAM, INADDR_ANY).Port();
    const std::vector<std::wstring> mappings[] = {
        {L"TCP", all.Port(), L" listens on TCP port " + all.Port() + L" here."},
        {L"tcp", loopback.Port(), L"TCP port " + loopback.Port() + L" on 127.0.0.1, a loopback address, where the router cannot reach it."},
        {L"UDP", udp.Port(), L" has UDP port " + udp.Port() + L" open here."},
        {L"TCP", closed, L"No program on this computer listens on TCP port " + closed + L" now;"},
    };
    const std::vector<std::string> older = {"GetAdaptersInfo", "GetTcpTable", "GetUdpTable"}, none = {"GetAdaptersInfo"};
    for (const auto& exports : {std::vector<std::string>{}, older, none}) {
        fake_ip_helper::ScopedFakeIpHelper fake;
        fake.SetAdapters({{true, {"192.0.2.20"}}});
        if (!exports.empty()) fake.SetExports(exports);
        HostNetworkInfo info;
        info.LoadAdapters();
        for (const std::vector<std::wstring>& m : mappings) {
            SCOPED_TRACE(ui::WideToAnsi(m[0] + L" " + m[1]) + " with " + std::to_string(exports.size()) + " exports");
            FirewallCache firewall;
            const std::wstring tip =
                MappingTip(Mapping(m[0], L"", 1, L"192.0.2.20", std::stoi(m[1]), L"web"), info.Adapters(), firewall);
            const std::wstring says = exports == none ? L"so Gatekeel cannot tell whether a program " : m[2];
            EXPECT_NE(tip.find(says), std::wstring::npos) << ui::WideToAnsi(tip);
            EXPECT_NE(tip.find(L"\r\nGatekeel cannot read Windows Firewall's settings here."), std::wstring::npos);
        }
    }
    WSACleanup();
}

}  // namespace
