#pragma once
// One static port mapping as last read from the router: a plain value that holds
// no reference to the platform object it came from.
#include <cstdint>
#include <string>
#include <string_view>

struct PortMapping {
    // Display defaults for properties the platform did not deliver.
    std::wstring externalIPAddress = L"0.0.0.0";
    std::wstring description = L"<no description>";
    int32_t enabled = 0;  // -1 enabled, 0 disabled; any non-zero counts as enabled
    int32_t internalPort = 0;
    int32_t externalPort = 0;
    std::wstring protocol = L"<unknown protocol>";
    std::wstring internalClient = L"<no internal client>";

    // Identity match: same protocol and external port and the same, non-empty,
    // internal client. Exact, case-sensitive comparison.
    bool Matches(std::wstring_view protocolText, int32_t port, std::wstring_view internalClientText) const;
};

// A port as the list shows it and the list's file holds it: the unsigned decimal of the stored value.
std::wstring PortText(int32_t port);
