// gatekeel.exe: the process-wide SSDP controller and application object, and the entry point.
#include <windows.h>

#include "app/gatekeel_app.h"
#include "diag/service_control_manager.h"
#include "ui/system_library.h"

// Constructed before entry, in this order. First of all, DLLs come from the system
// directory only; then the service is opened, before the dialog exists.
const bool dllSearchRestricted = ui::RestrictDllSearchToSystemDirectory();
service_control_manager ssdp_service("SSDPSRV");
CGatekeelApp theApp(ssdp_service);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return theApp.Run(instance); }
