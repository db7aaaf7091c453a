// gatekeel.exe: the process-wide SSDP controller and application object, and the entry point.
#include <windows.h>

#include "app/gatekeel_app.h"
#include "diag/service_control_manager.h"

// Constructed before entry, in this order, so the service is open before the dialog exists.
service_control_manager ssdp_service("SSDPSRV");
CGatekeelApp theApp(ssdp_service);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return theApp.Run(instance); }
