// The check-box toggle, clicks, keys and the list's menu in the real main dialog, against
// the fake NAT objects, with real input through SendInput.
#include "edit/mapping_commands.h"

#include <gtest/gtest.h>

#include "tests/edit/mapping_commands_fixture.h"
#include "ui/clipboard.h"

namespace {

using namespace commands_test;

TEST_F(MappingCommandsTest, EveryWayOfFlippingACheckBoxAsksForTheOppositeStateOnce) {
    Connect(kThree);
    struct Case {
        Flip how;
        size_t position;
        bool checkedBefore;
        VARIANT_BOOL requested;  // the configurator passes the state's low 16 bits: 1 or 0
    };
    const Case cases[] = {{Flip::Click, 0, true, 0}, {Flip::DoubleClick, 2, false, 1}, {Flip::Space, 1, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.how));
        const HTREEITEM item = Items().at(c.position);
        ASSERT_EQ(ui::IsTreeItemChecked(Tree(), item), c.checkedBefore);
        FlipBy(c.how, item);
        EXPECT_EQ(router_->mapping(c.position).enableStates, std::vector<VARIANT_BOOL>{c.requested});
        EXPECT_EQ(ui::IsTreeItemChecked(Tree(), item), !c.checkedBefore);
        EXPECT_EQ(TreeView_GetSelection(Tree()), item);
    }
    EXPECT_TRUE(boxes_.boxes.empty());
    // The records follow the router, so a rebuild shows the same marks.
    SendMessageA(Window(), WMU_REFILL_TREE, 0, 0);
    for (const Case& c : cases) EXPECT_EQ(ui::IsTreeItemChecked(Tree(), Items().at(c.position)), !c.checkedBefore);
}

TEST_F(MappingCommandsTest, AFailedEnableKeepsTheCheckMarkAsItWasWhateverTheInput) {
    Connect(kThree);
    for (size_t i = 0; i < kThree.size(); ++i) router_->mapping(i).enable.SetStanding(fakes::Fail(E_FAIL));
    const Flip ways[] = {Flip::Click, Flip::DoubleClick, Flip::Space};
    for (size_t i = 0; i < std::size(ways); ++i) {
        SCOPED_TRACE(i);
        const HTREEITEM item = Items().at(i);
        const bool before = ui::IsTreeItemChecked(Tree(), item);
        FlipBy(ways[i], item);
        EXPECT_EQ(router_->mapping(i).enableStates.size(), 1u);
        ASSERT_EQ(boxes_.boxes.size(), i + 1) << "one box for one input";
        const fakes::Box& last = boxes_.boxes.back();
        EXPECT_EQ(last.text, "Failure in changing state. :(");
        EXPECT_EQ(last.caption, "DARN!");
        EXPECT_EQ(last.type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(last.owner, Window());
        EXPECT_EQ(ui::IsTreeItemChecked(Tree(), item), before) << "the router did not take the change";
    }
}

// A click on a label only selects; a double click edits that mapping, unless Edit is disabled.
TEST_F(MappingCommandsTest, ALabelClickSelectsAndADoubleClickEdits) {
    Connect(kThree);
    ClickAt(LabelPoint(Items().at(1)));
    EXPECT_EQ(TreeView_GetSelection(Tree()), Items().at(1));
    EXPECT_TRUE(ui::IsTreeItemChecked(Tree(), Items().at(1)));
    for (const bool editEnabled : {true, false}) {
        SCOPED_TRACE(editEnabled);
        EnableWindow(Item(IDC_EDIT), editEnabled);
        std::string client;
        gui_test::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            client = ui::WindowText(GetDlgItem(window, IDC_INTERNAL_CLIENT));
            gui_test::Click(GetDlgItem(window, IDCANCEL));
        });
        ClickAt(LabelPoint(Items().at(editEnabled ? 2 : 0)), 2);
        EXPECT_EQ(driver.Ran(), editEnabled);
        EXPECT_EQ(client, editEnabled ? "192.0.2.12" : "");
        if (editEnabled) {
            EXPECT_EQ(TreeView_GetSelection(Tree()), Items().at(2));
        }
    }
    for (size_t i = 0; i < kThree.size(); ++i) EXPECT_TRUE(router_->mapping(i).enableStates.empty()) << i;
    EXPECT_TRUE(boxes_.boxes.empty());
}

// The clipboard's text in one format (CF_TEXT or CF_UNICODETEXT) as the given string type.
template <class Text>
Text ClipboardText(UINT format) {
    Text text;
    if (!OpenClipboard(nullptr)) return text;
    if (const HANDLE data = GetClipboardData(format)) {
        if (const auto* chars = static_cast<const typename Text::value_type*>(GlobalLock(data))) text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// F5 anywhere and Delete on the tree do what their buttons do, and nothing while the
// button is disabled; a held key acts once; Ctrl+C copies the selected line; Enter still means Done.
TEST_F(MappingCommandsTest, KeysRunTheCommandsOfTheirButtons) {
    Connect(kThree);
    struct Case {
        const char* name;
        WORD key;
        int focus;
        int disabled;  // 0: none
        size_t held;   // key-downs repeated before the key-up
        int refreshes;
        size_t boxes;
        size_t flips;  // of the selected mapping, asked of the router and shown
    };
    const Case cases[] = {
        {"F5 on a button", VK_F5, IDOK, 0, 0, 1, 0, 0},
        {"F5 on the tree", VK_F5, IDC_MAPPING_TREE, 0, 0, 1, 0, 0},
        {"F5 while Refresh is disabled", VK_F5, IDC_MAPPING_TREE, IDC_REFRESH, 0, 0, 0, 0},
        {"Delete on the tree", VK_DELETE, IDC_MAPPING_TREE, 0, 0, 0, 1, 0},
        {"Delete while Delete is disabled", VK_DELETE, IDC_MAPPING_TREE, IDC_DELETE, 0, 0, 0, 0},
        {"Delete on a button", VK_DELETE, IDC_ADD, 0, 0, 0, 0, 0},
        {"F5 held", VK_F5, IDC_MAPPING_TREE, 0, 3, 1, 0, 0},
        {"Space held", VK_SPACE, IDC_MAPPING_TREE, 0, 3, 0, 0, 1},
        {"Delete held", VK_DELETE, IDC_MAPPING_TREE, 0, 3, 0, 1, 0},
        {"Space on a button presses it", VK_SPACE, IDC_REFRESH, 0, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(1);
        const std::string line = Lines().at(1);
        const int resetsBefore = router_->collection().enumerator.resets;
        boxes_.boxes.clear();
        boxes_.Answer(IDCANCEL);
        const size_t enablesBefore = router_->mapping(1).enableStates.size();
        const bool checkedBefore = ui::IsTreeItemChecked(Tree(), Items().at(1));
        const HWND disabled = c.disabled ? Item(c.disabled) : nullptr;
        if (disabled) EnableWindow(disabled, FALSE);
        PressKey(Item(c.focus), c.key, 0, c.held);
        if (disabled) EnableWindow(disabled, TRUE);
        EXPECT_EQ(router_->mapping(1).enableStates.size() - enablesBefore, c.flips);
        EXPECT_EQ(ui::IsTreeItemChecked(Tree(), Items().at(1)), checkedBefore != (c.flips == 1));
        EXPECT_EQ(router_->collection().enumerator.resets - resetsBefore, c.refreshes);
        ASSERT_EQ(boxes_.boxes.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(boxes_.boxes[0].text,
                      "Are you sure that you want to delete this port mapping?\r\n\r\n[" + line + "]\r\n");
        }
        EXPECT_TRUE(router_->collection().removeCalls.empty());
    }
    ASSERT_TRUE(ui::CopyTextToClipboard(Window(), L"before"));
    Select(2);
    PressKey(Tree(), 'C', VK_CONTROL);
    EXPECT_EQ(ClipboardText<std::string>(CF_TEXT), Lines().at(2));
    EXPECT_EQ(ClipboardText<std::wstring>(CF_UNICODETEXT), ui::TreeItemText(Tree(), Items().at(2)));
    PressKey(Tree(), VK_RETURN);
    EXPECT_FALSE(IsWindow(Window()));
    EXPECT_EQ(dialog_->Result(), IDOK);
}

// A popup menu's items: "-" before a disabled one, "*" before the default one.
std::string MenuItems(HMENU menu) {
    std::string items;
    for (UINT i = 0; i < static_cast<UINT>(GetMenuItemCount(menu)); ++i) {
        char text[32] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        items += std::string(i ? "|" : "") + (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED ? "-" : "") +
                 (GetMenuDefaultItem(menu, TRUE, GMDI_USEDISABLED) == i ? "*" : "") + text;
    }
    return items;
}

// A right-click on a line (or off the lines), Shift+F10 or the Menu key on the selected line opens the
// menu there; it offers what the buttons allow, and its item does what its button or key does.
TEST_F(MappingCommandsTest, TheListsMenuOffersWhatTheButtonsAllowAndRunsIt) {
    Connect(kThree);
    struct Case {
        const char* name;
        WORD key;  // 0: a right-click
        int line;  // -1: below the lines
        int disabled;  // 0: none
        const char* items;
        int chosen;  // -1: none
        int refreshes;
        size_t boxes;
        size_t flips;
    };
    const Case cases[] = {
        {"right-click on a line", 0, 1, 0, "*&Edit...|D&isable|&Delete|&Copy|-|E&xport List...|I&mport List...", 2, 0, 1,
         0},
        {"Shift+F10", VK_F10, 2, 0, "*&Edit...|E&nable|&Delete|&Copy|-|E&xport List...|I&mport List...", 1, 0, 0, 1},
        {"Menu key, Edit disabled", VK_APPS, 0, IDC_EDIT,
         "-*&Edit...|D&isable|&Delete|&Copy|-|E&xport List...|I&mport List...", -1, 0, 0, 0},
        {"right-click off the lines", 0, -1, 0, "&Refresh|&Add...|-|E&xport List...|I&mport List...", 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t position = static_cast<size_t>(std::max(c.line, 0));
        Select(c.key ? position : 0);
        const RECT text = TextRect(Items().at(position));
        POINT at = c.key ? POINT{text.left, text.bottom} : LabelPoint(Items().at(position));
        if (c.line < 0) at.y = text.bottom + 40;
        const int resetsBefore = router_->collection().enumerator.resets;
        const bool checkedBefore = ui::IsTreeItemChecked(Tree(), Items().at(position));
        boxes_.boxes.clear();
        boxes_.Answer(IDCANCEL);
        std::string items;
        RECT popup{};
        gui_test::DialogDriver driver("", [&](HWND window) {
            const auto menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
            items = MenuItems(menu);
            GetWindowRect(window, &popup);
            RECT item{};
            if (c.chosen < 0 || !GetMenuItemRect(nullptr, menu, static_cast<UINT>(c.chosen), &item)) {
                EndMenu();
                return;
            }
            SetCursorPos((item.left + item.right) / 2, (item.top + item.bottom) / 2);
            std::vector<INPUT> click = gui_test::MouseClicks(1);
            SendInput(2, click.data(), sizeof(INPUT));
        }, gui_test::DialogDriver::kMenu);
        if (c.disabled) EnableWindow(Item(c.disabled), FALSE);
        if (c.key) {
            PressKey(Tree(), c.key, c.key == VK_F10 ? VK_SHIFT : 0);
        } else {
            ClickAt(at, 1, true);
        }
        if (c.disabled) EnableWindow(Item(c.disabled), TRUE);
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(items, c.items);
        ClientToScreen(Tree(), &at);
        EXPECT_EQ(popup.left, at.x);
        EXPECT_EQ(popup.top, at.y);
        if (c.line >= 0) {
            EXPECT_EQ(TreeView_GetSelection(Tree()), Items().at(position));
        }
        EXPECT_EQ(router_->collection().enumerator.resets - resetsBefore, c.refreshes);
        EXPECT_EQ(boxes_.boxes.size(), c.boxes);
        EXPECT_EQ(router_->mapping(position).enableStates.size(), c.flips);
        EXPECT_EQ(ui::IsTreeItemChecked(Tree(), Items().at(position)), checkedBefore != (c.flips == 1));
    }
    // While a command runs (here with its box open), the menu offers nothing.
    std::string items;
    boxes_.whileOpen = [&](const fakes::Box&) {
        gui_test::DialogDriver driver("", [&](HWND window) {
            items = MenuItems(reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0)));
            EndMenu();
        }, gui_test::DialogDriver::kMenu);
        ClickAt(LabelPoint(Items().at(0)), 1, true);
    };
    boxes_.Answer(IDCANCEL);
    Select(0);
    Click(IDC_DELETE);
    EXPECT_EQ(items, "-*&Edit...|-D&isable|-&Delete|-&Copy|-|-E&xport List...|-I&mport List...");
}

// While a menu is open its keys are the menu's: Delete and F5 there run no command, then or after.
TEST_F(MappingCommandsTest, WhileAMenuIsOpenItsKeysAreTheMenus) {
    Connect(kThree);
    boxes_.Answer(IDCANCEL);
    // The list's menu (from the Menu key, Shift+F10) and the system menu (Alt+Space), each opened by
    // its whole stroke, so that no modifier is held when the menu's keys come. From the keyboard, the
    // system menu leaves menu mode at the second Escape.
    struct Case { const char* name; std::vector<INPUT> opener; WORD key; size_t escapes; };
    for (const Case& c : {Case{"Menu key, Delete", gui_test::KeyStroke(VK_APPS), VK_DELETE, 1},
                          Case{"Shift+F10, F5", gui_test::KeyStroke(VK_F10, {VK_SHIFT}), VK_F5, 1},
                          Case{"Alt+Space, F5", gui_test::KeyStroke(VK_SPACE, {VK_MENU}), VK_F5, 2}}) {
        SCOPED_TRACE(c.name);
        Select(1);
        boxes_.boxes.clear();
        const int resetsBefore = router_->collection().enumerator.resets;
        gui_test::DialogDriver driver("", [&](HWND) {
            std::vector<INPUT> keys = gui_test::KeyStroke(c.key);
            const std::vector<INPUT> escape = gui_test::KeyStroke(VK_ESCAPE);
            for (size_t i = 0; i < c.escapes; ++i) keys.insert(keys.end(), escape.begin(), escape.end());
            SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
        }, gui_test::DialogDriver::kMenu);
        SetForegroundWindow(Window());
        SetFocus(Tree());
        gui_test::DeliverInput(Window(), c.opener);
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(router_->collection().enumerator.resets - resetsBefore, 0);
        EXPECT_TRUE(boxes_.boxes.empty());
        ASSERT_TRUE(IsWindow(Window()));
    }
}

}  // namespace
