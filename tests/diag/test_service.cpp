// A real service for the tests, registered with the SCM under a test name. Its
// behaviour comes from the arguments of its registered command line:
//   immediate                 running at once, stopped at once on stop
//   pending <ms> <hint>       every transition (start, stop, pause, continue) is
//                             reported pending with the wait hint for <ms> first
//                             (4294967295: until released), or until the test
//                             releases it through the event of the settled state
//   ignore-stop               accepts the stop control and goes on running
// Pause and continue are accepted in every mode. Control 200 ends the service at
// once whatever the mode, so a fixture can always get rid of it.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/diag/test_service_release.h"
#include "ui/handles.h"

namespace {

constexpr DWORD CONTROL_END_NOW = 200;
constexpr DWORD STEP_MS = 50;

enum class Mode { Immediate, Pending, IgnoreStop };

struct Behaviour {
    Mode mode = Mode::Immediate;
    DWORD pendingMs = 0;
    DWORD waitHintMs = 0;
};

// What the control handler asks the service thread to do next.
enum class Request { None, Stop, Pause, Continue, EndNow };

class TestService {
public:
    explicit TestService(const Behaviour& behaviour) : behaviour_(behaviour) {}

    void Run(const char* name) {
        name_ = name;
        wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        handle_ = RegisterServiceCtrlHandlerExA(name, &TestService::Handler, this);
        if (!handle_ || !wake_) return;
        Transition(SERVICE_START_PENDING, SERVICE_RUNNING);
        for (;;) {
            WaitForSingleObject(wake_, INFINITE);
            const Request request = static_cast<Request>(InterlockedExchange(&request_, 0));
            if (request == Request::EndNow) break;
            if (request == Request::Stop) {
                Transition(SERVICE_STOP_PENDING, SERVICE_STOPPED);
                break;
            }
            if (request == Request::Pause) Transition(SERVICE_PAUSE_PENDING, SERVICE_PAUSED);
            if (request == Request::Continue) Transition(SERVICE_CONTINUE_PENDING, SERVICE_RUNNING);
        }
        if (status_.dwCurrentState != SERVICE_STOPPED) Report(SERVICE_STOPPED, 0, 0);
    }

private:
    static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context) {
        return static_cast<TestService*>(context)->OnControl(control);
    }

    DWORD OnControl(DWORD control) {
        switch (control) {
        case SERVICE_CONTROL_STOP:
            if (behaviour_.mode != Mode::IgnoreStop) Ask(Request::Stop);
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            Ask(Request::Pause);
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            Ask(Request::Continue);
            return NO_ERROR;
        case CONTROL_END_NOW:
            Ask(Request::EndNow);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    void Ask(Request request) {
        InterlockedExchange(&request_, static_cast<LONG>(request));
        SetEvent(wake_);
    }

    // Reports the pending state for the configured time or until released, then the settled one.
    void Transition(DWORD pending, DWORD settled) {
        if (behaviour_.mode == Mode::Pending) {
            const ui::UniqueHandleObject release(
                CreateEventA(nullptr, FALSE, FALSE, test_service::ReleaseEventName(name_, settled).c_str()));
            const DWORD started = GetTickCount();
            DWORD checkPoint = 1;
            while (behaviour_.pendingMs == INFINITE || GetTickCount() - started < behaviour_.pendingMs) {
                Report(pending, checkPoint++, behaviour_.waitHintMs);
                // A request to end at once cuts any pending phase short.
                if (request_ == static_cast<LONG>(Request::EndNow)) return;
                if (!release) Sleep(STEP_MS);
                else if (WaitForSingleObject(release.get(), STEP_MS) == WAIT_OBJECT_0) break;
            }
        }
        Report(settled, 0, 0);
    }

    void Report(DWORD state, DWORD checkPoint, DWORD waitHint) {
        status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status_.dwCurrentState = state;
        status_.dwControlsAccepted =
            state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
        status_.dwWin32ExitCode = NO_ERROR;
        status_.dwCheckPoint = checkPoint;
        status_.dwWaitHint = waitHint;
        SetServiceStatus(handle_, &status_);
    }

    Behaviour behaviour_;
    std::string name_;
    SERVICE_STATUS_HANDLE handle_ = nullptr;
    HANDLE wake_ = nullptr;
    volatile LONG request_ = 0;
    SERVICE_STATUS status_{};
};

Behaviour behaviour;

void WINAPI ServiceMain(DWORD argc, char** argv) {
    TestService service(behaviour);
    service.Run(argc > 0 ? argv[0] : "");
}

DWORD ParseMs(const char* text) { return static_cast<DWORD>(std::strtoul(text, nullptr, 10)); }

Behaviour ParseBehaviour(int argc, char** argv) {
    Behaviour parsed;
    const std::string mode = argc > 1 ? argv[1] : "immediate";
    if (mode == "pending") {
        parsed.mode = Mode::Pending;
        parsed.pendingMs = argc > 2 ? ParseMs(argv[2]) : 1000;
        parsed.waitHintMs = argc > 3 ? ParseMs(argv[3]) : 0;
    } else if (mode == "ignore-stop") {
        parsed.mode = Mode::IgnoreStop;
    }
    return parsed;
}

}  // namespace

int main(int argc, char** argv) {
    behaviour = ParseBehaviour(argc, argv);
    // The name is not checked for an own-process service.
    char anyName[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{anyName, &ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : static_cast<int>(GetLastError());
}
