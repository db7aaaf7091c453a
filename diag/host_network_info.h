#pragma once
// The host facts the status panel needs: the OS version (read once per process)
// and the adapter list from the IP Helper library, bound at run time, whose
// buffer is kept for the process and reused from fetch to fetch.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>

// Loads iphlpapi.dll and looks up its entry points once; true when loaded.
bool BindIpHelper();
// The head of a fresh adapter list, or nullptr.
const IP_ADAPTER_INFO* FetchAdaptersInfo();
// The entry point of that name among those the binding looks up; nullptr where the library
// or the name is missing.
FARPROC IpHelperEntryPoint(const char* name);

// Why the last fetch gave the list it gave, so "no adapters" can say which failure it was.
enum class AdapterQuery { Listed, NoLibrary, NoEntryPoint, NoAdapters, Failed };
struct AdapterQueryOutcome {
    AdapterQuery state;
    DWORD code;  // GetAdaptersInfo's answer, for Failed
};
AdapterQueryOutcome LastAdapterQuery();

// How the library is loaded and the version read; tests replace these.
struct IpHelperPlatform {
    HMODULE (*loadLibrary)(const char* name);
    FARPROC (*getProcAddress)(HMODULE module, const char* name);
    BOOL (*getVersionEx)(OSVERSIONINFOEXA* info);
};
// Replaces the platform (nullptr restores the real one); returns the previous one.
const IpHelperPlatform* SetIpHelperPlatform(const IpHelperPlatform* platform);
// Forgets the binding, the adapter buffer and the version, as at process start (tests only).
void ResetIpHelperState();

class HostNetworkInfo {
public:
    void LoadOsVersion();
    // platform id << 16 | major << 8 | minor; 0 when the version could not be read.
    uint32_t OsVersionNumber() const;
    // The record as read (all zero while it could not be read).
    const OSVERSIONINFOEXA& OsVersion() const;
    bool OsVersionKnown() const;
    void LoadAdapters();
    // The head of the current list, or nullptr.
    const IP_ADAPTER_INFO* Adapters() const;
    int32_t AdapterCount() const;
    // The adapter at the index (negative counts as 0), or nullptr at or past the end.
    const IP_ADAPTER_INFO* AdapterAt(int32_t index) const;
    bool IsDhcpEnabled(int32_t adapterIndex) const;
    const IP_ADDR_STRING* IPAddressEntry(int32_t adapterIndex, int32_t addressIndex);
    // Valid until the next LoadAdapters or the next use of the fallback entry.
    const char* IPAddressString(int32_t adapterIndex, int32_t addressIndex);
};
