#include "diag/service_control_manager.h"

#include "diag/listeners.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/diag/test_service_support.h"
#include "ui/text.h"

namespace {

using test_service::Behaviour;
using test_service::ScopedTestService;

// The real service is a Wine process: on a busy machine it may take many seconds to react.
constexpr uint32_t LIMIT_MS = ScopedTestService::kWaitMs;

std::string SystemText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_FROM_SYSTEM,
                                        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    const ui::UniqueHLocal owned(buffer);
    return length ? std::string(buffer, length) : std::string();
}

// A clock that advances only when the wait sleeps, recording every sleep.
struct SimulatedClock {
    static DWORD now;
    static std::vector<DWORD> sleeps;
    static DWORD TickCount() { return now; }
    static void Sleep(DWORD milliseconds) {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
};
DWORD SimulatedClock::now = 0;
std::vector<DWORD> SimulatedClock::sleeps;
const WaitClock simulatedClock{&SimulatedClock::TickCount, &SimulatedClock::Sleep};

// The real clock, with every sleep recorded. The first sleep settles a held service, so the
// wait surely begins while the service is still pending.
std::vector<DWORD> realSleeps;
ScopedTestService* releasedOnSleep = nullptr;
DWORD releasedInto = 0;
void RecordedSleep(DWORD milliseconds) {
    realSleeps.push_back(milliseconds);
    if (releasedOnSleep) std::exchange(releasedOnSleep, nullptr)->Release(releasedInto);
    ::Sleep(milliseconds);
}
DWORD RealTick() { return ::GetTickCount(); }
const WaitClock recordedRealClock{&RealTick, &RecordedSleep};

// A scripted status read: states in turn (the last repeats), a wait hint, and an optional failure.
struct ScriptedStatus {
    static std::vector<DWORD> states;
    static std::vector<DWORD> hints;
    static size_t reads;
    static size_t failAtRead;  // 1-based; 0 never fails
    static BOOL Read(SC_HANDLE, SERVICE_STATUS* status) {
        ++reads;
        if (reads == failAtRead) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const size_t i = reads - 1;
        *status = SERVICE_STATUS{};
        status->dwCurrentState = states[i < states.size() ? i : states.size() - 1];
        status->dwWaitHint = hints[i < hints.size() ? i : hints.size() - 1];
        return TRUE;
    }
    static void Script(std::vector<DWORD> newStates, std::vector<DWORD> newHints, size_t failAt = 0) {
        states = std::move(newStates);
        hints = std::move(newHints);
        reads = 0;
        failAtRead = failAt;
    }
};
std::vector<DWORD> ScriptedStatus::states;
std::vector<DWORD> ScriptedStatus::hints;
size_t ScriptedStatus::reads = 0;
size_t ScriptedStatus::failAtRead = 0;

// Puts the seams back whatever the test did.
class SeamGuard {
public:
    explicit SeamGuard(const WaitClock* clock, service_control_manager::StatusReader reader = nullptr) {
        service_control_manager::SetWaitClock(clock);
        service_control_manager::SetStatusReader(reader);
        SimulatedClock::now = 0;
        SimulatedClock::sleeps.clear();
        realSleeps.clear();
        releasedOnSleep = nullptr;
    }
    ~SeamGuard() {
        releasedOnSleep = nullptr;
        service_control_manager::SetWaitClock(nullptr);
        service_control_manager::SetStatusReader(nullptr);
    }
};

class RealServiceTest : public ::testing::Test {
protected:
    // Registers the test service under a fresh name; false (skipped or failed) when the test cannot go on.
    bool Register(const Behaviour& behaviour) {
        return test_service::RegisterForTest(service_, test_service::UniqueServiceName("gkdiag"), behaviour);
    }
    std::unique_ptr<service_control_manager> Open() {
        auto controller = std::make_unique<service_control_manager>(service_->name().c_str());
        EXPECT_NE(controller->service_handle(), nullptr) << controller->get_error_text();
        return controller;
    }
    std::unique_ptr<ScopedTestService> service_;
};

TEST(ServiceControlManager, MissingServiceLeavesNoHandleAndTheSystemText) {
    const std::string name = test_service::UniqueServiceName("gkabsent");
    service_control_manager controller(name.c_str());
    EXPECT_NE(controller.scm_handle(), nullptr);
    EXPECT_EQ(controller.service_handle(), nullptr);
    EXPECT_EQ(controller.error_code(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    ASSERT_FALSE(SystemText(ERROR_SERVICE_DOES_NOT_EXIST).empty());
    EXPECT_EQ(controller.get_error_text(), SystemText(ERROR_SERVICE_DOES_NOT_EXIST));

    controller.record_error(ERROR_ACCESS_DENIED);
    EXPECT_EQ(controller.start(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller.stop(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller.get_error_text(), SystemText(ERROR_ACCESS_DENIED)) << "start and stop record nothing";
}

TEST(ServiceControlManager, WithoutANameOnlyTheManagerIsOpen) {
    service_control_manager controller;
    EXPECT_NE(controller.scm_handle(), nullptr);
    EXPECT_EQ(controller.service_handle(), nullptr);
    EXPECT_EQ(controller.start(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller.stop(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller.error_code(), 0u);
    EXPECT_EQ(controller.get_error_text(), "");
}

TEST(ServiceControlManager, RecordErrorKeepsTheSystemTextOrTheFallback) {
    service_control_manager controller;
    EXPECT_TRUE(controller.record_error(ERROR_SERVICE_DISABLED));
    EXPECT_EQ(controller.error_code(), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
    EXPECT_EQ(controller.get_error_text(), SystemText(ERROR_SERVICE_DISABLED));

    const DWORD unknownCode = 0x2000F00Du;
    EXPECT_FALSE(controller.record_error(unknownCode));
    EXPECT_EQ(controller.error_code(), unknownCode);
    EXPECT_EQ(controller.get_error_text(), "Error calling FormatMessage() for last error");
}

TEST_F(RealServiceTest, StartAndStopRoundTrip) {
    if (!Register(Behaviour::Immediate())) return;
    const auto controller = Open();
    ASSERT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_DONE) << controller->get_error_text();
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_RUNNING));

    EXPECT_EQ(controller->stop(LIMIT_MS), SCM_RESULT_DONE) << controller->get_error_text();
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(service_->WaitForState(SERVICE_STOPPED, LIMIT_MS));
    EXPECT_EQ(controller->get_error_text(), "");
}

// The SCM refuses a second start (1056) and a stop of a stopped service (1062),
// so a result of 0 shows that nothing was sent.
TEST_F(RealServiceTest, AlreadyInTheTargetStateSendsNothing) {
    if (!Register(Behaviour::Immediate())) return;
    const auto controller = Open();
    EXPECT_EQ(controller->stop(LIMIT_MS), SCM_RESULT_DONE);
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));

    ASSERT_TRUE(service_->Start()) << service_->failure();
    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_DONE);
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(controller->error_code(), 0u);
}

TEST_F(RealServiceTest, StopPendingOnlyWaitsPollingAtTheWaitHint) {
    if (!Register(Behaviour::Held(150))) return;
    const auto controller = Open();
    ASSERT_TRUE(service_->Start()) << service_->failure();
    ASSERT_TRUE(service_->SendStop()) << service_->failure();
    ASSERT_TRUE(service_->WaitForState(SERVICE_STOP_PENDING, LIMIT_MS));

    const SeamGuard seams(&recordedRealClock);
    releasedOnSleep = service_.get();
    releasedInto = SERVICE_STOPPED;
    EXPECT_EQ(controller->stop(LIMIT_MS), SCM_RESULT_DONE) << controller->get_error_text();
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(controller->error_code(), 0u);
    ASSERT_FALSE(realSleeps.empty());
    for (const DWORD sleep : realSleeps) EXPECT_EQ(sleep, 150u);
}

// Paused, then continue sent: start must wait for running without StartServiceA (which would answer 1056).
TEST_F(RealServiceTest, ContinuePendingOnlyWaits) {
    if (!Register(Behaviour::Held(100))) return;
    const auto controller = Open();
    ASSERT_TRUE(service_->Start()) << service_->failure();
    ASSERT_TRUE(service_->Pause()) << service_->failure();
    ASSERT_TRUE(service_->SendContinue()) << service_->failure();
    ASSERT_TRUE(service_->WaitForState(SERVICE_CONTINUE_PENDING, LIMIT_MS));

    const SeamGuard seams(&recordedRealClock);
    releasedOnSleep = service_.get();
    releasedInto = SERVICE_RUNNING;
    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_DONE) << controller->get_error_text();
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(controller->error_code(), 0u);
}

TEST_F(RealServiceTest, StartPendingIsStartedAgainAndThePlatformRefuses) {
    if (!Register(Behaviour::Held(500))) return;
    const auto controller = Open();
    ASSERT_TRUE(service_->StartNoWait()) << service_->failure();
    ASSERT_TRUE(service_->WaitForState(SERVICE_START_PENDING, LIMIT_MS));

    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller->error_code(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    EXPECT_EQ(controller->get_error_text(), SystemText(ERROR_SERVICE_ALREADY_RUNNING));
}

TEST_F(RealServiceTest, DisabledServiceAnswersFailedWithTheSystemText) {
    if (!Register(Behaviour::Immediate())) return;
    ASSERT_TRUE(service_->Disable()) << service_->failure();
    const auto controller = Open();
    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller->error_code(), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
    EXPECT_EQ(controller->get_error_text(), SystemText(ERROR_SERVICE_DISABLED));
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(RealServiceTest, IgnoredStopTimesOutAndRecordsNothing) {
    if (!Register(Behaviour::IgnoreStop())) return;
    const auto controller = Open();
    ASSERT_TRUE(service_->Start()) << service_->failure();

    const SeamGuard seams(&simulatedClock);
    EXPECT_EQ(controller->stop(60000), SCM_RESULT_TIMED_OUT);
    EXPECT_EQ(controller->error_code(), 0u);
    EXPECT_EQ(controller->get_error_text(), "");
    EXPECT_EQ(controller->status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    // The limit is looked at after each read, so the wait ends within one interval past it.
    EXPECT_GT(SimulatedClock::now, 60000u);
    EXPECT_LE(SimulatedClock::now, 61000u);
}

TEST_F(RealServiceTest, FailedReadBeforeTheChangeSendsNothingAndKeepsItsText) {
    if (!Register(Behaviour::Immediate())) return;
    const auto controller = Open();
    const SERVICE_STATUS before = controller->status();
    ScriptedStatus::Script({SERVICE_STOPPED}, {0}, 1);
    const SeamGuard seams(&simulatedClock, &ScriptedStatus::Read);

    EXPECT_EQ(controller->start(LIMIT_MS), SCM_RESULT_FAILED);
    EXPECT_EQ(controller->error_code(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(controller->get_error_text(), SystemText(ERROR_INVALID_HANDLE));
    EXPECT_EQ(controller->status().dwCurrentState, before.dwCurrentState) << "a failed read keeps the status";
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
}

struct IntervalCase {
    DWORD waitHint;
    DWORD interval;
};

void PrintTo(const IntervalCase& c, std::ostream* os) { *os << "hint " << c.waitHint << " ms"; }

class PollingIntervalTest : public ::testing::TestWithParam<IntervalCase> {};

// The hint read before the wait fixes the interval; later hints (here 7) change nothing.
TEST_P(PollingIntervalTest, FixedForTheWholeWait) {
    const IntervalCase c = GetParam();
    service_control_manager controller;
    ScriptedStatus::Script({SERVICE_STOP_PENDING, SERVICE_STOP_PENDING, SERVICE_STOP_PENDING, SERVICE_STOPPED},
                           {c.waitHint, 7});
    const SeamGuard seams(&simulatedClock, &ScriptedStatus::Read);
    ASSERT_TRUE(controller.query());

    EXPECT_EQ(controller.wait_for_state(SERVICE_STOPPED, 300000), SCM_RESULT_DONE);
    EXPECT_EQ(SimulatedClock::sleeps, std::vector<DWORD>(3, c.interval));
    EXPECT_EQ(service_control_manager::PollingInterval(c.waitHint), c.interval);
}

INSTANTIATE_TEST_SUITE_P(WaitHints, PollingIntervalTest,
                         ::testing::Values(IntervalCase{0, 1000}, IntervalCase{1, 1}, IntervalCase{2500, 2500},
                                           IntervalCase{10000, 10000}, IntervalCase{10001, 1000},
                                           IntervalCase{15000, 1000}),
                         [](const ::testing::TestParamInfo<IntervalCase>& info) {
                             return "Hint" + std::to_string(info.param.waitHint);
                         });

struct LimitCase {
    uint32_t limit;
    DWORD startTick;
    size_t sleeps;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << "limit " << c.limit << " ms from tick " << c.startTick; }

class WaitLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(WaitLimitTest, TimesOutAfterTheCappedLimitEvenAcrossTheTickWrap) {
    const LimitCase c = GetParam();
    service_control_manager controller;
    ScriptedStatus::Script({SERVICE_START_PENDING}, {0});
    const SeamGuard seams(&simulatedClock, &ScriptedStatus::Read);
    ASSERT_TRUE(controller.query());
    SimulatedClock::now = c.startTick;

    EXPECT_EQ(controller.wait_for_state(SERVICE_RUNNING, c.limit), SCM_RESULT_TIMED_OUT);
    EXPECT_EQ(SimulatedClock::sleeps.size(), c.sleeps);
    EXPECT_EQ(controller.error_code(), 0u);
    EXPECT_EQ(controller.get_error_text(), "");
}

INSTANTIATE_TEST_SUITE_P(Limits, WaitLimitTest,
                         ::testing::Values(LimitCase{0, 0, 1}, LimitCase{60000, 0, 61}, LimitCase{300000, 0, 301},
                                           LimitCase{600000, 0, 301}, LimitCase{0xFFFFFFFFu, 0, 301},
                                           LimitCase{10000, 0xFFFFF000u, 11}),
                         [](const ::testing::TestParamInfo<LimitCase>& info) {
                             return "Limit" + std::to_string(info.param.limit) + "From" +
                                    std::to_string(info.param.startTick);
                         });

TEST(WaitForState, AlreadyThereReturnsAtOnceWithoutSleeping) {
    service_control_manager controller;
    ScriptedStatus::Script({SERVICE_RUNNING}, {0});
    const SeamGuard seams(&simulatedClock, &ScriptedStatus::Read);
    ASSERT_TRUE(controller.query());
    EXPECT_EQ(controller.wait_for_state(SERVICE_RUNNING, 0), SCM_RESULT_DONE);
    EXPECT_TRUE(SimulatedClock::sleeps.empty());
}

TEST(WaitForState, FailedReadInsideTheWaitKeepsItsCodeAndText) {
    service_control_manager controller;
    controller.record_error(ERROR_SERVICE_DISABLED);
    ScriptedStatus::Script({SERVICE_STOP_PENDING}, {0}, 3);
    const SeamGuard seams(&simulatedClock, &ScriptedStatus::Read);
    ASSERT_TRUE(controller.query());

    EXPECT_EQ(controller.wait_for_state(SERVICE_STOPPED, 60000), SCM_RESULT_FAILED);
    EXPECT_EQ(SimulatedClock::sleeps.size(), 2u);
    EXPECT_EQ(controller.error_code(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(controller.get_error_text(), SystemText(ERROR_INVALID_HANDLE));
    EXPECT_EQ(controller.status().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
}

// A registration left behind by a crashed run (still running, ignoring stop) is replaced, and the
// guard's own registration is gone after it.
TEST(ScopedTestService, ReplacesAStaleRegistrationAndRemovesItsOwn) {
    const std::string name = test_service::UniqueServiceName("gkstale");
    const ui::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager && GetLastError() == ERROR_ACCESS_DENIED) GTEST_SKIP() << "no rights to register a service";
    ASSERT_TRUE(manager);
    const std::string commandLine = "\"" + test_service::TestServiceExePath() + "\" ignore-stop";
    {
        const ui::UniqueScHandle stale(CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                      SERVICE_ERROR_IGNORE, commandLine.c_str(), nullptr, nullptr,
                                                      nullptr, nullptr, nullptr));
        ASSERT_TRUE(stale) << GetLastError();
        ASSERT_TRUE(StartServiceA(stale.get(), 0, nullptr)) << GetLastError();
    }
    {
        ScopedTestService service(name, Behaviour::Immediate());
        ASSERT_TRUE(service.ok()) << service.failure();
        EXPECT_EQ(service.CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
        ASSERT_TRUE(service.Start()) << service.failure();
    }
    SetLastError(0xdeadbeef);
    const ui::UniqueScHandle gone(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    EXPECT_FALSE(gone);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

// A listener in a service's process is named by its service: Windows lists each running service with
// its process to a user without administrator rights.
TEST(ServicesByProcess, ListsARunningServiceUnderItsProcess) {
    std::unique_ptr<test_service::ScopedTestService> service;
    if (!test_service::RegisterForTest(service, test_service::UniqueServiceName("gkhost"), test_service::Behaviour::Immediate()))
        return;
    ASSERT_TRUE(service->Start());
    const DWORD pid = service->ProcessId();
    ASSERT_NE(pid, 0u);
    const auto hosted = ServicesByProcess();
    const auto names = hosted.find(pid);
    ASSERT_NE(names, hosted.end());
    EXPECT_EQ(names->second, std::vector<std::wstring>{ui::AnsiToWide(service->name())});
}

}  // namespace
