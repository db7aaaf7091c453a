#include "app/gatekeel_app.h"

#include <commctrl.h>

#include "app/gatekeel_dlg.h"

bool CGatekeelApp::InitInstance() {
    InitCommonControls();
    {
        CGatekeelDlg dialog(ssdp_);
        dialog.DoModal();
    }
    SetMainWindow(nullptr);
    // No message loop: the process ends once the dialog has closed; the configurator is left to the exit.
    return false;
}
