#pragma once
// DLLs from the system directory only: a DLL of the same name in the exe's folder
// or the current directory (DLL planting) is never loaded in their place.
#include <windows.h>

namespace ui {

// Called first thing in the process: the default DLL search becomes System32 only
// (SetDefaultDllDirectories, where the system has it), and the current directory
// leaves the search in any case. True when the default search is System32 only.
bool RestrictDllSearchToSystemDirectory();

// Loads the named DLL by its full path in the system directory, its own imports
// found from there too; nullptr when it is not there or cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// An entry point of the named DLL of the system directory (loaded as LoadSystemLibrary loads it, the
// first time only: it holds one reference), or nullptr. For DLLs that import one that is no KnownDLL
// (comdlg32 and shell32 import comctl32), so that no copy beside the exe is loaded in its place.
FARPROC SystemProc(const char* dll, const char* name);

// Function pointer types convert through the generic one without a warning.
template <typename Fn>
Fn ProcAs(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace ui
