// The mapping tree's tip under the real pointer, wheel and keys: it goes when its line moves away.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "res/resource.h"
#include "tests/app/main_dialog_fixture.h"
#include "tests/edit/dialog_driver.h"
#include "ui/tree_view.h"

namespace {

class MainTipsTest : public MainDialogFixture {
protected:
    // The text of the tip over the tree (the tree's own tooltip has no such tool), empty while none shows.
    std::string ShownTip() const {
        for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr));) {
            TOOLINFOA tool{};  // no text buffer: only whether the tool is there
            tool.cbSize = sizeof tool;
            tool.hwnd = Window();
            tool.uId = reinterpret_cast<UINT_PTR>(Tree());
            if (SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)))
                return IsWindowVisible(tip) ? ui::WindowText(tip) : std::string();
        }
        return "(no tooltip over the tree)";
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
        RECT text{};
        TreeView_GetItemRect(Tree(), line, &text, TRUE);
        POINT at{text.left + 4, (text.top + text.bottom) / 2};
        ClientToScreen(Tree(), &at);
        SetCursorPos(at.x + 2, at.y);
        SetCursorPos(at.x, at.y);
        const std::string port = "External port: " + std::to_string(8000 + ui::TreeItemData(Tree(), line)) + "\r\n";
        if (PumpUntil([&] { return ShownTip().find(port) != std::string::npos; })) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "over the line of " << port << "the tip shows: " << ShownTip();
    }
};

TEST_F(MainTipsTest, TheTipGoesWithItsLineOnAScrollARefillAndAClear) {
    Router(40);
    Create();
    Click(IDC_REFRESH);
    SetForegroundWindow(Window());
    SetFocus(Tree());
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    // A wheel turn, or End, moves another line under the resting pointer.
    for (std::vector<INPUT> scroll : {std::vector<INPUT>{wheel}, gktest::KeyStroke(VK_END)}) {
        ASSERT_TRUE(TipOfFirstLineShows());
        const HTREEITEM top = TreeView_GetFirstVisible(Tree());
        SendInput(static_cast<UINT>(scroll.size()), scroll.data(), sizeof(INPUT));
        ASSERT_TRUE(PumpUntil([&] { return TreeView_GetFirstVisible(Tree()) != top; })) << "the tree did not scroll";
        EXPECT_EQ(ShownTip(), "") << (scroll.size() == 1 ? "a wheel turn" : "End");
    }
    // The lines are new, whatever they show.
    for (UINT message : {WMU_REFILL_TREE, WMU_CLEAR_TREE}) {
        ASSERT_TRUE(TipOfFirstLineShows());
        SendMessageA(Window(), message, 0, 0);
        EXPECT_EQ(ShownTip(), "") << (message == WMU_REFILL_TREE ? "a refill" : "a clear");
    }
}

}  // namespace
