#pragma once
// Opens the Service Control Manager and one named service for the whole life of
// the object (where all access is refused, for querying its status only), reads its
// status, starts or stops it with a bounded wait, and keeps the last failure's code
// with the system's own text for it.
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/handles.h"

// Start and stop results.
constexpr int SCM_RESULT_DONE = 0;       // in the target state
constexpr int SCM_RESULT_TIMED_OUT = 1;  // the wait ran past its limit; nothing recorded
constexpr int SCM_RESULT_FAILED = 2;     // a platform call failed, or no service handle

// The clock and sleep of wait_for_state, replaceable so tests can run long limits at once.
struct WaitClock {
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);
};

class service_control_manager {
public:
    service_control_manager();
    explicit service_control_manager(const char* service_name);
    virtual ~service_control_manager();
    service_control_manager(const service_control_manager&) = delete;
    service_control_manager& operator=(const service_control_manager&) = delete;

    bool open_service(const char* service_name);
    bool query();
    int start(uint32_t time_limit_ms);
    int stop(uint32_t time_limit_ms);
    int change_state(DWORD target_state, DWORD pending_state, DWORD control, uint32_t time_limit_ms);
    int wait_for_state(DWORD target_state, uint32_t time_limit_ms);
    bool record_error(DWORD code);
    std::string get_error_text() const;

    SC_HANDLE scm_handle() const { return scm_handle_.get(); }
    SC_HANDLE service_handle() const { return service_handle_.get(); }
    // The current state, read through the handle that may only query the service (opened
    // where all access was refused); false without that handle or when the read fails.
    bool query_state_only(DWORD& state) const;
    const SERVICE_STATUS& status() const { return status_; }
    DWORD error_code() const { return error_code_; }

    // Replaces the wait's clock (nullptr restores GetTickCount and Sleep); returns the previous one.
    static const WaitClock* SetWaitClock(const WaitClock* clock);

    // The status read of query and of the wait, replaceable so tests can make it fail
    // (nullptr restores QueryServiceStatus); returns the previous one.
    using StatusReader = BOOL (*)(SC_HANDLE service, SERVICE_STATUS* status);
    static StatusReader SetStatusReader(StatusReader reader);

    // The service open, replaceable so tests can refuse rights (nullptr restores OpenServiceA);
    // returns the previous one.
    using ServiceOpener = SC_HANDLE (*)(SC_HANDLE manager, const char* name, DWORD access);
    static ServiceOpener SetServiceOpener(ServiceOpener opener);

    // The wait's polling interval for a wait hint: the hint within 1..10000 ms, else 1000 ms.
    static DWORD PollingInterval(DWORD wait_hint);

private:
    void open_manager();
    // ControlService for SERVICE_CONTROL_STOP, else StartServiceA; records a refusal.
    bool send_transition(DWORD control);

    ui::UniqueScHandle scm_handle_;
    DWORD error_code_ = 0;
    std::string error_text_;
    ui::UniqueScHandle service_handle_;
    ui::UniqueScHandle query_handle_;
    SERVICE_STATUS status_{};
};
