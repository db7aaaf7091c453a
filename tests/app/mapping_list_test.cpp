// The tree line of a mapping and the tree operations the commands rely on, on Wine's tree view.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include "app/mapping_list.h"
#include "app/tree_items.h"
#include "tests/app/gui_support.h"

namespace {

PortMapping Mapping(std::wstring protocol, std::wstring external, int32_t externalPort, std::wstring client,
                    int32_t internalPort, std::wstring description) {
    PortMapping mapping;
    mapping.protocol = std::move(protocol);
    mapping.externalIPAddress = std::move(external);
    mapping.externalPort = externalPort;
    mapping.internalClient = std::move(client);
    mapping.internalPort = internalPort;
    mapping.description = std::move(description);
    return mapping;
}

struct LineCase {
    const char* name;
    PortMapping mapping;
    std::string line;
};

TEST(MappingLine, FormatsEachFieldInPlace) {
    const LineCase cases[] = {
        {"udp game", Mapping(L"UDP", L"0.0.0.0", 3074, L"192.168.0.5", 3074, L"game"),
         "  UDP 0.0.0.0:3074 => 192.168.0.5:3074 :: game "},
        {"empty description keeps the last blank", Mapping(L"TCP", L"203.0.113.7", 80, L"192.0.2.10", 8080, L""),
         "  TCP 203.0.113.7:80 => 192.0.2.10:8080 ::  "},
        {"long protocol is not cut", PortMapping{},
         "<unknown protocol> 0.0.0.0:0 => <no internal client>:0 :: <no description> "},
        {"five characters fill the field", Mapping(L"ABCDE", L"a", 1, L"b", 2, L"c"), "ABCDE a:1 => b:2 :: c "},
        {"ports print unsigned", Mapping(L"TCP", L"a", -1, L"b", 65535, L"c"), "  TCP a:4294967295 => b:65535 :: c "},
        {"format characters are text", Mapping(L"%s%n", L"%d", 1, L"%x", 2, L"%s%s%s%n"),
         " %s%n %d:1 => %x:2 :: %s%s%s%n "},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MappingLine(c.mapping), c.line);
    }
}

TEST(MappingLine, ListsA64KiBDescriptionInFull) {
    const std::wstring description(64 * 1024, L'd');
    const std::string line = MappingLine(Mapping(L"TCP", L"a", 1, L"b", 2, description));
    EXPECT_EQ(line, "  TCP a:1 => b:2 :: " + std::string(64 * 1024, 'd') + " ");
}

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::InitGui();
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP | TVS_CHECKBOXES, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(tree_, nullptr);
    }
    void TearDown() override { DestroyWindow(tree_); }

    HTREEITEM Append(const std::string& text) { return AppendTreeItem(tree_, text); }

    HWND tree_ = nullptr;
};

TEST_F(TreeTest, FindsEachRootItemsPosition) {
    HTREEITEM items[4];
    for (int i = 0; i < 4; ++i) items[i] = Append("item " + std::to_string(i));
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t position = 99;
        EXPECT_TRUE(FindTreeItemIndex(tree_, items[i], position));
        EXPECT_EQ(position, i);
    }
}

TEST_F(TreeTest, AnItemNotAmongTheRootsGivesTheRootCount) {
    Append("a");
    const HTREEITEM second = Append("b");
    Append("c");
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
    const HTREEITEM item = Append("x");
    SetTreeItemChecked(tree_, item, true);
    EXPECT_EQ(TreeView_GetItemState(tree_, item, TVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_TRUE(IsTreeItemChecked(tree_, item));
    SetTreeItemChecked(tree_, item, false);
    EXPECT_EQ(TreeView_GetItemState(tree_, item, TVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    EXPECT_FALSE(IsTreeItemChecked(tree_, item));
}

TEST_F(TreeTest, ItemTextComesBackWholeAtAnyLength) {
    for (size_t length : {0u, 1u, 254u, 255u, 256u, 257u, 70000u}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'q');
        const HTREEITEM item = Append(text);
        EXPECT_EQ(TreeItemText(tree_, item), text);
        SetTreeItemText(tree_, item, text + "!");
        EXPECT_EQ(TreeItemText(tree_, item), text + "!");
    }
}

TEST_F(TreeTest, ItemDataAndRootWalk) {
    HTREEITEM items[3];
    for (int i = 0; i < 3; ++i) {
        items[i] = Append("i");
        SetTreeItemData(tree_, items[i], 40 + i);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TreeItemData(tree_, items[i]), 40 + i);
    EXPECT_EQ(RootItemAt(tree_, 0), items[0]);
    EXPECT_EQ(RootItemAt(tree_, 2), items[2]);
    EXPECT_EQ(RootItemAt(tree_, 7), items[2]);  // the walk stops at the last item
}

}  // namespace
