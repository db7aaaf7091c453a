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

namespace {

// The DLL's full path in the system directory; empty where that cannot be read.
std::string SystemPath(const char* name) {
    const UINT size = GetSystemDirectoryA(nullptr, 0);  // with the terminating zero
    if (size == 0) return {};
    std::string path(size, '\0');
    const UINT length = GetSystemDirectoryA(path.data(), size);
    if (length == 0 || length >= size) return {};
    path.resize(length);
    return path + '\\' + name;
}

}  // namespace

HMODULE LoadSystemLibrary(const char* name) {
    const std::string path = SystemPath(name);
    // With a full path this flag makes the DLL's own folder, not the exe's, the first place for its imports.
    return path.empty() ? nullptr : LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC SystemProc(const char* dll, const char* name) {
    // One reference a library for the whole run, however often its entry points are asked for.
    const std::string path = SystemPath(dll);
    HMODULE module = path.empty() ? nullptr : GetModuleHandleA(path.c_str());
    if (!module) module = LoadSystemLibrary(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace ui
