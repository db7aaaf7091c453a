#include "ui/system_library.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace ui {

bool RestrictDllSearchToSystemDirectory() {
    // Looked up, not imported: Windows 7 without KB2533623 lacks it, and the exe must still start there.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = ProcAs<SetDefaultDllDirectoriesFn>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    const bool systemOnly = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
    return systemOnly;
}

HMODULE LoadSystemLibrary(const char* name) {
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(directory, length) + '\\' + name;
    // With a full path this flag makes the DLL's own folder, not the exe's, the first place for its imports.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace ui
