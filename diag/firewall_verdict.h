#pragma once
// What Windows Firewall does with what the router forwards to a port of this computer, and with the
// router's answers to a search, decided as the firewall decides it over plain records of its policy
// (diag/firewall reads them): a rule counts when it is enabled, inbound, for a current profile, the
// protocol, the port and the program; a block rule beats an allow rule, an allow rule the default.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diag/listeners.h"

// The profiles as the policy numbers them (NET_FW_PROFILE2_DOMAIN, _PRIVATE and _PUBLIC).
constexpr long kFirewallDomain = 1;
constexpr long kFirewallPrivate = 2;
constexpr long kFirewallPublic = 4;

struct FirewallProfile {
    long type;
    bool enabled;
    bool blockAllInbound;
    bool allowsInbound;  // its default inbound action is to allow
};

struct FirewallRule {
    std::wstring name;
    std::wstring application;      // as the rule holds it, environment variables and all; empty: any program
    std::wstring localPorts;       // "*" or empty, numbers, ranges "a-b", lists; keywords such as "RPC"
    std::wstring remoteAddresses;  // "*" or empty, addresses, ranges, subnets, keywords such as "LocalSubnet"
    long protocol;                 // 6 TCP, 17 UDP, 256 any
    long profiles;                 // the bits of the profiles it counts for
    bool enabled;
    bool inbound;
    bool allow;
};

struct FirewallPolicy {
    // Every value below was read; where anything could not be, Gatekeel says so and nothing else.
    bool readable = false;
    std::wstring managingProduct;  // another product that manages this computer's firewall
    std::vector<FirewallProfile> current;
    std::vector<FirewallRule> rules;
    // The current profiles on which network discovery is off, as far as its rule group could be asked.
    std::vector<long> discoveryOff;
};

// What the router forwards: the port on this computer, and the program that listens there.
struct FirewallQuery {
    Transport transport;
    uint16_t port;
    std::optional<std::wstring> program;  // its image path ("System" for Windows itself), where Gatekeel sees it
};

// A rule's program path with its environment variables expanded (production: ExpandEnvironmentStringsW).
using PathExpander = std::wstring (*)(const std::wstring& path);

// One line, or a line for each current profile where their verdicts differ, each naming its profile.
std::wstring ExplainFirewall(const FirewallPolicy& policy, const FirewallQuery& query, PathExpander expand);

// Where network discovery is off on a current profile: why Windows may not hear the router's answers.
std::optional<std::string> NetworkDiscoveryCause(const FirewallPolicy& policy);
