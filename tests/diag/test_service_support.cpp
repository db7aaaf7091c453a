#include "tests/diag/test_service_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <iterator>

#include "tests/diag/test_service_release.h"

namespace test_service {
namespace {

constexpr DWORD CONTROL_END_NOW = 200;  // the test service ends at once on this control
constexpr DWORD POLL_MS = 20;
constexpr DWORD REMOVE_TIMEOUT_MS = ScopedTestService::kWaitMs;
// The states a pending phase settles in, each with its release event.
constexpr DWORD SETTLED_STATES[] = {SERVICE_RUNNING, SERVICE_STOPPED, SERVICE_PAUSED};
const char EXE_NAME[] = "gk_test_service.exe";

std::string OwnDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Without the "..", so the SCM's command line names the exe plainly.
std::string FullPath(const std::string& path) {
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    return full;
}

std::string CommandLine(const Behaviour& behaviour) {
    return "\"" + TestServiceExePath() + "\" " + behaviour.arguments;
}

DWORD ProcessIdOf(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                              &needed))
        return 0;
    return status.dwCurrentState == SERVICE_STOPPED ? 0 : status.dwProcessId;
}

// Asks the service to end, and ends its process if it does not within a moment.
void EndServiceProcess(SC_HANDLE service) {
    const DWORD processId = ProcessIdOf(service);
    if (processId == 0) return;
    const ui::UniqueHandleObject process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!process) return;
    SERVICE_STATUS status{};
    // The SCM refuses controls while a start is pending; then only ending the process helps.
    const bool asked = ControlService(service, CONTROL_END_NOW, &status) != FALSE;
    if (!asked || WaitForSingleObject(process.get(), 2000) == WAIT_TIMEOUT) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), ScopedTestService::kWaitMs);
    }
}

bool WaitUntilForgotten(SC_HANDLE manager, const char* name) {
    const DWORD started = GetTickCount();
    for (;;) {
        const ui::UniqueScHandle service(OpenServiceA(manager, name, SERVICE_QUERY_STATUS));
        if (!service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return true;
        if (GetTickCount() - started > REMOVE_TIMEOUT_MS) return false;
        Sleep(POLL_MS);
    }
}

}  // namespace

Behaviour Behaviour::Pending(DWORD pendingMs, DWORD waitHintMs) {
    return {"pending " + std::to_string(pendingMs) + " " + std::to_string(waitHintMs)};
}

std::string UniqueServiceName(const char* prefix) {
    static std::atomic<unsigned> counter{0};
    return std::string(prefix) + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

std::string TestServiceExePath() {
    const std::string own = OwnDirectory();
    for (const std::string& candidate : {own + EXE_NAME, own + "..\\diag\\" + EXE_NAME}) {
        if (FileExists(candidate)) return FullPath(candidate);
    }
    return {};
}

bool RemoveService(const char* name) {
    const ui::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    {
        const ui::UniqueScHandle service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
        if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
        EndServiceProcess(service.get());
        DeleteService(service.get());
    }
    return WaitUntilForgotten(manager.get(), name);
}

ScopedTestService::ScopedTestService(std::string name, const Behaviour& behaviour) : name_(std::move(name)) {
    manager_.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) {
        Fail("OpenSCManagerA");
        return;
    }
    if (TestServiceExePath().empty()) {
        error_ = ERROR_FILE_NOT_FOUND;
        failure_ = std::string(EXE_NAME) + " not found beside the test exe";
        return;
    }
    if (!RemoveService(name_.c_str())) {
        Fail("removing the stale service");
        return;
    }
    for (size_t i = 0; i < std::size(SETTLED_STATES); ++i)
        released_[i].reset(CreateEventA(nullptr, FALSE, FALSE, ReleaseEventName(name_, SETTLED_STATES[i]).c_str()));
    const std::string commandLine = CommandLine(behaviour);
    service_.reset(CreateServiceA(manager_.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service_) Fail("CreateServiceA");
}

ScopedTestService::~ScopedTestService() {
    if (!service_) return;
    EndServiceProcess(service_.get());
    DeleteService(service_.get());
    service_.reset();
    WaitUntilForgotten(manager_.get(), name_.c_str());
}

bool ScopedTestService::Fail(const char* what) {
    error_ = GetLastError();
    failure_ = std::string(what) + " failed with " + std::to_string(error_) + " for " + name_;
    return false;
}

bool ScopedTestService::Start(DWORD timeoutMs) {
    return StartNoWait() && Release(SERVICE_RUNNING) && WaitForState(SERVICE_RUNNING, timeoutMs);
}

bool ScopedTestService::Release(DWORD settledState) {
    for (size_t i = 0; i < std::size(SETTLED_STATES); ++i)
        if (SETTLED_STATES[i] == settledState) return released_[i] && SetEvent(released_[i].get());
    return false;
}

bool ScopedTestService::StartNoWait() {
    if (!service_) return false;
    return StartServiceA(service_.get(), 0, nullptr) || Fail("StartServiceA");
}

bool ScopedTestService::Control(DWORD control) {
    SERVICE_STATUS status{};
    if (!service_) return false;
    return ControlService(service_.get(), control, &status) || Fail("ControlService");
}

bool ScopedTestService::SendStop() { return Control(SERVICE_CONTROL_STOP); }
bool ScopedTestService::SendPause() { return Control(SERVICE_CONTROL_PAUSE); }
bool ScopedTestService::SendContinue() { return Control(SERVICE_CONTROL_CONTINUE); }

bool ScopedTestService::Pause(DWORD timeoutMs) {
    return SendPause() && Release(SERVICE_PAUSED) && WaitForState(SERVICE_PAUSED, timeoutMs);
}

bool ScopedTestService::WaitForState(DWORD state, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        if (CurrentState() == state) return true;
        if (GetTickCount() - started > timeoutMs) return false;
        Sleep(POLL_MS);
    }
}

DWORD ScopedTestService::CurrentState() const {
    SERVICE_STATUS status{};
    if (!service_ || !QueryServiceStatus(service_.get(), &status)) return 0;
    return status.dwCurrentState;
}

DWORD ScopedTestService::ProcessId() const { return service_ ? ProcessIdOf(service_.get()) : 0; }

bool ScopedTestService::Disable() {
    if (!service_) return false;
    return ChangeServiceConfigA(service_.get(), SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ||
           Fail("ChangeServiceConfigA");
}

bool ScopedTestService::Enable() {
    if (!service_) return false;
    return ChangeServiceConfigA(service_.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ||
           Fail("ChangeServiceConfigA");
}

bool ScopedTestService::SetBehaviour(const Behaviour& behaviour) {
    if (!service_) return false;
    const std::string commandLine = CommandLine(behaviour);
    return ChangeServiceConfigA(service_.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) ||
           Fail("ChangeServiceConfigA");
}

bool RegisterForTest(std::unique_ptr<ScopedTestService>& service, std::string name, const Behaviour& behaviour) {
    service = std::make_unique<ScopedTestService>(std::move(name), behaviour);
    if (service->rightsMissing()) {
        [&service] { GTEST_SKIP() << "no rights to register a service: " << service->failure(); }();
        return false;
    }
    EXPECT_TRUE(service->ok()) << service->failure();
    return service->ok();
}

}  // namespace test_service
