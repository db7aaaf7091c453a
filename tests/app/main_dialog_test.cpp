// The main dialog from template 102: initial state, system menu, geometry, closing,
// the timer, and the refresh flow against the fake router.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "app/about_dlg.h"
#include "ui/tree_view.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/dialog.h"

namespace {

constexpr int kLockedIds[] = {IDC_ADD, IDC_EDIT, IDC_DELETE, IDOK, IDC_REFRESH};
using gui_test::kAboutCaption;

using MainDialogTest = MainDialogFixture;

RECT ChildRect(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(MainDialogTest, StartsIdleWithThePanelFilledAndTheTreeEmpty) {
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(mainWindowHandle, Window());
    EXPECT_EQ(dialog_->StatusTimer(), STATUS_TIMER_ID);
    EXPECT_EQ(TreeView_GetCount(Tree()), 0u);
    for (int id : kLockedIds) EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
    EXPECT_NE(Text(IDC_OS_STATUS), "Your operating system:");
    EXPECT_NE(Text(IDC_DHCP_STATUS), "DHCP For This Host:");
    EXPECT_EQ(Text(IDC_SSDP_STATUS),
              "Can not manage SSDP (UPnP) Discovery Service. Try: 'Right Click->Run As Administrator' if you need "
              "this info/action.");
    EXPECT_EQ(Text(IDC_SSDP_BUTTON), "SSDP Button");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SSDP_BUTTON)));
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MainDialogTest, CarriesTheApplicationIcon) {
    Create();
    ASSERT_NE(dialog_->AppIcon(), nullptr);
    EXPECT_EQ(SendMessageA(Window(), WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dialog_->AppIcon()));
    EXPECT_EQ(SendMessageA(Window(), WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(dialog_->AppIcon()));
    EXPECT_EQ(SendMessageA(Window(), WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog_->AppIcon()));
}

TEST_F(MainDialogTest, SystemMenuEndsWithASeparatorAndTheAboutEntry) {
    Create();
    const HMENU menu = GetSystemMenu(Window(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), ABOUT_MENU_ID);
    char text[64] = {};
    GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Gatekeel...");
    MENUITEMINFOA separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoA(menu, count - 2, TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
}

TEST_F(MainDialogTest, SystemCommands16To31OpenTheAboutBoxAnd32DoesNot) {
    Create();
    gui_test::DialogDriver closer(kAboutCaption, gui_test::ClickOn(IDC_ABOUT_OK));
    for (WPARAM command = 16; command <= 31; ++command) {
        SCOPED_TRACE(command);
        const int before = closer.Runs();
        SendMessageA(Window(), WM_SYSCOMMAND, command, 0);
        EXPECT_EQ(closer.Runs(), before + 1);
    }
    SendMessageA(Window(), WM_SYSCOMMAND, 32, 0);
    EXPECT_EQ(closer.Runs(), 16);
    EXPECT_TRUE(IsWindow(Window()));
}

TEST_F(MainDialogTest, TreeKeepsItsTemplateMarginsThroughResizes) {
    Create();
    RECT client;
    GetClientRect(Window(), &client);
    const RECT initial = ChildRect(Tree());
    const int rightMargin = client.right - initial.right;
    const int bottomMargin = client.bottom - initial.bottom;
    // The template's own geometry: the tree sits where the layout puts it for the template's size.
    const TreeLayout layout = MapTreeLayout(Window());
    EXPECT_EQ(initial.left, layout.tree.left);
    EXPECT_EQ(initial.top, layout.tree.top);
    EXPECT_EQ(client.right, layout.client.cx);
    EXPECT_EQ(client.bottom, layout.client.cy);

    const SIZE outer[] = {{700, 800}, {417, 508}, {1000, 560}, {450, 900}, {800, 600}};
    for (const SIZE& size : outer) {
        SCOPED_TRACE(testing::Message() << size.cx << "x" << size.cy);
        SetWindowPos(Window(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(Window(), &client);
        const RECT tree = ChildRect(Tree());
        EXPECT_EQ(tree.left, initial.left);
        EXPECT_EQ(tree.top, initial.top);
        EXPECT_EQ(client.right - tree.right, rightMargin);
        EXPECT_EQ(client.bottom - tree.bottom, bottomMargin);
    }
    // The buttons above never move.
    EXPECT_EQ(ChildRect(Item(IDC_DELETE)).top, ChildRect(Item(IDC_ADD)).top);
    EXPECT_LT(ChildRect(Item(IDOK)).bottom, initial.top);
}

TEST(TreeLayout, AtTheBaseUnitsOf96DpiTheMarginsAreThePixelsOfOld) {
    // MS Shell Dlg 8 at 96 DPI: base units 6 x 13, mapped as MapDialogRect does (MulDiv, rounded).
    const TreeLayout layout{{MulDiv(7, 6, 4), MulDiv(106, 13, 8), MulDiv(253, 6, 4), MulDiv(177, 13, 8)},
                            {MulDiv(267, 6, 4), MulDiv(290, 13, 8)}};
    for (const SIZE& client : {SIZE{401, 471}, SIZE{900, 700}, SIZE{0, 0}}) {
        const TreePlacement place = layout.PlaceIn(client.cx, client.cy);
        EXPECT_EQ(place.x, 11);
        EXPECT_EQ(place.y, 172);
        EXPECT_EQ(place.width, client.cx - 21);
        EXPECT_EQ(place.height, client.cy - 183);
    }
}

TEST_F(MainDialogTest, MinimumTrackingSizeIs417By508) {
    Create();
    MINMAXINFO info{};
    info.ptMaxTrackSize = {5000, 4000};
    SendMessageA(Window(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    // 417 by 508 pixels at 96 DPI, in pixels of this screen.
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(info.ptMinTrackSize.x, MulDiv(417, dpi, 96));
    EXPECT_EQ(info.ptMinTrackSize.y, MulDiv(508, dpi, 96));
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000);
}

struct CloseCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
};

TEST_F(MainDialogTest, DoneEscapeAndTheCloseBoxEndTheDialog) {
    const CloseCase cases[] = {
        {"Done", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK},
        {"Escape", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL},
        {"close box", WM_CLOSE, 0, IDCANCEL},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const HWND window = Create();
        SendMessageA(window, c.message, c.wParam, 0);
        gui_test::PumpPending();  // the close box posts its cancel command
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(dialog_->Result(), c.result);
        EXPECT_EQ(mainWindowHandle, nullptr);
    }
}

TEST_F(MainDialogTest, OnlyTheStatusTimerRefreshesThePanel) {
    Create();
    const std::string fresh = Text(IDC_OS_STATUS);
    SetWindowTextA(Item(IDC_OS_STATUS), "stale");
    SendMessageA(Window(), WM_TIMER, STATUS_TIMER_ID + 1, 0);
    EXPECT_EQ(Text(IDC_OS_STATUS), "stale");
    SendMessageA(Window(), WM_TIMER, STATUS_TIMER_ID, 0);
    EXPECT_EQ(Text(IDC_OS_STATUS), fresh);
}

// --- the refresh flow

void ExpectTreeShowsList(HWND tree, const Portolan& configurator) {
    ASSERT_EQ(TreeView_GetCount(tree), configurator.mappings.size());
    HTREEITEM item = TreeView_GetRoot(tree);
    for (size_t i = 0; i < configurator.mappings.size(); ++i, item = TreeView_GetNextSibling(tree, item)) {
        SCOPED_TRACE(i);
        const PortMapping& mapping = configurator.mappings[i];
        EXPECT_EQ(ui::TreeItemText(tree, item), MappingLine(mapping));
        EXPECT_EQ(ui::TreeItemData(tree, item), static_cast<LPARAM>(i));
        EXPECT_EQ(ui::IsTreeItemChecked(tree, item), mapping.enabled != 0);
    }
}

TEST_F(MainDialogTest, RefreshListsTenMappingsInRouterOrder) {
    Router(10);
    Create();
    Click(IDC_REFRESH);
    ASSERT_NE(sharedConfigurator, nullptr);
    ASSERT_EQ(sharedConfigurator->mappings.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(sharedConfigurator->mappings[i].externalPort, 8000 + static_cast<int>(i));
    ExpectTreeShowsList(Tree(), *sharedConfigurator);
    EXPECT_TRUE(ui::IsTreeItemChecked(Tree(), TreeView_GetRoot(Tree())));  // mapping 0 is enabled, 1 is not
    EXPECT_FALSE(ui::IsTreeItemChecked(Tree(), TreeView_GetNextSibling(Tree(), TreeView_GetRoot(Tree()))));
    for (int id : kLockedIds) EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MainDialogTest, RefreshingTwiceListsEachMappingOnce) {
    Router(4);
    Create();
    Click(IDC_REFRESH);
    Click(IDC_REFRESH);
    ExpectTreeShowsList(Tree(), *sharedConfigurator);
    EXPECT_EQ(TreeView_GetCount(Tree()), 4u);
    EXPECT_EQ(router_->installer.create.Calls(), 1);
}

TEST_F(MainDialogTest, AnEmptyRouterEmptiesTheTreeWithoutABox) {
    Router(0);
    Create();
    ui::AppendTreeItem(Tree(), L"left over");
    Click(IDC_REFRESH);
    EXPECT_EQ(TreeView_GetCount(Tree()), 0u);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MainDialogTest, ALongDescriptionIsListedInFull) {
    fakes::FakeRouter& router = Router(0);
    fakes::MappingValues values;
    values.description = std::wstring(64 * 1024, L'x') + L"%s%n";
    router.AddListed(values);
    Create();
    Click(IDC_REFRESH);
    const std::wstring line = ui::TreeItemText(Tree(), TreeView_GetRoot(Tree()));
    EXPECT_EQ(line.size(), MappingLine(sharedConfigurator->mappings[0]).size());
    EXPECT_EQ(line.substr(line.size() - 6), L"x%s%n ");
}

TEST_F(MainDialogTest, ControlsAreLockedAndTheTreeEmptiedWhileEnumerating) {
    Router(3);
    Create();
    ui::AppendTreeItem(Tree(), L"old 1");
    ui::AppendTreeItem(Tree(), L"old 2");
    gui_test::Probe probe;
    std::vector<bool> enabledDuring;
    UINT treeCountAfterClear = 99;
    probe.Post([&] {
        for (int id : kLockedIds) enabledDuring.push_back(IsWindowEnabled(Item(id)) != FALSE);
        // Queued behind the clear that this enumeration has just posted.
        probe.Post([&] { treeCountAfterClear = TreeView_GetCount(Tree()); });
    });
    Click(IDC_REFRESH);
    EXPECT_EQ(enabledDuring, std::vector<bool>(5, false));
    EXPECT_EQ(treeCountAfterClear, 0u);
    EXPECT_EQ(TreeView_GetCount(Tree()), 3u);
    for (int id : kLockedIds) EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
}

TEST_F(MainDialogTest, AnEnumerationFailingMidwayKeepsWhatWasReadAndUnlocks) {
    fakes::FakeRouter& router = Router(4);
    auto& elements = router.collection().enumerator.elements;
    elements.insert(elements.begin() + 2, fakes::Element{S_OK, VT_DISPATCH, nullptr});
    Create();
    Click(IDC_REFRESH);
    EXPECT_EQ(TreeView_GetCount(Tree()), 2u);
    ExpectTreeShowsList(Tree(), *sharedConfigurator);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, "Null pdispDevice ptr.");
    for (int id : kLockedIds) EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
}

struct NoRouterCase {
    const char* name;
    bool natMissing;
    const char* firstBox;
    const char* message;
};

TEST_F(MainDialogTest, WithoutRouterOrCollectionEachRefreshSaysSoAndTriesAgain) {
    const NoRouterCase cases[] = {
        {"no NAT object", true, "Portolan::CoCreateInstance returned a NULL ptr",
         "There appear to be no available (NAT) routers using UPnP."},
        {"no collection", false, "Portolan::get_StaticPortMappingCollection returned a NULL ptr",
         "There were no services listed by IUPnPNAT."},
    };
    for (const NoRouterCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        boxes_.boxes.clear();
        fakes::FakeRouter& router = Router(2);
        if (c.natMissing) {
            router.installer.create.SetStanding(fakes::NullOut());
        } else {
            router.nat.getCollection.SetStanding(fakes::NullOut());
        }
        Create();
        ui::AppendTreeItem(Tree(), L"kept");
        // The construction's box has no owner: an impatient click on Refresh meanwhile.
        std::vector<bool> enabledWhileOpen;
        boxes_.whileOpen = [&](const fakes::Box& box) {
            if (box.text != c.firstBox) return;
            for (int id : kLockedIds) enabledWhileOpen.push_back(IsWindowEnabled(Item(id)) != FALSE);
            Click(IDC_REFRESH);
        };
        Click(IDC_REFRESH);
        Click(IDC_REFRESH);
        EXPECT_EQ(enabledWhileOpen, std::vector<bool>(5, false));
        // The click made while the first box was open is refused; the second refresh asks again, quietly.
        EXPECT_EQ(router.installer.create.Calls(), c.natMissing ? 2 : 1);
        EXPECT_EQ(router.nat.getCollection.Calls(), c.natMissing ? 0 : 2);
        ASSERT_EQ(boxes_.boxes.size(), 3u);
        EXPECT_EQ(boxes_.boxes[0].text, c.firstBox);
        for (size_t i = 1; i < 3; ++i) {
            EXPECT_EQ(boxes_.boxes[i].text, c.message);
            EXPECT_EQ(boxes_.boxes[i].caption, "Oh well...");
            EXPECT_EQ(boxes_.boxes[i].type, 0x30u);
            EXPECT_EQ(boxes_.boxes[i].owner, Window());
        }
        // The first refresh leaves the tree alone; the second let go of the last read, lines and all.
        EXPECT_EQ(TreeView_GetCount(Tree()), 0u);
        for (int id : kLockedIds) EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
        // The router answers now: the next refresh lists it.
        router.installer.create = fakes::Script();
        router.nat.getCollection = fakes::Script();
        Click(IDC_REFRESH);
        EXPECT_EQ(TreeView_GetCount(Tree()), 2u);
        EXPECT_EQ(boxes_.boxes.size(), 3u);
    }
}

TEST_F(MainDialogTest, TimerTickAndSsdpClickAreHandledBeforeTheFirstRecordIsRead) {
    Router(3);
    Create();
    SetWindowTextA(Item(IDC_OS_STATUS), "stale");
    EnableWindow(Item(IDC_SSDP_BUTTON), TRUE);
    PostMessageA(Window(), WM_TIMER, STATUS_TIMER_ID, 0);
    PostMessageA(Window(), WM_COMMAND, MAKEWPARAM(IDC_SSDP_BUTTON, BN_CLICKED), 0);
    gui_test::Probe probe;
    std::string osTextDuring;
    size_t recordsReadDuring = 99;
    size_t boxesDuring = 99;
    probe.Post([&] {
        osTextDuring = Text(IDC_OS_STATUS);
        recordsReadDuring = sharedConfigurator->mappings.size();
        boxesDuring = boxes_.boxes.size();
    });
    Click(IDC_REFRESH);
    EXPECT_NE(osTextDuring, "stale");
    EXPECT_EQ(recordsReadDuring, 0u);
    ASSERT_EQ(boxesDuring, 1u);
    EXPECT_EQ(boxes_.boxes[0].text.rfind("Could not START the service!\r\n\r\n", 0), 0u);
    EXPECT_EQ(TreeView_GetCount(Tree()), 3u);
}

TEST_F(MainDialogTest, RefillRebuildsTheTreeFromTheList) {
    Connect(5);
    sharedConfigurator->mappings.erase(sharedConfigurator->mappings.begin() + 1);
    sharedConfigurator->mappingObjects.erase(sharedConfigurator->mappingObjects.begin() + 1);
    sharedConfigurator->mappings[0].enabled = 0;
    SendMessageA(Window(), WMU_REFILL_TREE, 0, 0);
    ExpectTreeShowsList(Tree(), *sharedConfigurator);
    EXPECT_EQ(router_->collection().enumerator.resets, 1);  // the router is not read again
}

TEST_F(MainDialogTest, RefillWithoutTheTreeSaysSoWithTheStopIcon) {
    Connect(1);
    DestroyWindow(Tree());
    SendMessageA(Window(), WMU_REFILL_TREE, 0, 0);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, "There were no services listed by IUPnPNAT.");
    EXPECT_EQ(boxes_.boxes[0].caption, "Oh well...");
    EXPECT_EQ(boxes_.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(MainDialogTest, ShowMappingOverAnExistingItemChangesOnlyItsText) {
    Connect(3);
    const HTREEITEM second = TreeView_GetNextSibling(Tree(), TreeView_GetRoot(Tree()));
    ui::SetTreeItemData(Tree(), second, 77);
    sharedConfigurator->mappings[1].description = L"renamed";
    SendMessageA(Window(), WMU_SHOW_MAPPING, 0, 1);
    EXPECT_EQ(TreeView_GetCount(Tree()), 3u);
    EXPECT_EQ(ui::TreeItemText(Tree(), second), MappingLine(sharedConfigurator->mappings[1]));
    EXPECT_EQ(ui::TreeItemData(Tree(), second), 77);
}

TEST_F(MainDialogTest, ClosingDuringAnEnumerationLetsItFinishWithoutTheWindow) {
    Router(10);
    const HWND window = Create();
    gui_test::Probe probe;
    probe.Post([&] { SendMessageA(window, WM_CLOSE, 0, 0); });
    Click(IDC_REFRESH);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog_->Result(), IDCANCEL);
    EXPECT_EQ(mainWindowHandle, nullptr);
    ASSERT_NE(sharedConfigurator, nullptr);
    EXPECT_EQ(sharedConfigurator->mappings.size(), 10u);
}

TEST_F(MainDialogTest, EscapeDuringAModalRunsEnumerationEndsTheRun) {
    Router(10);
    CGatekeelDlg dialog(noService_);
    static UINT_PTR timer;
    // Once the modal loop runs: click Refresh and, queued behind it, press Escape.
    timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        KillTimer(nullptr, timer);
        PostMessageA(mainWindowHandle, WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED), 0);
        PostMessageA(mainWindowHandle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_NE(sharedConfigurator, nullptr);
    EXPECT_EQ(sharedConfigurator->mappings.size(), 10u);
    EXPECT_EQ(mainWindowHandle, nullptr);
}

TEST_F(MainDialogTest, AQuitMessageDuringAnEnumerationDoesNotHangIt) {
    Router(3);
    Create();
    PostQuitMessage(0);
    Click(IDC_REFRESH);
    EXPECT_EQ(sharedConfigurator->mappings.size(), 3u);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // left for the outer loop
}

}  // namespace
