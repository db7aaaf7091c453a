#include "tests/diag/fake_ip_helper.h"

#include <algorithm>
#include <cstring>

#include "ui/system_library.h"

namespace fake_ip_helper {
namespace {

ScopedFakeIpHelper* active = nullptr;

// A module value that is no real module; the fake never looks behind it.
HMODULE FakeModule() { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000)); }

const std::vector<std::string> ALL_EXPORTS = {
    "GetAdaptersInfo",  "GetIfTable",        "GetTcpTable",       "GetUdpTable",
    "GetUdpStatistics", "GetTcpStatistics",  "GetIcmpStatistics", "GetIpStatistics",
    "GetNetworkParams", "GetPerAdapterInfo", "SetIpTTL",          "GetExtendedTcpTable",
    "GetExtendedUdpTable",
};
// Answered by the system's own library: the test's sockets are real.
const std::vector<std::string> SOCKET_TABLES = {"GetTcpTable", "GetUdpTable", "GetExtendedTcpTable", "GetExtendedUdpTable"};

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Non-null stand-in for exports that the program never calls.
void UnusedExport() {}

size_t ExtraAddresses(const FakeAdapter& adapter) {
    return adapter.addresses.size() > 1 ? adapter.addresses.size() - 1 : 0;
}

// Copies up to the whole field; a text that fills it is left unterminated.
void FillField(IP_ADDRESS_STRING& field, const std::string& text) {
    std::memset(field.String, 0, sizeof(field.String));
    std::memcpy(field.String, text.data(), text.size() < sizeof(field.String) ? text.size() : sizeof(field.String));
}

void FillEntry(IP_ADDR_STRING& entry, const std::string& address) {
    FillField(entry.IpAddress, address);
    FillField(entry.IpMask, "255.255.255.0");
}

}  // namespace

ScopedFakeIpHelper::ScopedFakeIpHelper() : module_(FakeModule()), exports_(ALL_EXPORTS) {
    platform_ = {&LoadLibraryHook, &GetProcAddressHook, &GetVersionExHook};
    active = this;
    ResetIpHelperState();
    previousPlatform_ = SetIpHelperPlatform(&platform_);
}

ScopedFakeIpHelper::~ScopedFakeIpHelper() {
    SetIpHelperPlatform(previousPlatform_);
    ResetIpHelperState();
    active = nullptr;
}

void ScopedFakeIpHelper::ChangeAdaptersAfterCall(int callNumber, std::vector<FakeAdapter> adapters) {
    changeAfterCall_ = callNumber;
    changedAdapters_ = std::move(adapters);
}

void ScopedFakeIpHelper::SetOsVersion(DWORD platformId, DWORD major, DWORD minor) {
    platformId_ = platformId;
    major_ = major;
    minor_ = minor;
    versionFails_ = false;
}

ULONG ScopedFakeIpHelper::RequiredSize() const {
    size_t extra = 0;
    for (const FakeAdapter& adapter : adapters_) extra += ExtraAddresses(adapter);
    return static_cast<ULONG>(adapters_.size() * sizeof(IP_ADAPTER_INFO) + extra * sizeof(IP_ADDR_STRING));
}

HMODULE ScopedFakeIpHelper::LoadLibraryHook(const char* name) {
    ++active->loadLibraryCalls_;
    return std::strcmp(name, "iphlpapi.dll") == 0 ? active->module_ : nullptr;
}

FARPROC ScopedFakeIpHelper::GetProcAddressHook(HMODULE module, const char* name) {
    active->requestedNames_.push_back(name);
    if (module != active->module_ || !Holds(active->exports_, name)) return nullptr;
    const std::string wanted = name;
    if (wanted == "GetAdaptersInfo")
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&GetAdaptersInfoHook));
    static const HMODULE system = ui::LoadSystemLibrary("iphlpapi.dll");
    if (Holds(SOCKET_TABLES, wanted)) return system ? ::GetProcAddress(system, name) : nullptr;
    return reinterpret_cast<FARPROC>(&UnusedExport);
}

BOOL ScopedFakeIpHelper::GetVersionExHook(OSVERSIONINFOEXA* info) {
    ++active->versionCalls_;
    active->lastVersionRecordSize_ = info->dwOSVersionInfoSize;
    if (active->versionFails_) {
        // A failing platform may leave anything in the record.
        std::memset(reinterpret_cast<unsigned char*>(info) + sizeof(DWORD), 0x5A, sizeof(*info) - sizeof(DWORD));
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwPlatformId = active->platformId_;
    info->dwMajorVersion = active->major_;
    info->dwMinorVersion = active->minor_;
    info->dwBuildNumber = 7601;
    return TRUE;
}

DWORD WINAPI ScopedFakeIpHelper::GetAdaptersInfoHook(PIP_ADAPTER_INFO buffer, PULONG size) {
    return active->AdaptersInfo(buffer, size);
}

DWORD ScopedFakeIpHelper::AdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size) {
    const ULONG sizeIn = *size;
    DWORD result = NO_ERROR;
    if (forced_) {
        result = forcedResult_;
    } else if (adapters_.empty()) {
        result = ERROR_NO_DATA;
    } else if (!buffer || sizeIn < RequiredSize()) {
        *size = RequiredSize();
        result = ERROR_BUFFER_OVERFLOW;
    } else {
        LayOut(reinterpret_cast<unsigned char*>(buffer));
    }
    calls_.push_back({buffer, sizeIn, result});
    if (changeAfterCall_ != 0 && static_cast<int>(calls_.size()) == changeAfterCall_) adapters_ = changedAdapters_;
    return result;
}

void ScopedFakeIpHelper::LayOut(unsigned char* buffer) const {
    auto* records = reinterpret_cast<IP_ADAPTER_INFO*>(buffer);
    auto* extra = reinterpret_cast<IP_ADDR_STRING*>(buffer + adapters_.size() * sizeof(IP_ADAPTER_INFO));
    for (size_t i = 0; i < adapters_.size(); ++i) {
        const FakeAdapter& adapter = adapters_[i];
        IP_ADAPTER_INFO& record = records[i];
        std::memset(&record, 0, sizeof(record));
        record.Next = i + 1 < adapters_.size() ? &records[i + 1] : nullptr;
        record.Index = static_cast<DWORD>(i + 1);
        record.DhcpEnabled = adapter.dhcpEnabled ? 1 : 0;
        FillEntry(record.IpAddressList, adapter.addresses.empty() ? std::string("0.0.0.0") : adapter.addresses[0]);
        IP_ADDR_STRING* previous = &record.IpAddressList;
        for (size_t a = 1; a < adapter.addresses.size(); ++a) {
            IP_ADDR_STRING* entry = extra++;
            std::memset(entry, 0, sizeof(*entry));
            FillEntry(*entry, adapter.addresses[a]);
            previous->Next = entry;
            previous = entry;
        }
    }
}

}  // namespace fake_ip_helper
