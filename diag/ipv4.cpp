#include "diag/ipv4.h"

#include <cctype>

namespace ipv4 {

std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t address = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) return std::nullopt;
        uint32_t value = 0;
        size_t digits = 0;
        for (; at < text.size() && digits < 3 && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits)
            value = value * 10 + static_cast<uint32_t>(text[at] - '0');
        if (digits == 0 || value > 255) return std::nullopt;
        address = address << 8 | value;
    }
    if (at != text.size()) return std::nullopt;
    return address;
}

std::string DottedText(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

namespace {

// Where the internet cannot reach an address directly, searched in order; an address of none is public.
constexpr AddressRange kRanges[] = {
    {Ip(0, 0, 0, 0), 8, Reach::Reserved},        {Ip(127, 0, 0, 0), 8, Reach::Reserved},
    {Ip(192, 0, 0, 0), 24, Reach::Reserved},     {Ip(198, 18, 0, 0), 15, Reach::Reserved},
    {Ip(224, 0, 0, 0), 4, Reach::Reserved},      {Ip(240, 0, 0, 0), 4, Reach::Reserved},
    {Ip(169, 254, 0, 0), 16, Reach::LinkLocal},  {Ip(100, 64, 0, 0), 10, Reach::CarrierNat},
    {Ip(10, 0, 0, 0), 8, Reach::Private},        {Ip(172, 16, 0, 0), 12, Reach::Private},
    {Ip(192, 168, 0, 0), 16, Reach::Private},
};
constexpr AddressRange kPublic{0, 0, Reach::Public};

}  // namespace

const AddressRange& RangeOf(uint32_t address) {
    for (const AddressRange& range : kRanges) {
        if (range.Holds(address)) return range;
    }
    return kPublic;
}

std::string AddressRange::Text() const { return DottedText(base) + "/" + std::to_string(bits); }

int PrefixLength(uint32_t mask) {
    int bits = 0;
    while (bits < 32 && (mask & (0x80000000u >> bits))) ++bits;
    return bits;
}

std::string AdapterName(const IP_ADAPTER_INFO& adapter) {
    const std::string description = FieldText(adapter.Description);
    return description.empty() ? "Adapter " + FieldText(adapter.AdapterName) : description;
}

std::vector<OwnAddress> OwnAddresses(const IP_ADAPTER_INFO* adapters) {
    std::vector<OwnAddress> own;
    for (const IP_ADAPTER_INFO* adapter = adapters; adapter; adapter = adapter->Next) {
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry; entry = entry->Next) {
            own.push_back({ParseIpv4(FieldText(entry->IpAddress.String)).value_or(0),
                           ParseIpv4(FieldText(entry->IpMask.String)).value_or(0), adapter});
        }
    }
    return own;
}

const OwnAddress* OwnEntryOf(uint32_t address, const std::vector<OwnAddress>& own) {
    if (address == 0) return nullptr;
    for (const OwnAddress& entry : own) {
        if (entry.address == address) return &entry;
    }
    return nullptr;
}

}  // namespace ipv4
