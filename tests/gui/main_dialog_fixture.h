#pragma once
// The main dialog from template 102 created modeless, for the tests of the dialog and of the
// commands it routes: every message box recorded (answered IDOK unless told otherwise), the fake
// router a test asks for, and the ways a user reaches the tree (mouse clicks on a line or its
// check box, keys). Link gk_main_dialog_fixture.
//
//   TEST_F(MainDialogFixture, DeleteRemovesTheLine) {
//       Connect(3);                          // a router with 3 numbered mappings, refreshed
//       Select(1);
//       Click(IDC_DELETE);                   // the recorder answers the question with IDOK
//       EXPECT_EQ(router_->collection().removeCalls.size(), 1u);
//   }
//
// Or step by step: Router(n) (its mappings in router_), Create(), Click(IDC_REFRESH). The first
// refresh makes the configurator (sharedConfigurator), which holds the router's objects: Reset,
// which TearDown runs, lets go of the dialog, the configurator and the router, in that order.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/gatekeel_dlg.h"
#include "app/mapping_list.h"
#include "res/resource.h"
#include "tests/fakes/fake_nat.h"
#include "tests/fakes/message_box_recorder.h"
#include "tests/gui/gui_support.h"
#include "ui/handles.h"

namespace gui_test {

constexpr char kAddEditCaption[] = "Add Or Edit Server/Service";
constexpr char kAboutCaption[] = "About Gatekeel";

// The first-run marker's key, opened for reading and writing, and the marker set to a DWORD.
ui::UniqueHKey FirstRunMarkerKey();
void SetFirstRunMarker(DWORD value);

// A box as the test expects it; a null text matches any text.
struct ExpectedBox {
    const char* text;
    const char* caption;
    UINT type;
    bool ownedByMain;
};

}  // namespace gui_test

class MainDialogFixture : public ::testing::Test {
protected:
    // The GUI libraries loaded, and the first run done: no About box at the start.
    void SetUp() override;
    void TearDown() override { Reset(); }
    // Back to where the test started: no dialog, no configurator, no router.
    void Reset();

    // A new router with count numbered mappings (fakes::NumberedValues), after the configurator and
    // the router before it have gone.
    fakes::FakeRouter& Router(size_t count = 0);
    HWND Create(service_control_manager& ssdp);
    HWND Create() { return Create(noService_); }
    // The state after a refresh over a new router with these mappings (or count numbered ones), the
    // dialog created first when there is none: the configurator has read them and the tree shows them.
    void Connect(const std::vector<fakes::MappingValues>& values);
    void Connect(size_t count);

    HWND Window() const { return dialog_->Window(); }
    HWND Item(int id) const { return GetDlgItem(dialog_->Window(), id); }
    HWND Tree() const { return Item(IDC_MAPPING_TREE); }
    std::string Text(int id) const { return ui::WindowText(Item(id)); }
    void Click(int id) const { gui_test::Click(Item(id)); }

    // The tree's lines, and their texts in the ANSI code page, as the program's own texts are written.
    std::vector<HTREEITEM> Items() const;
    std::vector<std::string> Lines() const;
    void Select(size_t position) const { TreeView_SelectItem(Tree(), Items().at(position)); }
    // A rebuild of the tree is posted and not yet handled.
    bool RefillQueued() const;
    // The recorded boxes are these, in order.
    void ExpectBoxes(const std::vector<gui_test::ExpectedBox>& expected) const;

    // Where a line is, in the tree's client coordinates: its label's rectangle, a point on its
    // label, and one on its check box (found by the tree's own hit test; x is -1 where it has none).
    RECT TextRect(HTREEITEM item) const;
    POINT LabelPoint(HTREEITEM item) const;
    POINT CheckBoxPoint(HTREEITEM item) const;
    // Real mouse clicks (two: a double click; right: of the right button) at a point of the tree.
    void ClickAt(POINT client, int clicks = 1, bool right = false) const;
    // A key pressed and let go (with a modifier held) while the control has the focus; held, its
    // key-down comes again (with the repeat bit) that many times, each after the last was handled.
    void PressKey(HWND focus, WORD key, WORD modifier = 0, size_t held = 0) const;

    fakes::MessageBoxRecorder boxes_;
    service_control_manager noService_;  // opens no service: the panel cannot manage it
    std::unique_ptr<fakes::FakeRouter> router_;
    std::unique_ptr<CGatekeelDlg> dialog_;
};
