#pragma once
// Shared by the list file's tests and its fuzz target.
#include <cstdint>
#include <string>
#include <string_view>

#include "listfile/unicode_text.h"
#include "natcfg/port_mapping.h"

// Stands in for the code page of the user's language, the same on every machine.
inline listfile::DecodedText Latin1(std::string_view bytes) {
    std::wstring text;
    for (char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return {text, {}, L"Latin-1"};
}

inline PortMapping Mapping(const wchar_t* protocol, int32_t external, const wchar_t* client, int32_t internal,
                           int32_t enabled = -1, const wchar_t* description = L"") {
    PortMapping m;
    m.protocol = protocol, m.externalPort = external, m.internalClient = client;
    m.internalPort = internal, m.enabled = enabled, m.description = description;
    return m;
}
