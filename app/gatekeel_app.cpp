#include "app/gatekeel_app.h"

#include "app/gatekeel_dlg.h"
#include "ui/system_library.h"

namespace {

// comctl32 is no KnownDLL: bound at run time from the system directory, never imported.
void InitCommonControlsFromSystem() {
    const HMODULE comctl32 = ui::LoadSystemLibrary("comctl32.dll");
    const auto init = ui::ProcAs<void(WINAPI*)()>(comctl32 ? GetProcAddress(comctl32, "InitCommonControls") : nullptr);
    if (init) init();
}

}  // namespace

bool CGatekeelApp::InitInstance() {
    InitCommonControlsFromSystem();
    {
        CGatekeelDlg dialog(ssdp_);
        dialog.DoModal();
    }
    SetMainWindow(nullptr);
    // No message loop: the process ends once the dialog has closed; the configurator is left to the exit.
    return false;
}
