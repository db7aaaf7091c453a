#include "natcfg/port_mapping.h"

bool PortMapping::Matches(std::wstring_view protocolText, int32_t port, std::wstring_view internalClientText) const {
    return protocol == protocolText && externalPort == port && !internalClient.empty() &&
           internalClient == internalClientText;
}

std::wstring PortText(int32_t port) { return std::to_wstring(static_cast<uint32_t>(port)); }
