// The status panel: OS and DHCP verdicts over a scripted IP Helper, and the SSDP
// line and button over a test service registered as "SSDPSRV" in Wine's SCM.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>

#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "tests/diag/fake_ip_helper.h"
#include "tests/diag/test_service_support.h"

namespace {

using fake_ip_helper::FakeAdapter;
using HostStatusTest = MainDialogFixture;

constexpr const char* kPreVista =
    "Your OS is PRE Windows Vista. This program may not be able to detect/provision your router.";
constexpr const char* kVista = "Your OS is at least Windows Vista. :) Good!";

struct OsCase {
    DWORD platform, major, minor;
    bool fails;
    const char* text;
};

TEST_F(HostStatusTest, OsVerdictFollowsTheVersionNumber) {
    const OsCase cases[] = {
        {2, 5, 1, false, kPreVista}, {2, 5, 255, false, kPreVista}, {2, 6, 0, false, kVista},
        {2, 6, 1, false, kVista},    {2, 10, 0, false, kVista},     {1, 9, 0, false, kPreVista},
        {0, 6, 1, false, kPreVista}, {2, 6, 1, true, kPreVista},    {2, 6, 2, false, kVista},
    };
    Create();
    for (const OsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.platform << "." << c.major << "." << c.minor << (c.fails ? " fails" : ""));
        fake_ip_helper::ScopedFakeIpHelper fake;
        fake.SetOsVersion(c.platform, c.major, c.minor);
        if (c.fails) fake.FailOsVersion();
        dialog_->RefreshHostStatus();
        EXPECT_EQ(Text(IDC_OS_STATUS), c.text);
    }
}

struct DhcpCase {
    const char* name;
    std::vector<FakeAdapter> adapters;
    std::string text;
};

std::string DoingDhcp(const std::string& address) { return "Your NIC [ " + address + " ] is doing DHCP. Good!"; }
const std::string kNone =
    "NONE of your NICs are doing DHCP. Most routers appear to require this for UPnP provisioning.";

TEST_F(HostStatusTest, DhcpVerdictOverTheAdapterList) {
    const DhcpCase cases[] = {
        {"no adapters", {}, "No adapters detected. This is a problem..."},
        {"one DHCP", {{true, {"192.168.1.20"}}}, DoingDhcp("192.168.1.20")},
        {"one DHCP without address", {{true, {"0.0.0.0"}}}, DoingDhcp("0.0.0.0")},
        {"one static", {{false, {"10.0.0.5"}}},
         "Your NIC [ 10.0.0.5 ] is NOT doing DHCP. Most routers require DHCP for UPnP behavior."},
        {"static then DHCP", {{false, {"10.0.0.5"}}, {true, {"192.168.1.20"}}}, DoingDhcp("192.168.1.20")},
        {"first and third DHCP", {{true, {"192.168.1.20"}}, {false, {"10.0.0.5"}}, {true, {"10.1.1.7"}}},
         "Multiple NICS: at least one [ 192.168.1.20,10.1.1.7 ] doing DHCP. I hope the right one is setup."},
        {"both DHCP at 0.0.0.0", {{true, {"0.0.0.0"}}, {true, {"0.0.0.0"}}}, kNone},
        {"neither DHCP", {{false, {"10.0.0.5"}}, {false, {"10.0.0.6"}}}, kNone},
        {"only first addresses count", {{true, {"192.0.2.1", "192.0.2.2"}}, {true, {"192.0.2.3", "192.0.2.4"}}},
         "Multiple NICS: at least one [ 192.0.2.1,192.0.2.3 ] doing DHCP. I hope the right one is setup."},
        {"full-width address", {{true, {"255.255.255.255"}}, {false, {}}}, DoingDhcp("255.255.255.255")},
    };
    Create();
    for (const DhcpCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake_ip_helper::ScopedFakeIpHelper fake;
        fake.SetAdapters(c.adapters);
        dialog_->RefreshHostStatus();
        EXPECT_EQ(Text(IDC_DHCP_STATUS), c.text);
    }
}

TEST_F(HostStatusTest, WithoutTheIpHelperLibraryNoAdaptersAreDetected) {
    Create();
    fake_ip_helper::ScopedFakeIpHelper fake;
    fake.SetAdapters({{true, {"192.0.2.9"}}});
    fake.SetLibraryHandle(nullptr);
    dialog_->RefreshHostStatus();
    EXPECT_EQ(Text(IDC_DHCP_STATUS), "No adapters detected. This is a problem...");
}

// --- the SSDP panel

constexpr const char* kStopped =
    "SSDP (UPnP) Discovery Service is stopped/stopping. SSDP must be running to detect your UPnP router.";
constexpr const char* kRunning = "SSDP (UPnP) Discovery Service is running/starting. Good!";
constexpr const char* kUnknown = "SSDP (UPnP) Discovery Service is in an unknown state";

class SsdpPanelTest : public MainDialogFixture {
protected:
    // Registers the test service as "SSDPSRV"; the controller is built afterwards, as at program start.
    bool Register(const test_service::Behaviour& behaviour) {
        if (!test_service::RegisterForTest(service_, "SSDPSRV", behaviour)) return false;
        ssdp_ = std::make_unique<service_control_manager>("SSDPSRV");
        return true;
    }
    void TearDown() override {
        MainDialogFixture::TearDown();
        ssdp_.reset();
        service_.reset();
    }
    void ExpectPanel(const char* caption, bool enabled, const char* text) {
        EXPECT_EQ(Text(IDC_SSDP_BUTTON), caption);
        EXPECT_EQ(IsWindowEnabled(Item(IDC_SSDP_BUTTON)) != FALSE, enabled);
        EXPECT_EQ(Text(IDC_SSDP_STATUS), text);
    }

    std::unique_ptr<test_service::ScopedTestService> service_;
    std::unique_ptr<service_control_manager> ssdp_;
};

TEST_F(SsdpPanelTest, StoppedServiceOffersStartAndAClickStartsIt) {
    if (!Register(test_service::Behaviour::Immediate())) return;
    Create(*ssdp_);
    ExpectPanel("Start SSDP", true, kStopped);
    EXPECT_FALSE(dialog_->SsdpRunning());
    Click(IDC_SSDP_BUTTON);
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_RUNNING));
    ExpectPanel("Stop SSDP", true, kRunning);
    EXPECT_TRUE(dialog_->SsdpRunning());
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(SsdpPanelTest, RunningServiceOffersStopAndAClickStopsIt) {
    if (!Register(test_service::Behaviour::Immediate())) return;
    ASSERT_TRUE(service_->Start());
    Create(*ssdp_);
    ExpectPanel("Stop SSDP", true, kRunning);
    Click(IDC_SSDP_BUTTON);
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
    ExpectPanel("Start SSDP", true, kStopped);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(SsdpPanelTest, StartPendingIsUnknownUntilTheServiceRuns) {
    if (!Register(test_service::Behaviour::Held(500))) return;
    ASSERT_TRUE(service_->StartNoWait());
    ASSERT_TRUE(service_->WaitForState(SERVICE_START_PENDING, service_->kWaitMs));
    Create(*ssdp_);
    ExpectPanel("?????", false, kUnknown);
    EXPECT_FALSE(dialog_->SsdpRunning());
    ASSERT_TRUE(service_->Release(SERVICE_RUNNING));
    ASSERT_TRUE(service_->WaitForState(SERVICE_RUNNING, service_->kWaitMs));
    SendMessageA(Window(), WM_TIMER, STATUS_TIMER_ID, 0);
    ExpectPanel("Stop SSDP", true, kRunning);
}

TEST_F(SsdpPanelTest, PausedIsUnknownAndKeepsWhatTheButtonMeant) {
    if (!Register(test_service::Behaviour::Immediate())) return;
    ASSERT_TRUE(service_->Start());
    Create(*ssdp_);
    EXPECT_TRUE(dialog_->SsdpRunning());
    ASSERT_TRUE(service_->Pause());
    dialog_->RefreshHostStatus();
    ExpectPanel("?????", false, kUnknown);
    EXPECT_TRUE(dialog_->SsdpRunning());
}

TEST_F(SsdpPanelTest, ADisabledServiceCannotStartAndTheBoxSaysWhy) {
    if (!Register(test_service::Behaviour::Immediate())) return;
    ASSERT_TRUE(service_->Disable());
    Create(*ssdp_);
    Click(IDC_SSDP_BUTTON);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    const fakes::Box& box = boxes_.boxes[0];
    const std::string head = "Could not START the service!\r\n\r\n";
    ASSERT_EQ(box.text.rfind(head, 0), 0u) << box.text;
    EXPECT_EQ(box.text.substr(head.size()), ssdp_->get_error_text());
    EXPECT_FALSE(ssdp_->get_error_text().empty());
    EXPECT_EQ(box.caption, "!@##@$@#$");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR | MB_OK));
    EXPECT_EQ(box.owner, Window());
    ExpectPanel("Start SSDP", true, kStopped);
}

TEST_F(SsdpPanelTest, AStopThatIsIgnoredTimesOutIntoTheStopBox) {
    if (!Register(test_service::Behaviour::IgnoreStop())) return;
    ASSERT_TRUE(service_->Start());
    // Let the 60 s limit pass at once.
    static DWORD fakeNow = 0;
    static const WaitClock clock{[] { return fakeNow; }, [](DWORD ms) { fakeNow += ms; }};
    const WaitClock* previous = service_control_manager::SetWaitClock(&clock);
    Create(*ssdp_);
    Click(IDC_SSDP_BUTTON);
    service_control_manager::SetWaitClock(previous);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text.rfind("Could not STOP the service!\r\n\r\n", 0), 0u) << boxes_.boxes[0].text;
    ExpectPanel("Stop SSDP", true, kRunning);
}

// Clicks made while the service changes state are dropped: a double click on "Stop SSDP"
// stops the service once and does not start it again.
TEST_F(SsdpPanelTest, ADoubleClickWhileTheServiceStopsIsOneStop) {
    if (!Register(test_service::Behaviour::Pending(1500, 500))) return;
    ASSERT_TRUE(service_->Start(60000));
    Create(*ssdp_);
    ExpectPanel("Stop SSDP", true, kRunning);
    RECT button;
    GetWindowRect(Item(IDC_SSDP_BUTTON), &button);
    SetForegroundWindow(Window());
    SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    gui_test::DeliverInput(Window(), gui_test::MouseClicks(2));
    EXPECT_EQ(service_->CurrentState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(boxes_.boxes.empty()) << boxes_.boxes[0].text;
    ExpectPanel("Start SSDP", true, kStopped);
}

TEST_F(HostStatusTest, AbsentServiceCannotBeManagedAndTheButtonKeepsItsCaption) {
    test_service::RemoveService("SSDPSRV");
    service_control_manager ssdp("SSDPSRV");
    Create(ssdp);
    EXPECT_EQ(Text(IDC_SSDP_BUTTON), "SSDP Button");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SSDP_BUTTON)));
    EXPECT_EQ(Text(IDC_SSDP_STATUS),
              "Can not manage SSDP (UPnP) Discovery Service. Try: 'Right Click->Run As Administrator' if you need "
              "this info/action.");
}

TEST_F(SsdpPanelTest, OneTickCostsLittleCpu) {
    if (!Register(test_service::Behaviour::Immediate())) return;
    ASSERT_TRUE(service_->Start());
    Create(*ssdp_);
    constexpr int kTicks = 500;
    const double micros = gui_test::ThreadCpuMicroseconds([this] {
        for (int i = 0; i < kTicks; ++i) SendMessageA(Window(), WM_TIMER, STATUS_TIMER_ID, 0);
    });
    const double perTick = micros / kTicks;
    std::cout << "RefreshHostStatus: " << perTick << " us CPU per tick over " << kTicks << " ticks\n";
    RecordProperty("cpu_us_per_tick", std::to_string(perTick));
    EXPECT_LT(perTick, 20000.0);  // under 2 % of the second between two ticks
    ExpectPanel("Stop SSDP", true, kRunning);
}

}  // namespace
