#pragma once
// The main dialog with a configurator over the fake NAT objects, as after a refresh, and the
// ways a user reaches the commands: buttons, mouse clicks on the tree and keys.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/gatekeel_dlg.h"
#include "diag/service_control_manager.h"
#include "natcfg/portolan.h"
#include "res/resource.h"
#include "tests/edit/dialog_driver.h"
#include "tests/fakes/fake_nat.h"
#include "tests/fakes/message_box_recorder.h"
#include "ui/text.h"
#include "ui/tree_view.h"

namespace commands_test {


constexpr char kAddEditCaption[] = "Add Or Edit Server/Service";

inline fakes::MappingValues Mapping(const wchar_t* protocol, long externalPort, const wchar_t* client, long internalPort,
                             const wchar_t* description, bool enabled = true) {
    fakes::MappingValues values;
    values.protocol = protocol;
    values.externalPort = externalPort;
    values.internalClient = client;
    values.internalPort = internalPort;
    values.description = description;
    values.enabled = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return values;
}

inline const std::vector<fakes::MappingValues> kThree = {
    Mapping(L"TCP", 8080, L"192.0.2.10", 80, L"web"),
    Mapping(L"UDP", 5000, L"192.0.2.11", 5000, L"voice"),
    Mapping(L"TCP", 2222, L"192.0.2.12", 22, L"ssh", false),
};

// A box as the test expects it; a null text matches any text.
struct ExpectedBox {
    const char* text;
    const char* caption;
    UINT type;
    bool ownedByMain;
};

class MappingCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        MarkFirstRunDone();
        main_ = std::make_unique<CGatekeelDlg>(ssdp_);
        ASSERT_NE(main_->CreateModeless(), nullptr) << GetLastError();
        tree_ = GetDlgItem(main_->Window(), IDC_MAPPING_TREE);
        ASSERT_NE(tree_, nullptr);
        gktest::PumpPending();
        boxes_ = std::make_unique<fakes::MessageBoxRecorder>();
    }

    void TearDown() override {
        sharedConfigurator = nullptr;
        boxes_.reset();
        main_.reset();
        configurator_.reset();
        installer_.reset();
    }

    // The state after a refresh: the configurator has read the mappings and the tree shows them.
    void Connect(const std::vector<fakes::MappingValues>& values) {
        std::vector<fakes::FakeMapping*> listed;
        for (const fakes::MappingValues& v : values) {
            mappings_.push_back(std::make_unique<fakes::FakeMapping>(v));
            listed.push_back(mappings_.back().get());
        }
        nat_.collection.List(listed);
        installer_ = std::make_unique<fakes::NatInstaller>(nat_);
        configurator_ = std::make_unique<Portolan>();
        ASSERT_TRUE(configurator_->collection);
        configurator_->RefreshMappings();
        ASSERT_EQ(configurator_->MappingCount(), values.size());
        sharedConfigurator = configurator_.get();
        SendMessageA(main_->Window(), WMU_REFILL_TREE, 0, 0);
        ASSERT_EQ(Items().size(), values.size());
    }

    static void MarkFirstRunDone() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillon Systems\\Gatekeel", 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD one = 1;
        RegSetValueExA(key, "FirstRun", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
        RegCloseKey(key);
    }

    void Press(int id) { gktest::Click(GetDlgItem(main_->Window(), id)); }

    std::vector<HTREEITEM> Items() const {
        std::vector<HTREEITEM> items;
        for (HTREEITEM i = TreeView_GetRoot(tree_); i; i = TreeView_GetNextSibling(tree_, i)) items.push_back(i);
        return items;
    }
    // The lines in the ANSI code page, as the program's own texts are written.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (HTREEITEM item : Items()) lines.push_back(ui::WideToAnsi(ui::TreeItemText(tree_, item)));
        return lines;
    }
    void Select(size_t position) { TreeView_SelectItem(tree_, Items().at(position)); }

    bool RefillQueued() const {
        MSG msg;
        return PeekMessageA(&msg, main_->Window(), WMU_REFILL_TREE, WMU_REFILL_TREE, PM_NOREMOVE);
    }

    void ExpectBoxes(const std::vector<ExpectedBox>& expected) const {
        ASSERT_EQ(boxes_->boxes.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("box " + std::to_string(i) + ": " + boxes_->boxes[i].text);
            if (expected[i].text) {
                EXPECT_EQ(boxes_->boxes[i].text, expected[i].text);
            }
            EXPECT_EQ(boxes_->boxes[i].caption, expected[i].caption);
            EXPECT_EQ(boxes_->boxes[i].type, expected[i].type);
            EXPECT_EQ(boxes_->boxes[i].owner, expected[i].ownedByMain ? main_->Window() : nullptr);
        }
    }

    // Mouse clicks (two: a double click; right: of the right button) at a point of the tree.
    void ClickAt(POINT client, int clicks = 1, bool right = false) {
        POINT screen = client;
        ClientToScreen(tree_, &screen);
        SetForegroundWindow(main_->Window());
        SetCursorPos(screen.x, screen.y);
        gktest::DeliverInput(main_->Window(), gktest::MouseClicks(clicks, right));
    }

    // A key pressed and let go (with a modifier held) while the control has the focus; held, its
    // key-down comes again (with the repeat bit) that many times, each after the last was handled.
    void PressKey(HWND focus, WORD key, WORD modifier = 0, size_t held = 0) {
        SetForegroundWindow(main_->Window());
        SetFocus(focus);
        const std::vector<INPUT> input = modifier ? gktest::KeyStroke(key, {modifier}) : gktest::KeyStroke(key);
        const auto up = input.begin() + static_cast<std::ptrdiff_t>(input.size() / 2);
        gktest::DeliverInput(main_->Window(), {input.begin(), up});
        for (size_t i = 0; i < held; ++i) gktest::DeliverInput(main_->Window(), {*(up - 1)});
        gktest::DeliverInput(main_->Window(), {up, input.end()});
    }

    // The three ways a user flips a check box.
    enum class Flip { Click, DoubleClick, Space };
    void FlipBy(Flip how, HTREEITEM item) {
        if (how == Flip::Space) {
            TreeView_SelectItem(tree_, item);
            PressKey(tree_, VK_SPACE);
        } else {
            ClickAt(CheckBoxPoint(item), how == Flip::Click ? 1 : 2);
        }
    }

    // The item's label rectangle (TVM_GETITEMRECT takes the item in the rectangle's place).
    RECT TextRect(HTREEITEM item) const {
        RECT rect{};
        std::memcpy(&rect, &item, sizeof item);
        SendMessageA(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // A point on the item's check box, found by the tree's own hit test.
    POINT CheckBoxPoint(HTREEITEM item) const {
        const RECT text = TextRect(item);
        const LONG y = (text.top + text.bottom) / 2;
        LONG first = -1, last = -1;
        for (LONG x = 0; x < text.left; ++x) {
            TVHITTESTINFO hit{};
            hit.pt = {x, y};
            if (TreeView_HitTest(tree_, &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
                if (first < 0) first = x;
                last = x;
            }
        }
        return {(first + last) / 2, y};
    }
    POINT LabelPoint(HTREEITEM item) const {
        const RECT text = TextRect(item);
        return {text.left + 4, (text.top + text.bottom) / 2};
    }

    fakes::FakeNat nat_;
    std::vector<std::unique_ptr<fakes::FakeMapping>> mappings_;
    std::unique_ptr<fakes::NatInstaller> installer_;
    std::unique_ptr<Portolan> configurator_;
    service_control_manager ssdp_{"SSDPSRV"};
    std::unique_ptr<CGatekeelDlg> main_;
    HWND tree_ = nullptr;
    std::unique_ptr<fakes::MessageBoxRecorder> boxes_;
};

// ---- before the first refresh, and without a collection ----

}  // namespace commands_test
