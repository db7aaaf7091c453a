// The tree line and the tip of a mapping.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/mapping_list.h"

namespace {

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
    std::string line;
};

TEST(MappingLine, FormatsEachFieldInPlace) {
    const LineCase cases[] = {
        {"udp game", Mapping(L"UDP", L"0.0.0.0", 3074, L"192.168.0.5", 3074, L"game"),
         "  UDP 0.0.0.0:3074 => 192.168.0.5:3074 :: game "},
        {"empty description keeps the last blank", Mapping(L"TCP", L"203.0.113.7", 80, L"192.0.2.10", 8080, L""),
         "  TCP 203.0.113.7:80 => 192.0.2.10:8080 ::  "},
        {"long protocol is not cut", PortMapping{},
         "<unknown protocol> 0.0.0.0:0 => <no internal client>:0 :: <no description> "},
        {"five characters fill the field", Mapping(L"ABCDE", L"a", 1, L"b", 2, L"c"), "ABCDE a:1 => b:2 :: c "},
        {"ports print unsigned", Mapping(L"TCP", L"a", -1, L"b", 65535, L"c"), "  TCP a:4294967295 => b:65535 :: c "},
        {"format characters are text", Mapping(L"%s%n", L"%d", 1, L"%x", 2, L"%s%s%s%n"),
         " %s%n %d:1 => %x:2 :: %s%s%s%n "},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MappingLine(c.mapping), c.line);
    }
}

TEST(MappingLine, ListsA64KiBDescriptionInFull) {
    const std::wstring description(64 * 1024, L'd');
    const std::string line = MappingLine(Mapping(L"TCP", L"a", 1, L"b", 2, description));
    EXPECT_EQ(line, "  TCP a:1 => b:2 :: " + std::string(64 * 1024, 'd') + " ");
}

struct TipCase {
    const char* name;
    PortMapping mapping;
    std::vector<std::string> says;
    std::vector<std::string> never;
};

TEST(MappingTip, ShowsTheWholeRecordThenItsVerdicts) {
    PortMapping disabled = Mapping(L"UDP", L"", 3074, L"192.0.2.5", 3075, L"game");
    disabled.enabled = 0;
    PortMapping enabled = Mapping(L"TCP", L"100.72.1.5", 8080, L"192.168.1.20", 80, L"web");
    enabled.enabled = -1;
    const TipCase cases[] = {
        {"enabled", enabled,
         {"Description: web\r\nProtocol: TCP\r\nExternal port: 8080\r\nInternal client: 192.168.1.20, port 80\r\n"
          "Enabled: yes\r\nRouter's external address: 100.72.1.5\r\n\r\n",
          "carrier-grade NAT", "Without the adapter list"},
         {"forwards nothing"}},
        {"disabled, no address", disabled,
         {"Enabled: no", "address: not reported", "cannot tell whether another NAT", "forwards nothing."}, {}},
        {"a long description is cut", Mapping(L"TCP", L"", 1, L"", 2, std::wstring(70000, L'd') + L"tail"),
         {"ddd...\r\nProtocol: TCP"}, {"tail"}},
    };
    for (const TipCase& c : cases) {
        const std::string tip = MappingTip(c.mapping, nullptr);
        for (const std::string& text : c.says) EXPECT_NE(tip.find(text), std::string::npos) << c.name << ":\n" << tip;
        for (const std::string& text : c.never) EXPECT_EQ(tip.find(text), std::string::npos) << c.name << ":\n" << tip;
    }
}

}  // namespace
