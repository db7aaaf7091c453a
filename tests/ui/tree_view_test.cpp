// The tree-view operations on Wine's tree view with check boxes.
#include "ui/tree_view.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace ui;

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCommonControls();
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | TVS_CHECKBOXES, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(tree_, nullptr);
    }
    void TearDown() override { DestroyWindow(tree_); }

    HTREEITEM Append(const std::wstring& text) { return AppendTreeItem(tree_, text); }

    HWND tree_ = nullptr;
};

TEST_F(TreeTest, FindsEachRootItemsPosition) {
    HTREEITEM items[4];
    for (int i = 0; i < 4; ++i) items[i] = Append(L"item " + std::to_wstring(i));
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t position = 99;
        EXPECT_TRUE(FindTreeItemIndex(tree_, items[i], position));
        EXPECT_EQ(position, i);
    }
}

TEST_F(TreeTest, AnItemNotAmongTheRootsGivesTheRootCount) {
    Append(L"a");
    const HTREEITEM second = Append(L"b");
    Append(L"c");
    TVINSERTSTRUCTA insert{};
    insert.hParent = second;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>("child");
    const HTREEITEM child = TreeView_InsertItem(tree_, &insert);
    uint32_t position = 99;
    EXPECT_FALSE(FindTreeItemIndex(tree_, child, position));
    EXPECT_EQ(position, 3u);
    TreeView_DeleteAllItems(tree_);
    EXPECT_FALSE(FindTreeItemIndex(tree_, second, position));
    EXPECT_EQ(position, 0u);
}

TEST_F(TreeTest, CheckMarkIsTheStateImage) {
    const HTREEITEM item = Append(L"x");
    SetTreeItemChecked(tree_, item, true);
    EXPECT_EQ(TreeView_GetItemState(tree_, item, TVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_TRUE(IsTreeItemChecked(tree_, item));
    SetTreeItemChecked(tree_, item, false);
    EXPECT_EQ(TreeView_GetItemState(tree_, item, TVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    EXPECT_FALSE(IsTreeItemChecked(tree_, item));
}

TEST_F(TreeTest, ItemTextComesBackWholeAtAnyLengthAndInAnyScript) {
    // The tree sits in an ANSI dialog: texts outside the code page must still arrive whole.
    const std::wstring scripts = L"\x6E38\x620F\x670D\x52A1\x5668 \x0645\x0631\x062D\x0628\x0627 \xD83C\xDFAE";
    for (size_t length : {0u, 1u, 254u, 255u, 256u, 257u, 70000u}) {
        SCOPED_TRACE(length);
        const std::wstring text(length, L'q');
        const HTREEITEM item = Append(text);
        EXPECT_EQ(TreeItemText(tree_, item), text);
        SetTreeItemText(tree_, item, text + scripts);
        EXPECT_EQ(TreeItemText(tree_, item), text + scripts);
    }
}

TEST_F(TreeTest, ItemDataAndRootWalk) {
    HTREEITEM items[3];
    for (int i = 0; i < 3; ++i) {
        items[i] = Append(L"i");
        SetTreeItemData(tree_, items[i], 40 + i);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TreeItemData(tree_, items[i]), 40 + i);
    EXPECT_EQ(RootItemAt(tree_, 0), items[0]);
    EXPECT_EQ(RootItemAt(tree_, 2), items[2]);
    EXPECT_EQ(RootItemAt(tree_, 7), items[2]);  // the walk stops at the last item
}

}  // namespace
