// The main dialog hands Add, Edit, Delete and the tree's check-box clicks to the mapping commands.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "ui/tree_view.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"

namespace {

using CommandsRoutingTest = MainDialogFixture;

TEST_F(CommandsRoutingTest, AddAndEditOpenTheAddEditDialog) {
    Connect(2);
    Select(1);
    for (int id : {IDC_ADD, IDC_EDIT}) {
        SCOPED_TRACE(id);
        gui_test::DialogDriver closer(gui_test::kAddEditCaption, gui_test::ClickOn(IDCANCEL));
        Click(id);
        EXPECT_EQ(closer.Runs(), 1);
    }
    EXPECT_TRUE(router_->collection().addCalls.empty());
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(CommandsRoutingTest, DeleteAsksAboutTheSelectedMapping) {
    Connect(3);
    Select(2);
    boxes_.Answer(IDCANCEL);
    Click(IDC_DELETE);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].caption, "Careful!");
    EXPECT_NE(boxes_.boxes[0].wideText.find(ui::TreeItemText(Tree(), Items().at(2))), std::wstring::npos);
    EXPECT_EQ(boxes_.boxes[0].owner, Window());
    EXPECT_TRUE(router_->collection().removeCalls.empty());
}

TEST_F(CommandsRoutingTest, ADeleteThatSucceedsRefillsTheTree) {
    Connect(3);
    Select(0);
    Click(IDC_DELETE);  // the recorder answers OK
    gui_test::PumpPending();
    ASSERT_EQ(router_->collection().removeCalls.size(), 1u);
    EXPECT_EQ(TreeView_GetCount(Tree()), 2u);
    EXPECT_EQ(ui::TreeItemText(Tree(), Items().at(0)), MappingLine(sharedConfigurator->mappings[0]));
}

TEST_F(CommandsRoutingTest, AClickOnACheckBoxTogglesTheMapping) {
    Connect(3);
    const HTREEITEM item = Items().at(1);
    ASSERT_FALSE(ui::IsTreeItemChecked(Tree(), item));  // mapping 1 is disabled
    POINT screen = CheckBoxPoint(item);
    ASSERT_GE(screen.x, 0) << "no state icon found";
    ClientToScreen(Tree(), &screen);
    if (!SetCursorPos(screen.x, screen.y)) GTEST_SKIP() << "the cursor cannot be placed on this display";
    POINT now;
    GetCursorPos(&now);
    if (now.x != screen.x || now.y != screen.y) GTEST_SKIP() << "the cursor did not move on this display";
    gui_test::Probe probe;
    LRESULT result = -1;  // what the dialog answers the tree
    // The click's position is that of the message being handled, as for a real click.
    probe.Post([&] {
        NMHDR header{Tree(), IDC_MAPPING_TREE, static_cast<UINT>(NM_CLICK)};
        result = SendMessageA(Window(), WM_NOTIFY, IDC_MAPPING_TREE, reinterpret_cast<LPARAM>(&header));
    });
    gui_test::PumpPending();
    EXPECT_EQ(result, 0);  // the command's result: let the tree flip the mark
    EXPECT_EQ(router_->mapping(1).enableStates.size(), 1u);
    EXPECT_TRUE(router_->mapping(0).enableStates.empty());
}

}  // namespace
