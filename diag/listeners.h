#pragma once
// What listens on a port of this computer: the rows of the platform's TCP listener and UDP
// tables on that port, read through the IP Helper binding when asked (a tip that shows),
// with the name of each row's program where this user may read it.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class Transport { Tcp, Udp };

// TCP or UDP for a router's protocol text, in any case; none for any other protocol.
std::optional<Transport> TransportOf(const std::string& protocol);

constexpr DWORD kSystemProcess = 4;

struct Listener {
    uint32_t address;      // the local IPv4 address (0: all of them), first byte highest
    bool ipv6Any;          // on all IPv6 addresses (::) instead; a dual-stack socket takes IPv4 too
    uint16_t port;
    DWORD pid;             // 0: the owner is unknown
    std::wstring program;  // the image's file name; empty where it cannot be read
    std::wstring path = {};  // the image's whole path ("System" for Windows itself); empty where it cannot be read
    std::vector<std::wstring> services = {};  // the services the process runs, by their names
};

struct ListenerTable {
    bool delivered = false;  // false: Windows could not deliver the table
    std::vector<Listener> rows;
};

// The rows on the port (none on other ports), each with its program's name and services (none for the
// System process or pid 0).
ListenerTable ReadListeners(Transport transport, uint16_t port);

// The services each process runs, by process id, as a user without administrator rights may list them.
std::map<DWORD, std::vector<std::wstring>> ServicesByProcess();
