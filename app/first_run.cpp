#include "app/first_run.h"

#include <windows.h>

#include "ui/handles.h"

namespace {

bool MarkerIsSet(HKEY key) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LSTATUS status =
        RegQueryValueExA(key, FIRST_RUN_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value && value != 0;
}

}  // namespace

bool TakeFirstRun() {
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, FIRST_RUN_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const ui::UniqueHKey key(opened);
    if (MarkerIsSet(key.get())) return false;
    const DWORD one = 1;
    // A failed write is not reported: the About box then shows again at the next start.
    RegSetValueExA(key.get(), FIRST_RUN_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    return true;
}
