#pragma once
// The application object: initialises the common controls, runs the main dialog
// modally and lets the process end when it closes.
#include "diag/service_control_manager.h"
#include "ui/app.h"

class CGatekeelApp : public ui::App {
public:
    // The main dialog drives the SSDP service through ssdp, which outlives the application object.
    explicit CGatekeelApp(service_control_manager& ssdp) : ssdp_(ssdp) {}

protected:
    bool InitInstance() override;

private:
    service_control_manager& ssdp_;
};
