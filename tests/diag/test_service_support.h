#pragma once
// Test support: registers our own test service exe (gk_test_service) with the
// Service Control Manager under a name of the test's choice, drives it, and
// removes it again. Link the library gk_test_service_support; it builds the exe.
//
//   std::unique_ptr<test_service::ScopedTestService> service;
//   if (!test_service::RegisterForTest(service, "SSDPSRV", test_service::Behaviour::Immediate())) return;
//   ASSERT_TRUE(service->Start());                      // returns once running
//   ASSERT_TRUE(service->Disable());                    // sc config start= disabled
//
// Behaviours (the exe's command line): Immediate() starts and stops at once;
// Pending(ms, hint) reports START_PENDING / STOP_PENDING / PAUSE_PENDING /
// CONTINUE_PENDING with the wait hint for ms before settling; Held(hint) stays
// pending until the test calls Release() with the state to settle in, so a test
// meets the pending state whatever the machine's speed; IgnoreStop() accepts the
// stop control and keeps running. Pause and continue work in every behaviour, so
// Pause() gives a paused service; Start() and Pause() release their own phase.
//
// The guard first removes any registration of the same name left by a crashed
// earlier run (ending its process), and its destructor ends the service's
// process and deletes the registration even when the test failed. All test
// processes of a run share one Wine SCM: use UniqueServiceName() unless the test
// needs a fixed name. The exe is looked for beside the test's own exe, then in
// the sibling directory "diag" of the build tree (..\diag\gk_test_service.exe).
#include <windows.h>

#include <memory>
#include <string>

#include "ui/handles.h"

namespace test_service {

struct Behaviour {
    std::string arguments;

    static Behaviour Immediate() { return {"immediate"}; }
    static Behaviour Pending(DWORD pendingMs, DWORD waitHintMs);
    static Behaviour Held(DWORD waitHintMs) { return Pending(INFINITE, waitHintMs); }
    static Behaviour IgnoreStop() { return {"ignore-stop"}; }
};

// A name no other test process of the run uses: prefix, process id and a counter.
std::string UniqueServiceName(const char* prefix);

// The full path of gk_test_service.exe, or empty when it cannot be found.
std::string TestServiceExePath();

// Ends the service's process if it runs and deletes the registration, waiting
// until the SCM has forgotten the name. True when no service of that name is left.
bool RemoveService(const char* name);

class ScopedTestService {
public:
    // The service is a Wine process: on a busy machine it may take many seconds to react.
    static constexpr DWORD kWaitMs = 120000;

    ScopedTestService(std::string name, const Behaviour& behaviour);
    ~ScopedTestService();
    ScopedTestService(const ScopedTestService&) = delete;
    ScopedTestService& operator=(const ScopedTestService&) = delete;

    bool ok() const { return static_cast<bool>(service_); }
    // True when the registration failed for want of rights (skip the test).
    bool rightsMissing() const { return error_ == ERROR_ACCESS_DENIED; }
    const std::string& failure() const { return failure_; }
    const std::string& name() const { return name_; }

    // StartServiceA, then waits (up to timeoutMs) until running; true when running.
    bool Start(DWORD timeoutMs = kWaitMs);
    // StartServiceA without waiting; true when the SCM took it.
    bool StartNoWait();
    // Sends the stop control without waiting; true when the SCM took it.
    bool SendStop();
    // Sends pause or continue without waiting; true when the SCM took it.
    bool SendPause();
    bool SendContinue();
    // Pauses and waits until paused.
    bool Pause(DWORD timeoutMs = kWaitMs);
    // Ends the pending phase toward the state now, or the next one if none runs yet.
    bool Release(DWORD settledState);
    // Polls until the service is in the state, up to timeoutMs; true when it is.
    bool WaitForState(DWORD state, DWORD timeoutMs);
    // The current state, or 0 when it cannot be read.
    DWORD CurrentState() const;
    // The id of the process that runs it, or 0 while it runs in none.
    DWORD ProcessId() const;
    // Start type disabled (or back to demand start).
    bool Disable();
    bool Enable();
    // A new command line for the next start.
    bool SetBehaviour(const Behaviour& behaviour);

private:
    bool Fail(const char* what);
    bool Control(DWORD control);

    std::string name_;
    DWORD error_ = 0;
    std::string failure_;
    ui::UniqueScHandle manager_;
    ui::UniqueScHandle service_;
    // Held open for the guard's life, so a release waits in the event until the service takes it.
    ui::UniqueHandleObject released_[3];
};

// Registers the service for a test; false when the test cannot go on: skipped where registering
// needs rights the test lacks, failed otherwise.
bool RegisterForTest(std::unique_ptr<ScopedTestService>& service, std::string name, const Behaviour& behaviour);

}  // namespace test_service
