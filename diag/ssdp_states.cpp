#include "diag/ssdp_states.h"

namespace {

constexpr char kStopped[] =
    "SSDP (UPnP) Discovery Service is stopped/stopping. SSDP must be running to detect your UPnP router.";
constexpr char kRunning[] = "SSDP (UPnP) Discovery Service is running/starting. Good!";
constexpr char kUnknown[] = "SSDP (UPnP) Discovery Service is in an unknown state";

// Start-pending is no "starting" for the panel: only a service that runs or resumes offers Stop.
constexpr SsdpStateView kStates[] = {
    {SERVICE_STOPPED, true, false, "Start SSDP", kStopped, "It is stopped. The button starts it.", "stopped"},
    {SERVICE_START_PENDING, false, false, "?????", kUnknown, "It is starting. The button works again once it runs or stops.", "starting"},
    {SERVICE_STOP_PENDING, true, false, "Start SSDP", kStopped, "It is stopping. The button starts it again.", "stopping"},
    {SERVICE_RUNNING, true, true, "Stop SSDP", kRunning,
     "It is running. The button stops it; Windows then finds no router until it runs again.", "running"},
    {SERVICE_CONTINUE_PENDING, true, true, "Stop SSDP", kRunning, "It is resuming. The button stops it.", "resuming"},
    {SERVICE_PAUSE_PENDING, false, false, "?????", kUnknown, "It is pausing. The button works again once it runs or stops.", "pausing"},
    {SERVICE_PAUSED, false, false, "?????", kUnknown, "It is paused. The button works again once it runs or stops.", "paused"},
};
constexpr SsdpStateView kUnknownState{0, false, false, "?????", kUnknown,
                                      "The button works again once it runs or stops.", ""};

}  // namespace

const SsdpStateView& SsdpStateOf(DWORD state) {
    for (const SsdpStateView& row : kStates) {
        if (row.state == state) return row;
    }
    return kUnknownState;
}
