/* Planted beside gatekeel.exe as comctl32, iphlpapi and riched32: once loaded it leaves
   "<its name>.loaded" beside itself, and its GetAdaptersInfo shows one DHCP adapter at 198.51.100.77. */
#include <winsock2.h>
#include <windows.h>
#include <iptypes.h>
#include <stdio.h>
#include <string.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    char path[MAX_PATH + 8] = "";
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH && GetModuleFileNameA(self, path, MAX_PATH) < MAX_PATH) {
        FILE* marker = fopen(strcat(path, ".loaded"), "w");
        if (marker) fclose(marker);
    }
    return TRUE;
}

__declspec(dllexport) void WINAPI InitCommonControls(void) {}

__declspec(dllexport) DWORD WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size) {
    if (!info || *size < sizeof *info) {
        *size = sizeof *info;
        return ERROR_BUFFER_OVERFLOW;
    }
    memset(info, 0, sizeof *info);
    info->DhcpEnabled = 1;
    strcpy(info->IpAddressList.IpAddress.String, "198.51.100.77");
    return NO_ERROR;
}
