#include "diag/service_control_manager.h"

namespace {

constexpr uint32_t MAX_WAIT_MS = 300000;
constexpr DWORD DEFAULT_POLL_MS = 1000;
constexpr DWORD MAX_HINT_POLL_MS = 10000;
constexpr DWORD FORMAT_FLAGS =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr const char* FORMAT_FAILED_TEXT = "Error calling FormatMessage() for last error";
// Any control value but SERVICE_CONTROL_STOP takes the StartServiceA branch.
constexpr DWORD START_CONTROL = 3;

DWORD RealTickCount() { return ::GetTickCount(); }
void RealSleep(DWORD milliseconds) { ::Sleep(milliseconds); }
BOOL RealQueryStatus(SC_HANDLE service, SERVICE_STATUS* status) { return ::QueryServiceStatus(service, status); }
SC_HANDLE RealOpenService(SC_HANDLE manager, const char* name, DWORD access) {
    return ::OpenServiceA(manager, name, access);
}

const WaitClock realClock{&RealTickCount, &RealSleep};
const WaitClock* currentClock = &realClock;
service_control_manager::StatusReader currentReader = &RealQueryStatus;
service_control_manager::ServiceOpener currentOpener = &RealOpenService;

}  // namespace

const WaitClock* service_control_manager::SetWaitClock(const WaitClock* clock) {
    const WaitClock* previous = currentClock;
    currentClock = clock ? clock : &realClock;
    return previous;
}

service_control_manager::StatusReader service_control_manager::SetStatusReader(StatusReader reader) {
    const StatusReader previous = currentReader;
    currentReader = reader ? reader : &RealQueryStatus;
    return previous;
}

service_control_manager::ServiceOpener service_control_manager::SetServiceOpener(ServiceOpener opener) {
    const ServiceOpener previous = currentOpener;
    currentOpener = opener ? opener : &RealOpenService;
    return previous;
}

DWORD service_control_manager::PollingInterval(DWORD wait_hint) {
    return (wait_hint >= 1 && wait_hint <= MAX_HINT_POLL_MS) ? wait_hint : DEFAULT_POLL_MS;
}

service_control_manager::service_control_manager() { open_manager(); }

service_control_manager::service_control_manager(const char* service_name) {
    open_manager();
    // Even without a manager handle: the open's own error then replaces the manager's.
    if (service_name) open_service(service_name);
}

service_control_manager::~service_control_manager() {
    query_handle_.reset();
    service_handle_.reset();
    scm_handle_.reset();
}

void service_control_manager::open_manager() {
    scm_handle_.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm_handle_) record_error(::GetLastError());
}

bool service_control_manager::open_service(const char* service_name) {
    query_handle_.reset();
    service_handle_.reset(currentOpener(scm_handle_.get(), service_name, SERVICE_ALL_ACCESS));
    if (!service_handle_) {
        record_error(::GetLastError());
        // Reading the state needs no administrator: the tips can still tell it. The error kept is
        // the refusal of all access, which is why the service cannot be managed.
        query_handle_.reset(currentOpener(scm_handle_.get(), service_name, SERVICE_QUERY_STATUS));
        return false;
    }
    return query();
}

bool service_control_manager::query_state_only(DWORD& state) const {
    SERVICE_STATUS status{};
    if (!query_handle_ || !currentReader(query_handle_.get(), &status)) return false;
    state = status.dwCurrentState;
    return true;
}

bool service_control_manager::query() {
    if (currentReader(service_handle_.get(), &status_)) return true;
    error_code_ = ::GetLastError();
    record_error(error_code_);
    return false;
}

bool service_control_manager::record_error(DWORD code) {
    error_code_ = code;
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_FLAGS, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<char*>(&buffer), 0, nullptr);
    const ui::UniqueHLocal owned(buffer);
    if (length == 0 || !buffer) {
        error_text_ = FORMAT_FAILED_TEXT;
        return false;
    }
    error_text_.assign(buffer, length);
    return true;
}

std::string service_control_manager::get_error_text() const { return error_text_; }

int service_control_manager::start(uint32_t time_limit_ms) {
    return change_state(SERVICE_RUNNING, SERVICE_CONTINUE_PENDING, START_CONTROL, time_limit_ms);
}

int service_control_manager::stop(uint32_t time_limit_ms) {
    return change_state(SERVICE_STOPPED, SERVICE_STOP_PENDING, SERVICE_CONTROL_STOP, time_limit_ms);
}

bool service_control_manager::send_transition(DWORD control) {
    const BOOL sent = control == SERVICE_CONTROL_STOP
                          ? ::ControlService(service_handle_.get(), SERVICE_CONTROL_STOP, &status_)
                          : ::StartServiceA(service_handle_.get(), 0, nullptr);
    if (!sent) record_error(::GetLastError());
    return sent != FALSE;
}

int service_control_manager::change_state(DWORD target_state, DWORD pending_state, DWORD control,
                                          uint32_t time_limit_ms) {
    if (!service_handle_) return SCM_RESULT_FAILED;
    // query has recorded the failed read; recording again could only lose its text.
    if (!query()) return SCM_RESULT_FAILED;
    if (status_.dwCurrentState == target_state) return SCM_RESULT_DONE;
    if (status_.dwCurrentState == pending_state) return wait_for_state(target_state, time_limit_ms);
    if (!send_transition(control)) return SCM_RESULT_FAILED;
    currentReader(service_handle_.get(), &status_);
    return wait_for_state(target_state, time_limit_ms);
}

int service_control_manager::wait_for_state(DWORD target_state, uint32_t time_limit_ms) {
    const uint32_t limit = time_limit_ms < MAX_WAIT_MS ? time_limit_ms : MAX_WAIT_MS;
    const WaitClock& clock = *currentClock;
    const DWORD started = clock.tickCount();
    const DWORD interval = PollingInterval(status_.dwWaitHint);
    while (status_.dwCurrentState != target_state) {
        clock.sleep(interval);
        if (!query()) return SCM_RESULT_FAILED;
        if (status_.dwCurrentState == target_state) break;
        const DWORD elapsed = clock.tickCount() - started;
        if (elapsed > limit) return SCM_RESULT_TIMED_OUT;
    }
    return SCM_RESULT_DONE;
}
