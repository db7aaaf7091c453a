#pragma once
// Why the status panel and a mapping line say what they say: the texts of their tips,
// composed from the platform's records and plain values alone (no window involved).
// Lines end in "\r\n".
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <optional>
#include <string>

#include "diag/firewall_verdict.h"
#include "diag/host_network_info.h"
#include "diag/listeners.h"

// What a tooltip control keeps of a text (Wine keeps 1,023 characters): no tip is longer.
constexpr size_t kTipChars = 1023;

class service_control_manager;

// Every adapter of the list (description, first address and mask, DHCP with its server,
// gateway), which one faces the router (a virtual one that holds the default gateway where no
// physical one has an address: a bridge), and a warning where only a virtual or tunnel adapter
// holds a default gateway beside a physical one with an address; without a list, which
// failure left none.
std::string ExplainAdapters(const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query);

// The SSDP service as the panel last read it; where it cannot be managed, its state as read now
// with the right to query it alone, where that is granted.
struct SsdpFacts {
    bool manageable;     // the manager and the service are open
    DWORD state;         // the current state last read
    DWORD openError;     // why they are not open
    std::string errorText;
    bool queried = false;  // not manageable, but the state was read through a query-only handle
    static SsdpFacts Of(const service_control_manager& service);
};
// What the service is for, its state in words and what the button will do; where it
// cannot be managed, its state where it could be read, why it cannot be managed and how to
// start Gatekeel with the rights to manage it.
std::string ExplainSsdp(const SsdpFacts& facts);

// Why no router answered a search: the causes this computer shows (the SSDP service not
// running, or its state out of sight; no adapter with a default gateway; only a virtual or
// tunnel adapter with one; network discovery off in the firewall), and where it shows none for
// certain, the router's side (UPnP off, IGD version 2, UDP 1900 and TCP 2869 blocked); then what
// to do next.
std::string ExplainNoRouter(const SsdpFacts& ssdp, const IP_ADAPTER_INFO* adapters, AdapterQueryOutcome query,
                            const FirewallPolicy& firewall = {});

// The version Windows reported, as major.minor.build and platform.
std::string ExplainOsVersion(const OSVERSIONINFOEXA& version, bool known);

// What a mapping's external address (as the router reported it for the mapping) says about
// reaching the port from the internet: none reported, 0.0.0.0 (none, or not delivered by
// Windows), a reserved range or a link-local one (no internet address), another NAT in front
// of the router, or where the mapping is reached. The verdicts repeat an address only as read,
// never a text that is no IPv4 address.
std::string ExplainExternalAddress(const std::string& external, uint32_t port);
// Where a mapping's internal client is: none reported, this computer (which adapter), another
// device on one of its subnets, or on none of them; an address repeated only as read.
std::string ExplainInternalClient(const std::string& client, const IP_ADAPTER_INFO* adapters);

// What a mapping to this computer needs of it: a program on the port, on the client's address.
struct ListeningQuery {
    Transport transport;
    uint16_t port;
    uint32_t client;  // one of this computer's addresses, first byte highest
};
// The query of a mapping over TCP or UDP (in any case) to a port of 1..65535 whose internal
// client is one of this computer's addresses; none for any other, which gets no listening verdict.
std::optional<ListeningQuery> ListeningQueryOf(const std::string& protocol, int32_t port, const std::string& client,
                                               const IP_ADAPTER_INFO* adapters);
// Whether a program receives what the router forwards: which one, on the client's address or on
// all of them; one only on a loopback or another address, or on IPv6 alone; none; or, without
// the table, that Gatekeel cannot tell. Wide, as a program's name may be in any script.
std::wstring ExplainListening(const ListeningQuery& query, const ListenerTable& table);
// The path of the program that receives what the router forwards, where the table shows it.
std::optional<std::wstring> ListeningProgram(const ListeningQuery& query, const ListenerTable& table);
