// The mapping tree's tip under the real pointer, wheel and keys: it goes when its line moves away.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "res/resource.h"
#include "diag/firewall.h"
#include "tests/diag/fake_ip_helper.h"
#include "tests/diag/test_service_support.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/text.h"
#include "ui/tree_view.h"

namespace {

class MainTipsTest : public MainDialogFixture {
protected:
    // The text of the tip over the control (the tree's own tooltip has no such tool), empty while none shows.
    std::wstring ShownTip(HWND control) const {
        for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr));) {
            TOOLINFOA tool{};  // no text buffer: only whether the tool is there
            tool.cbSize = sizeof tool;
            tool.hwnd = Window();
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            if (!SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) continue;
            if (!IsWindowVisible(tip)) return {};
            std::wstring text(static_cast<size_t>(GetWindowTextLengthW(tip)) + 1, L'\0');
            text.resize(static_cast<size_t>(GetWindowTextW(tip, text.data(), static_cast<int>(text.size()))));
            return text;
        }
        return L"(no tooltip over the control)";
    }
    std::wstring ShownTip() const { return ShownTip(Tree()); }
    // Rests the pointer on a point of the control (client coordinates) until its tip shows the part.
    testing::AssertionResult TipShows(HWND control, POINT at, const std::wstring& part) {
        ClientToScreen(control, &at);
        SetCursorPos(at.x + 2, at.y);
        SetCursorPos(at.x, at.y);
        if (PumpUntil([&] { return ShownTip(control).find(part) != std::wstring::npos; })) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the tip shows: " << ui::WideToAnsi(ShownTip(control));
    }
    // Handles messages until the condition holds; a minute is time enough on any machine.
    static bool PumpUntil(const std::function<bool()>& done) {
        for (const DWORD start = GetTickCount(); !done(); gui_test::PumpPending()) {
            if (GetTickCount() - start > 60000) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        }
        return true;
    }
    // Moves the pointer onto the first line's text and rests it there until the line's tip shows.
    testing::AssertionResult TipOfFirstLineShows() {
        const HTREEITEM line = TreeView_GetFirstVisible(Tree());
        const std::wstring port = L"External port: " + std::to_wstring(8000 + ui::TreeItemData(Tree(), line)) + L"\r\n";
        return TipShows(Tree(), LabelPoint(line), port);
    }
    static POINT Middle(HWND control) {
        RECT client{};
        GetClientRect(control, &client);
        return {client.right / 2, client.bottom / 2};
    }
};

TEST_F(MainTipsTest, TheTipGoesWithItsLineOnAScrollARefillAndAClear) {
    Connect(40);
    SetForegroundWindow(Window());
    SetFocus(Tree());
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    // A wheel turn, or End, moves another line under the resting pointer.
    for (std::vector<INPUT> scroll : {std::vector<INPUT>{wheel}, gui_test::KeyStroke(VK_END)}) {
        ASSERT_TRUE(TipOfFirstLineShows());
        const HTREEITEM top = TreeView_GetFirstVisible(Tree());
        SendInput(static_cast<UINT>(scroll.size()), scroll.data(), sizeof(INPUT));
        ASSERT_TRUE(PumpUntil([&] { return TreeView_GetFirstVisible(Tree()) != top; })) << "the tree did not scroll";
        EXPECT_EQ(ShownTip(), L"") << (scroll.size() == 1 ? "a wheel turn" : "End");
    }
    // The lines are new, whatever they show.
    for (UINT message : {WMU_REFILL_TREE, WMU_CLEAR_TREE}) {
        ASSERT_TRUE(TipOfFirstLineShows());
        SendMessageA(Window(), message, 0, 0);
        EXPECT_EQ(ShownTip(), L"") << (message == WMU_REFILL_TREE ? "a refill" : "a clear");
    }
}

// The dialog answers each tool's request for its text, in any script; over the empty list of a
// refresh that found no router, with why it may have found none.
TEST_F(MainTipsTest, EachControlsTipIsTheDialogsAnswer) {
    fakes::MappingValues game = fakes::NumberedValues(0);
    game.description = L"\x6E38\x620F\x670D\x52A1\x5668";
    Router(0).AddListed(game);
    router_->nat.getCollection.Push(fakes::NullOut());
    Create();
    Click(IDC_REFRESH);
    EXPECT_TRUE(TipShows(Tree(), Middle(Tree()), L"Gatekeel found no router that answers over UPnP."));
    Click(IDC_REFRESH);  // the router answers now
    ASSERT_EQ(TreeView_GetCount(Tree()), 1u);
    EXPECT_TRUE(TipShows(Tree(), LabelPoint(TreeView_GetRoot(Tree())), L"Description: " + game.description + L"\r\n"));
    EXPECT_TRUE(TipShows(Item(IDC_SSDP_STATUS), Middle(Item(IDC_SSDP_STATUS)), L"(SSDPSRV)"));
    EXPECT_TRUE(TipShows(Item(IDC_OS_STATUS), Middle(Item(IDC_OS_STATUS)), L"Windows reports version "));
}

int firewallCreations = 0;
HRESULT CountedFirewallCreate(REFCLSID clsid, REFIID iid, void** object) {
    ++firewallCreations;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

// Wine has no firewall: a mapping to this computer says so and nothing else of it, and the policy
// is read at the first such tip after a refresh, not again until the next refresh.
TEST_F(MainTipsTest, TheFirewallIsReadOncePerRefreshAndWineSaysItCannotBeRead) {
    fake_ip_helper::ScopedFakeIpHelper fake;
    fake.SetAdapters({{true, {"192.0.2.20"}}});
    fakes::MappingValues here = fakes::NumberedValues(0);
    here.internalClient = L"192.0.2.20";
    Router(0).AddListed(here);
    router_->AddListed(fakes::NumberedValues(1));
    const FirewallCreator previous = SetFirewallCreator(&CountedFirewallCreate);
    firewallCreations = 0;
    Create();
    const std::wstring cannot = L"\r\nGatekeel cannot read Windows Firewall's settings here.";
    for (int refresh = 1; refresh <= 2; ++refresh) {
        Click(IDC_REFRESH);
        const std::vector<HTREEITEM> lines = Items();
        for (HTREEITEM line : {lines[0], lines[1], lines[0]}) EXPECT_TRUE(TipShows(Tree(), LabelPoint(line), L"External port: "));
        EXPECT_TRUE(TipShows(Tree(), LabelPoint(lines[0]), cannot));
        const std::wstring tip = ShownTip();
        EXPECT_EQ(tip.find(L"Firewall"), tip.rfind(L"Firewall")) << ui::WideToAnsi(tip);
        EXPECT_EQ(firewallCreations, 2 * refresh) << "the products and the policy, once a refresh";
    }
    SetFirewallCreator(previous);
}

// Wine's manager grants every right: this one refuses all access and grants the query alone.
SC_HANDLE OpenForQueryOnly(SC_HANDLE manager, const char* name, DWORD access) {
    if (access == SERVICE_QUERY_STATUS) return OpenServiceA(manager, name, access);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// Without the right to manage the service, the tips still say its state as it is when they show;
// the panel cannot manage it, as before.
TEST_F(MainTipsTest, WithTheRightToQueryAloneTheTipsSayTheServicesState) {
    test_service::ScopedTestService service(test_service::UniqueServiceName("gk_query"), test_service::Behaviour::Immediate());
    if (service.rightsMissing()) GTEST_SKIP() << service.failure();
    ASSERT_TRUE(service.ok()) << service.failure();
    const auto previous = service_control_manager::SetServiceOpener(&OpenForQueryOnly);
    service_control_manager ssdp(service.name().c_str());
    service_control_manager::SetServiceOpener(previous);
    Router(0).nat.getCollection.Push(fakes::NullOut());
    Create(ssdp);
    Click(IDC_REFRESH);
    const std::wstring stopped = L"The SSDP Discovery service is stopped, and without it Windows finds no router; an "
                                 L"administrator can start it: run Gatekeel as administrator and press the SSDP button.";
    EXPECT_TRUE(TipShows(Tree(), Middle(Tree()), L"causes:\r\n- " + stopped));
    EXPECT_TRUE(TipShows(Item(IDC_SSDP_STATUS), Middle(Item(IDC_SSDP_STATUS)), stopped));
    ASSERT_TRUE(service.Start());
    EXPECT_TRUE(TipShows(Item(IDC_OS_STATUS), Middle(Item(IDC_OS_STATUS)), L"Windows reports version "));
    EXPECT_TRUE(TipShows(Item(IDC_SSDP_STATUS), Middle(Item(IDC_SSDP_STATUS)), L"The SSDP Discovery service is running.\r\n"));
    SendMessageA(Window(), WM_TIMER, STATUS_TIMER_ID, 0);
    EXPECT_EQ(Text(IDC_SSDP_STATUS), "Can not manage SSDP (UPnP) Discovery Service. Try: 'Right Click->Run As "
                                     "Administrator' if you need this info/action.");
    EXPECT_EQ(Text(IDC_SSDP_BUTTON), "SSDP Button");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SSDP_BUTTON)));
}

}  // namespace
