#pragma once
// Test support: a scripted IP Helper platform for HostNetworkInfo. While a
// ScopedFakeIpHelper lives, SetIpHelperPlatform points at it, so LoadLibraryA of
// "iphlpapi.dll", GetProcAddress and GetVersionExA answer from the script below,
// and the process-wide binding, adapter buffer and version are reset on entry
// and on exit. Link the library gk_test_ip_helper.
//
//   fake_ip_helper::ScopedFakeIpHelper fake;
//   fake.SetAdapters({{true, {"192.0.2.20"}}, {false, {"10.0.0.5"}}});
//   fake.SetOsVersion(VER_PLATFORM_WIN32_NT, 6, 1);
//
// The socket tables (GetTcpTable, GetUdpTable and their extended forms) are the system's own.
// GetAdaptersInfo lays the adapters out in the caller's buffer as the platform
// does (records chained by Next, the first address embedded, further addresses
// after the records) and answers ERROR_BUFFER_OVERFLOW with the size it needs,
// or ERROR_NO_DATA without adapters. Addresses are copied into their 16-character
// fields without a terminator when they fill them.
#include <string>
#include <vector>

#include "diag/host_network_info.h"

namespace fake_ip_helper {

struct FakeAdapter {
    bool dhcpEnabled = false;
    std::vector<std::string> addresses;  // dotted decimal; none gives one "0.0.0.0" entry
};

// One call of GetAdaptersInfo as the fake saw it.
struct AdaptersInfoCall {
    const void* buffer;
    ULONG sizeIn;
    DWORD result;
};

class ScopedFakeIpHelper {
public:
    ScopedFakeIpHelper();
    ~ScopedFakeIpHelper();
    ScopedFakeIpHelper(const ScopedFakeIpHelper&) = delete;
    ScopedFakeIpHelper& operator=(const ScopedFakeIpHelper&) = delete;

    void SetAdapters(std::vector<FakeAdapter> adapters) { adapters_ = std::move(adapters); }
    // From after the given call (1 = the first) on, the adapter set is this one.
    void ChangeAdaptersAfterCall(int callNumber, std::vector<FakeAdapter> adapters);
    // GetVersionExA answers this version (the default: NT 6.1).
    void SetOsVersion(DWORD platformId, DWORD major, DWORD minor);
    // GetVersionExA fails (after scribbling on the record).
    void FailOsVersion() { versionFails_ = true; }
    // LoadLibraryA answers this value (nullptr: no library; values below 32: old-style errors).
    void SetLibraryHandle(HMODULE module) { module_ = module; }
    // Only these exports exist (the default: all thirteen the binding asks for).
    void SetExports(std::vector<std::string> names) { exports_ = std::move(names); }
    // GetAdaptersInfo answers this code for every call instead of laying out adapters.
    void ForceResult(DWORD result) {
        forcedResult_ = result;
        forced_ = true;
    }

    int loadLibraryCalls() const { return loadLibraryCalls_; }
    int versionCalls() const { return versionCalls_; }
    DWORD lastVersionRecordSize() const { return lastVersionRecordSize_; }
    const std::vector<std::string>& requestedNames() const { return requestedNames_; }
    const std::vector<AdaptersInfoCall>& adaptersInfoCalls() const { return calls_; }
    // The size GetAdaptersInfo needs for the current adapter set.
    ULONG RequiredSize() const;

private:
    static HMODULE LoadLibraryHook(const char* name);
    static FARPROC GetProcAddressHook(HMODULE module, const char* name);
    static BOOL GetVersionExHook(OSVERSIONINFOEXA* info);
    static DWORD WINAPI GetAdaptersInfoHook(PIP_ADAPTER_INFO buffer, PULONG size);
    DWORD AdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size);
    void LayOut(unsigned char* buffer) const;

    std::vector<FakeAdapter> adapters_;
    int changeAfterCall_ = 0;
    std::vector<FakeAdapter> changedAdapters_;
    DWORD platformId_ = VER_PLATFORM_WIN32_NT;
    DWORD major_ = 6;
    DWORD minor_ = 1;
    bool versionFails_ = false;
    HMODULE module_;
    std::vector<std::string> exports_;
    DWORD forcedResult_ = 0;
    bool forced_ = false;

    int loadLibraryCalls_ = 0;
    int versionCalls_ = 0;
    DWORD lastVersionRecordSize_ = 0;
    std::vector<std::string> requestedNames_;
    std::vector<AdaptersInfoCall> calls_;
    IpHelperPlatform platform_{};
    const IpHelperPlatform* previousPlatform_ = nullptr;
};

}  // namespace fake_ip_helper
