#include "diag/host_network_info.h"

#include <cstring>
#include <memory>
#include <new>

#include "ui/system_library.h"

namespace {

using GetAdaptersInfoFn = DWORD(WINAPI*)(PIP_ADAPTER_INFO adapterInfo, PULONG size);

// Looked up in this order; GetAdaptersInfo and the socket tables are the ones called.
constexpr const char* ENTRY_POINT_NAMES[] = {
    "GetAdaptersInfo",  "GetIfTable",        "GetTcpTable",       "GetUdpTable",
    "GetUdpStatistics", "GetTcpStatistics",  "GetIcmpStatistics", "GetIpStatistics",
    "GetNetworkParams", "GetPerAdapterInfo", "SetIpTTL",          "GetExtendedTcpTable",
    "GetExtendedUdpTable",
};
constexpr size_t ENTRY_POINT_COUNT = sizeof(ENTRY_POINT_NAMES) / sizeof(ENTRY_POINT_NAMES[0]);
constexpr DWORD OS_VERSION_RECORD_SIZE = sizeof(OSVERSIONINFOEXA);
static_assert(OS_VERSION_RECORD_SIZE == 156, "the platform's version record");

// From the system directory only: an iphlpapi.dll beside the exe is never loaded.
HMODULE RealLoadLibrary(const char* name) { return ui::LoadSystemLibrary(name); }
FARPROC RealGetProcAddress(HMODULE module, const char* name) { return ::GetProcAddress(module, name); }
BOOL RealGetVersionEx(OSVERSIONINFOEXA* info) { return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)); }

const IpHelperPlatform realPlatform{&RealLoadLibrary, &RealGetProcAddress, &RealGetVersionEx};
const IpHelperPlatform* currentPlatform = &realPlatform;

// iphlpapi.dll, loaded once for the process and never unloaded.
class IpHelperBinding {
public:
    bool Bind() {
        if (bound_) return true;
        const HMODULE module = currentPlatform->loadLibrary("iphlpapi.dll");
        // Values below 32 are the old-style error answers, not modules.
        if (reinterpret_cast<uintptr_t>(module) < 32) return false;
        module_ = module;
        for (size_t i = 0; i < ENTRY_POINT_COUNT; ++i)
            entryPoints_[i] = currentPlatform->getProcAddress(module_, ENTRY_POINT_NAMES[i]);
        bound_ = true;
        return true;
    }
    GetAdaptersInfoFn GetAdaptersInfo() const { return ui::ProcAs<GetAdaptersInfoFn>(entryPoints_[0]); }
    FARPROC EntryPoint(const char* name) const {
        for (size_t i = 0; i < ENTRY_POINT_COUNT; ++i) {
            if (std::strcmp(ENTRY_POINT_NAMES[i], name) == 0) return entryPoints_[i];
        }
        return nullptr;
    }

private:
    bool bound_ = false;
    HMODULE module_ = nullptr;
    FARPROC entryPoints_[ENTRY_POINT_COUNT] = {};
};

// Platform texts are cut to their 16-character field so no reader runs past it.
void TerminateField(IP_ADDRESS_STRING& field) { field.String[sizeof(field.String) - 1] = '\0'; }

void TerminateAddressTexts(IP_ADAPTER_INFO* adapter) {
    for (; adapter; adapter = adapter->Next) {
        for (IP_ADDR_STRING* entry = &adapter->IpAddressList; entry; entry = entry->Next) {
            TerminateField(entry->IpAddress);
            TerminateField(entry->IpMask);
        }
    }
}

// The one adapter buffer of the process, replaced only when the platform asks for more.
class AdapterBuffer {
public:
    const IP_ADAPTER_INFO* Fetch(GetAdaptersInfoFn getAdaptersInfo, AdapterQueryOutcome& outcome) {
        ULONG size = size_;
        DWORD result = getAdaptersInfo(Head(), &size);
        if (result == ERROR_BUFFER_OVERFLOW) {
            if (!Replace(size)) {
                outcome = {AdapterQuery::Failed, ERROR_NOT_ENOUGH_MEMORY};
                return nullptr;
            }
            size = size_;
            result = getAdaptersInfo(Head(), &size);
        }
        if (result != NO_ERROR || !Head()) {
            const bool none = result == ERROR_NO_DATA || result == NO_ERROR;
            outcome = {none ? AdapterQuery::NoAdapters : AdapterQuery::Failed, result};
            return nullptr;
        }
        outcome = {AdapterQuery::Listed, NO_ERROR};
        TerminateAddressTexts(Head());
        return Head();
    }

private:
    IP_ADAPTER_INFO* Head() const { return reinterpret_cast<IP_ADAPTER_INFO*>(block_.get()); }

    bool Replace(ULONG size) {
        block_.reset();
        size_ = 0;
        if (size == 0) return false;
        block_.reset(new (std::nothrow) unsigned char[size]);
        if (!block_) return false;
        size_ = size;
        return true;
    }

    std::unique_ptr<unsigned char[]> block_;
    ULONG size_ = 0;
};

// The OS version record, read once it can be read.
class OsVersion {
public:
    void Load() {
        if (known_) return;
        record_ = {};
        record_.dwOSVersionInfoSize = OS_VERSION_RECORD_SIZE;
        if (currentPlatform->getVersionEx(&record_)) {
            known_ = true;
            return;
        }
        std::memset(&record_, 0, sizeof(record_));
    }
    uint32_t Number() const {
        return ((record_.dwPlatformId << 8 | record_.dwMajorVersion) << 8) | record_.dwMinorVersion;
    }
    const OSVERSIONINFOEXA& Record() const { return record_; }
    bool Known() const { return known_; }

private:
    bool known_ = false;
    OSVERSIONINFOEXA record_{};
};

struct IpHelperState {
    IpHelperBinding binding;
    AdapterBuffer buffer;
    const IP_ADAPTER_INFO* head = nullptr;
    AdapterQueryOutcome lastQuery{AdapterQuery::NoLibrary, 0};
    OsVersion version;
    IP_ADDR_STRING fallback{};
};

IpHelperState& State() {
    static IpHelperState state;
    return state;
}

// Clears the field, then writes at most 15 characters so the terminator stays.
void CopyField(IP_ADDRESS_STRING& field, const char* text) {
    std::memset(field.String, 0, sizeof(field.String));
    const size_t length = std::strlen(text);
    std::memcpy(field.String, text, length < sizeof(field.String) ? length : sizeof(field.String) - 1);
}

}  // namespace

bool BindIpHelper() { return State().binding.Bind(); }

const IP_ADAPTER_INFO* FetchAdaptersInfo() {
    IpHelperState& state = State();
    state.lastQuery = {AdapterQuery::NoLibrary, 0};
    if (!state.binding.Bind()) return nullptr;
    const GetAdaptersInfoFn getAdaptersInfo = state.binding.GetAdaptersInfo();
    state.lastQuery = {AdapterQuery::NoEntryPoint, 0};
    if (!getAdaptersInfo) return nullptr;
    return state.buffer.Fetch(getAdaptersInfo, state.lastQuery);
}

AdapterQueryOutcome LastAdapterQuery() { return State().lastQuery; }

FARPROC IpHelperEntryPoint(const char* name) {
    IpHelperBinding& binding = State().binding;
    return binding.Bind() ? binding.EntryPoint(name) : nullptr;
}

const IpHelperPlatform* SetIpHelperPlatform(const IpHelperPlatform* platform) {
    const IpHelperPlatform* previous = currentPlatform;
    currentPlatform = platform ? platform : &realPlatform;
    return previous;
}

void ResetIpHelperState() { State() = IpHelperState{}; }

void HostNetworkInfo::LoadOsVersion() { State().version.Load(); }

uint32_t HostNetworkInfo::OsVersionNumber() const { return State().version.Number(); }

const OSVERSIONINFOEXA& HostNetworkInfo::OsVersion() const { return State().version.Record(); }

bool HostNetworkInfo::OsVersionKnown() const { return State().version.Known(); }

void HostNetworkInfo::LoadAdapters() { State().head = FetchAdaptersInfo(); }

const IP_ADAPTER_INFO* HostNetworkInfo::Adapters() const { return State().head; }

int32_t HostNetworkInfo::AdapterCount() const {
    int32_t count = 0;
    for (const IP_ADAPTER_INFO* adapter = State().head; adapter; adapter = adapter->Next) ++count;
    return count;
}

const IP_ADAPTER_INFO* HostNetworkInfo::AdapterAt(int32_t index) const {
    const IP_ADAPTER_INFO* adapter = State().head;
    for (int32_t i = 0; adapter && i < index; ++i) adapter = adapter->Next;
    return adapter;
}

bool HostNetworkInfo::IsDhcpEnabled(int32_t adapterIndex) const {
    const IP_ADAPTER_INFO* adapter = AdapterAt(adapterIndex);
    return adapter && adapter->DhcpEnabled != 0;
}

const IP_ADDR_STRING* HostNetworkInfo::IPAddressEntry(int32_t adapterIndex, int32_t addressIndex) {
    const IP_ADAPTER_INFO* adapter = AdapterAt(adapterIndex);
    if (!adapter) {
        IP_ADDR_STRING& fallback = State().fallback;
        CopyField(fallback.IpAddress, "IPAddress:error");
        CopyField(fallback.IpMask, "IpMask:error");
        return &fallback;
    }
    const IP_ADDR_STRING* entry = &adapter->IpAddressList;
    for (int32_t i = 0; entry && i < addressIndex; ++i) entry = entry->Next;
    return entry;
}

const char* HostNetworkInfo::IPAddressString(int32_t adapterIndex, int32_t addressIndex) {
    const IP_ADDR_STRING* entry = IPAddressEntry(adapterIndex, addressIndex);
    return entry ? entry->IpAddress.String : "[IPAddressString::error]";
}
