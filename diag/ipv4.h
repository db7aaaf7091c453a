#pragma once
// IPv4 addresses as the explanations read them: parsed from the platform's texts, shown in dotted
// decimal, placed in the ranges the internet does not reach, and this computer's own from its
// adapter list. Shared by the explanations' rooms in diag/.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ipv4 {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a << 24 | b << 16 | c << 8 | d; }

// A platform text field, read no further than the field even without a terminator.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Dotted decimal, exactly four parts of one to three digits up to 255.
std::optional<uint32_t> ParseIpv4(std::string_view text);
std::string DottedText(uint32_t address);

// What an external address says about reaching the router from the internet.
enum class Reach { Reserved, LinkLocal, CarrierNat, Private, Public };

struct AddressRange {
    uint32_t base;
    int bits;
    Reach reach;

    bool Holds(uint32_t address) const { return (address & (bits == 0 ? 0 : ~0u << (32 - bits))) == base; }
    std::string Text() const;
};

// The range of the address among those the internet cannot reach directly; a public address's otherwise.
const AddressRange& RangeOf(uint32_t address);
int PrefixLength(uint32_t mask);

std::string AdapterName(const IP_ADAPTER_INFO& adapter);

// One of this computer's addresses, with its mask and adapter.
struct OwnAddress {
    uint32_t address;
    uint32_t mask;
    const IP_ADAPTER_INFO* adapter;
};

std::vector<OwnAddress> OwnAddresses(const IP_ADAPTER_INFO* adapters);
// The entry of the address among this computer's; none for 0.0.0.0, which stands for no address.
const OwnAddress* OwnEntryOf(uint32_t address, const std::vector<OwnAddress>& own);

}  // namespace ipv4
