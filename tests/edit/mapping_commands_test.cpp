// The Add, Edit, Delete and check-box commands in the real main dialog, against the
// fake NAT objects; the Add/Edit dialog is the real one, driven inside its modal loop.
#include "edit/mapping_commands.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/gatekeel_dlg.h"
#include "app/mapping_list.h"
#include "diag/service_control_manager.h"
#include "natcfg/portolan.h"
#include "res/resource.h"
#include "tests/edit/dialog_driver.h"
#include "tests/fakes/fake_nat.h"
#include "tests/fakes/message_box_recorder.h"
#include "ui/clipboard.h"

namespace {

constexpr char kAddEditCaption[] = "Add Or Edit Server/Service";

fakes::MappingValues Mapping(const wchar_t* protocol, long externalPort, const wchar_t* client, long internalPort,
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

const std::vector<fakes::MappingValues> kThree = {
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
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (HTREEITEM item : Items()) lines.push_back(TreeItemText(tree_, item));
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

TEST_F(MappingCommandsTest, EveryButtonBeforeTheFirstRefreshDoesNothing) {
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    for (int id : {IDC_ADD, IDC_EDIT, IDC_DELETE}) Press(id);
    gktest::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_->boxes.empty());
}

TEST_F(MappingCommandsTest, WithoutACollectionTheButtonsDoNothing) {
    nat_.getCollection.SetStanding(fakes::Fail(E_FAIL));
    installer_ = std::make_unique<fakes::NatInstaller>(nat_);
    configurator_ = std::make_unique<Portolan>();
    ASSERT_FALSE(configurator_->collection);
    sharedConfigurator = configurator_.get();
    boxes_->boxes.clear();  // the configurator's own report of the missing collection
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    for (int id : {IDC_ADD, IDC_EDIT, IDC_DELETE}) Press(id);
    gktest::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_->boxes.empty());
}

// ---- Add ----

TEST_F(MappingCommandsTest, AddWithTheDefaultsRequestsThemDisabled) {
    Connect(kThree);
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { gktest::Click(GetDlgItem(window, IDOK)); });
    Press(IDC_ADD);
    ASSERT_TRUE(driver.Ran());
    ASSERT_EQ(nat_.collection.addCalls.size(), 1u);
    const fakes::AddCall& call = nat_.collection.addCalls[0];
    EXPECT_EQ(call.externalPort, 0);
    EXPECT_EQ(call.internalPort, 0);
    EXPECT_EQ(call.internalClient, L"0.0.0.0");
    EXPECT_EQ(call.description, L"new service");
    EXPECT_EQ(call.protocol, L"TCP");
    EXPECT_EQ(call.enabled, VARIANT_FALSE);
    EXPECT_TRUE(boxes_->boxes.empty());
    EXPECT_TRUE(RefillQueued());
    gktest::PumpPending();
    EXPECT_EQ(Items().size(), 4u);
}

TEST_F(MappingCommandsTest, AddPassesWhatTheUserEnteredWithUdp) {
    Connect(kThree);
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) {
        gktest::Click(GetDlgItem(window, IDC_UDP));
        SetWindowTextA(GetDlgItem(window, IDC_EXTERNAL_PORT), "6000");
        SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "6001");
        SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_CLIENT), "192.0.2.30");
        SetWindowTextA(GetDlgItem(window, IDC_DESCRIPTION), "game");
        gktest::Click(GetDlgItem(window, IDOK));
    });
    Press(IDC_ADD);
    ASSERT_EQ(nat_.collection.addCalls.size(), 1u);
    const fakes::AddCall& call = nat_.collection.addCalls[0];
    EXPECT_EQ(call.protocol, L"UDP");
    EXPECT_EQ(call.externalPort, 6000);
    EXPECT_EQ(call.internalPort, 6001);
    EXPECT_EQ(call.internalClient, L"192.0.2.30");
    EXPECT_EQ(call.description, L"game");
    EXPECT_EQ(call.enabled, VARIANT_FALSE);
}

TEST_F(MappingCommandsTest, AddCancelledChangesNothing) {
    Connect(kThree);
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { gktest::Click(GetDlgItem(window, IDCANCEL)); });
    Press(IDC_ADD);
    EXPECT_TRUE(driver.Ran());
    EXPECT_TRUE(nat_.collection.addCalls.empty());
    EXPECT_FALSE(RefillQueued());
    EXPECT_TRUE(boxes_->boxes.empty());
}

TEST_F(MappingCommandsTest, AddRefusedByTheRouterIsReportedAfterTheConfiguratorsBox) {
    Connect(kThree);
    nat_.collection.add.SetStanding(fakes::Fail(E_FAIL));
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { gktest::Click(GetDlgItem(window, IDOK)); });
    Press(IDC_ADD);
    ASSERT_FALSE(boxes_->boxes.empty());
    const fakes::Box& last = boxes_->boxes.back();
    EXPECT_EQ(last.text, "Could not add the requested mapping!");
    EXPECT_EQ(last.caption, "!@##@$$%");
    EXPECT_EQ(last.type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(last.owner, main_->Window());
    EXPECT_EQ(boxes_->boxes.front().owner, nullptr) << "the configurator's box has no owner";
    EXPECT_FALSE(RefillQueued());
}

// ---- Edit ----

TEST_F(MappingCommandsTest, EditOpensWithTheRecordAndTheProtocolCaseInsensitively) {
    struct Case {
        const wchar_t* protocol;
        bool udp;
    };
    const Case cases[] = {{L"udp", true}, {L"<unknown protocol>", true}, {L"tCp", false}, {L"TCP", false}};
    std::vector<fakes::MappingValues> values;
    for (const Case& c : cases) values.push_back(Mapping(c.protocol, 7000, L"192.0.2.40", 7001, L"game"));
    Connect(values);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        Select(i);
        bool udp = false, editable = false;
        std::string client, port, external, description;
        gktest::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            udp = IsDlgButtonChecked(window, IDC_UDP) == BST_CHECKED;
            editable = IsWindowEnabled(GetDlgItem(window, IDC_INTERNAL_CLIENT)) &&
                       IsWindowEnabled(GetDlgItem(window, IDC_INTERNAL_PORT)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_EXTERNAL_PORT)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_DESCRIPTION));
            client = gktest::Text(GetDlgItem(window, IDC_INTERNAL_CLIENT));
            port = gktest::Text(GetDlgItem(window, IDC_INTERNAL_PORT));
            external = gktest::Text(GetDlgItem(window, IDC_EXTERNAL_PORT));
            description = gktest::Text(GetDlgItem(window, IDC_DESCRIPTION));
            gktest::Click(GetDlgItem(window, IDCANCEL));
        });
        Press(IDC_EDIT);
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(udp, cases[i].udp);
        EXPECT_TRUE(editable) << "edit mode";
        EXPECT_EQ(client, "192.0.2.40");
        EXPECT_EQ(port, "7001");
        EXPECT_EQ(external, "7000");
        EXPECT_EQ(description, "game");
    }
    EXPECT_TRUE(mappings_[0]->internalClientsSet.empty());
    EXPECT_FALSE(RefillQueued()) << "Cancel changes nothing";
}

TEST_F(MappingCommandsTest, EditOfATcpMappingsInternalPortReachesTheRouter) {
    Connect(kThree);
    Select(0);
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) {
        SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "8081");
        gktest::Click(GetDlgItem(window, IDOK));
    });
    Press(IDC_EDIT);
    ASSERT_TRUE(driver.Ran());
    EXPECT_TRUE(boxes_->boxes.empty());
    EXPECT_EQ(mappings_[0]->internalClientsSet, std::vector<std::wstring>{L"192.0.2.10"});
    EXPECT_EQ(mappings_[0]->internalPortsSet, std::vector<long>{8081});
    gktest::PumpPending();
    EXPECT_NE(Lines().at(0).find("192.0.2.10:8081"), std::string::npos) << Lines().at(0);
}

// Only another record with the edited mapping's own protocol, its external port and the
// new client stops an edit.
TEST_F(MappingCommandsTest, EditIsStoppedOnlyByAnotherRecordOfTheSameProtocol) {
    struct Case {
        const char* name;
        size_t target;
        const char* newClient;
        bool stopped;
    };
    const Case cases[] = {
        {"udp edit beside a tcp mapping with that port and client", 1, "192.0.2.10", false},
        {"udp edit onto another udp record with that port and client", 1, "192.0.2.50", true},
        {"tcp edit keeping its own client", 0, "192.0.2.10", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mappings_.clear();
        boxes_->boxes.clear();
        Connect({Mapping(L"TCP", 9000, L"192.0.2.10", 90, L"a"), Mapping(L"UDP", 9000, L"192.0.2.20", 91, L"b"),
                 Mapping(L"UDP", 9000, L"192.0.2.50", 92, L"c")});
        gktest::PumpPending();
        Select(c.target);
        gktest::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_CLIENT), c.newClient);
            gktest::Click(GetDlgItem(window, IDOK));
        });
        Press(IDC_EDIT);
        ASSERT_TRUE(driver.Ran());
        const fakes::FakeMapping& edited = *mappings_[c.target];
        if (c.stopped) {
            ExpectBoxes({{"The  mapping is already set or busy.", "Look Closer!", MB_OK, true}});
            EXPECT_TRUE(edited.internalClientsSet.empty());
            EXPECT_TRUE(edited.internalPortsSet.empty());
            EXPECT_FALSE(RefillQueued());
        } else {
            EXPECT_TRUE(boxes_->boxes.empty());
            EXPECT_EQ(edited.internalClientsSet.size(), 1u);
            EXPECT_EQ(edited.internalPortsSet.size(), 1u);
            EXPECT_TRUE(RefillQueued());
        }
        gktest::PumpPending();
        sharedConfigurator = nullptr;
        configurator_.reset();
        installer_.reset();
        nat_.collection.enumerator.elements.clear();
    }
}

TEST_F(MappingCommandsTest, EditAttemptsBothChangesWhateverTheRouterAnswers) {
    struct Case {
        const char* name;
        HRESULT client;
        HRESULT port;
        std::vector<ExpectedBox> boxes;
    };
    const ExpectedBox inUse{"The  mapping is already in use!", "Look Closer!", MB_OK, false};
    const ExpectedBox comError{nullptr, "COM ERROR!", MB_ICONERROR, false};
    const ExpectedBox target{"Could not change internal target!", "!@#@#$#$^", MB_OK, true};
    const ExpectedBox port{"Could not change internal port!", "!@#@#$#$^", MB_OK, true};
    const Case cases[] = {
        {"both succeed", S_OK, S_OK, {}},
        {"client busy", BUSY_RESULT, S_OK, {inUse}},
        {"client fails", E_FAIL, S_OK, {comError, target}},
        {"port busy", S_OK, BUSY_RESULT, {inUse}},
        {"port fails", S_OK, E_FAIL, {comError, port}},
        {"both fail", E_FAIL, E_FAIL, {comError, target, comError, port}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mappings_.clear();
        boxes_->boxes.clear();
        Connect(kThree);
        gktest::PumpPending();
        mappings_[1]->editInternalClient.SetStanding(fakes::Fail(c.client));
        mappings_[1]->editInternalPort.SetStanding(fakes::Fail(c.port));
        Select(1);
        // The configurator's boxes have no owner, so the window takes clicks while one is
        // open: a Delete or Refresh made then must not shift the lists under the edit.
        const int resetsBefore = nat_.collection.enumerator.resets;
        boxes_->whileOpen = [&](const fakes::Box&) {
            Select(0);
            Press(IDC_DELETE);
            Press(IDC_REFRESH);
        };
        gktest::DialogDriver driver(kAddEditCaption, [](HWND window) {
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_CLIENT), "192.0.2.99");
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "5999");
            gktest::Click(GetDlgItem(window, IDOK));
        });
        Press(IDC_EDIT);
        boxes_->whileOpen = nullptr;
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(mappings_[1]->editInternalClient.Calls(), 1);
        EXPECT_EQ(mappings_[1]->editInternalPort.Calls(), 1);
        EXPECT_TRUE(nat_.collection.removeCalls.empty());
        EXPECT_EQ(nat_.collection.enumerator.resets, resetsBefore);
        for (size_t other : {0u, 2u}) EXPECT_TRUE(mappings_[other]->internalPortsSet.empty()) << other;
        ExpectBoxes(c.boxes);
        EXPECT_TRUE(RefillQueued()) << "the tree is rebuilt in every case";
        gktest::PumpPending();
        const std::string line = Lines().at(1);
        EXPECT_EQ(line.find("192.0.2.99") != std::string::npos, c.client == S_OK) << line;
        EXPECT_EQ(line.find(":5999") != std::string::npos, c.port == S_OK) << line;
        sharedConfigurator = nullptr;
        configurator_.reset();
        installer_.reset();
        nat_.collection.enumerator.elements.clear();
    }
}

TEST_F(MappingCommandsTest, EditWithoutASelectionDoesNothing) {
    Connect(kThree);
    TreeView_SelectItem(tree_, nullptr);
    gktest::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    Press(IDC_EDIT);
    Press(IDC_DELETE);
    gktest::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_->boxes.empty());
}

// ---- Delete ----

TEST_F(MappingCommandsTest, DeletingTheSecondOfThreeAsksWithItsLineAndLeavesTheOthers) {
    Connect(kThree);
    const std::vector<std::string> before = Lines();
    Select(1);
    Press(IDC_DELETE);
    ExpectBoxes({{nullptr, "Careful!", MB_OKCANCEL | MB_ICONEXCLAMATION, true}});
    EXPECT_EQ(boxes_->boxes[0].text,
              "Are you sure that you want to delete this port mapping?\r\n\r\n[" + before[1] + "]\r\n");
    ASSERT_EQ(nat_.collection.removeCalls.size(), 1u);
    EXPECT_EQ(nat_.collection.removeCalls[0].externalPort, 5000);
    EXPECT_EQ(nat_.collection.removeCalls[0].protocol, L"UDP");
    gktest::PumpPending();
    EXPECT_EQ(Lines(), (std::vector<std::string>{before[0], before[2]}));
}

TEST_F(MappingCommandsTest, DeleteAnsweredWithCancelChangesNothing) {
    Connect(kThree);
    const std::vector<std::string> before = Lines();
    Select(0);
    boxes_->Answer(IDCANCEL);
    Press(IDC_DELETE);
    EXPECT_EQ(boxes_->boxes.size(), 1u);
    EXPECT_TRUE(nat_.collection.removeCalls.empty());
    EXPECT_FALSE(RefillQueued());
    EXPECT_EQ(Lines(), before);
}

TEST_F(MappingCommandsTest, DeleteRefusedByTheRouterIsReported) {
    Connect(kThree);
    nat_.collection.remove.SetStanding(fakes::Fail(E_FAIL));
    Select(2);
    Press(IDC_DELETE);
    ASSERT_GE(boxes_->boxes.size(), 2u);
    const fakes::Box& last = boxes_->boxes.back();
    EXPECT_EQ(last.text, "Could not delete port mapping!");
    EXPECT_EQ(last.caption, "AARGH!");
    EXPECT_EQ(last.type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(last.owner, main_->Window());
    EXPECT_FALSE(RefillQueued());
    EXPECT_EQ(Items().size(), 3u);
}

TEST_F(MappingCommandsTest, DeleteConfirmationCarriesALongLineWholeAndVerbatim) {
    const std::wstring description = std::wstring(65536, L'w') + L" %s %n %%";
    Connect({Mapping(L"TCP", 8080, L"192.0.2.10", 80, description.c_str())});
    const std::string line = Lines().at(0);
    ASSERT_GT(line.size(), 65536u);
    Select(0);
    boxes_->Answer(IDCANCEL);
    Press(IDC_DELETE);
    ASSERT_EQ(boxes_->boxes.size(), 1u);
    EXPECT_EQ(boxes_->boxes[0].text, "Are you sure that you want to delete this port mapping?\r\n\r\n[" + line + "]\r\n");
}

// ---- the check box ----

// A click, a double click on the check box and Space each ask the router once: the mark
// flips with the router's answer and the record follows it.
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
        ASSERT_EQ(IsTreeItemChecked(tree_, item), c.checkedBefore);
        FlipBy(c.how, item);
        EXPECT_EQ(mappings_[c.position]->enableStates, std::vector<VARIANT_BOOL>{c.requested});
        EXPECT_EQ(IsTreeItemChecked(tree_, item), !c.checkedBefore);
        EXPECT_EQ(TreeView_GetSelection(tree_), item);
    }
    EXPECT_TRUE(boxes_->boxes.empty());
    // The records follow the router, so a rebuild shows the same marks.
    SendMessageA(main_->Window(), WMU_REFILL_TREE, 0, 0);
    for (const Case& c : cases) EXPECT_EQ(IsTreeItemChecked(tree_, Items().at(c.position)), !c.checkedBefore);
}

TEST_F(MappingCommandsTest, AFailedEnableKeepsTheCheckMarkAsItWasWhateverTheInput) {
    Connect(kThree);
    for (const auto& mapping : mappings_) mapping->enable.SetStanding(fakes::Fail(E_FAIL));
    const Flip ways[] = {Flip::Click, Flip::DoubleClick, Flip::Space};
    for (size_t i = 0; i < std::size(ways); ++i) {
        SCOPED_TRACE(i);
        const HTREEITEM item = Items().at(i);
        const bool before = IsTreeItemChecked(tree_, item);
        FlipBy(ways[i], item);
        EXPECT_EQ(mappings_[i]->enableStates.size(), 1u);
        ASSERT_EQ(boxes_->boxes.size(), i + 1) << "one box for one input";
        const fakes::Box& last = boxes_->boxes.back();
        EXPECT_EQ(last.text, "Failure in changing state. :(");
        EXPECT_EQ(last.caption, "DARN!");
        EXPECT_EQ(last.type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(last.owner, main_->Window());
        EXPECT_EQ(IsTreeItemChecked(tree_, item), before) << "the router did not take the change";
    }
}

// A click on a label only selects; a double click edits that mapping, unless Edit is disabled.
TEST_F(MappingCommandsTest, ALabelClickSelectsAndADoubleClickEdits) {
    Connect(kThree);
    ClickAt(LabelPoint(Items().at(1)));
    EXPECT_EQ(TreeView_GetSelection(tree_), Items().at(1));
    EXPECT_TRUE(IsTreeItemChecked(tree_, Items().at(1)));
    for (const bool editEnabled : {true, false}) {
        SCOPED_TRACE(editEnabled);
        EnableWindow(GetDlgItem(main_->Window(), IDC_EDIT), editEnabled);
        std::string client;
        gktest::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            client = gktest::Text(GetDlgItem(window, IDC_INTERNAL_CLIENT));
            gktest::Click(GetDlgItem(window, IDCANCEL));
        });
        ClickAt(LabelPoint(Items().at(editEnabled ? 2 : 0)), 2);
        EXPECT_EQ(driver.Ran(), editEnabled);
        EXPECT_EQ(client, editEnabled ? "192.0.2.12" : "");
        if (editEnabled) {
            EXPECT_EQ(TreeView_GetSelection(tree_), Items().at(2));
        }
    }
    for (const auto& mapping : mappings_) EXPECT_TRUE(mapping->enableStates.empty());
    EXPECT_TRUE(boxes_->boxes.empty());
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "(clipboard not available)";
    if (const HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) text = bytes;
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(1);
        const std::string line = Lines().at(1);
        const int resetsBefore = nat_.collection.enumerator.resets;
        boxes_->boxes.clear();
        boxes_->Answer(IDCANCEL);
        const size_t enablesBefore = mappings_[1]->enableStates.size();
        const bool checkedBefore = IsTreeItemChecked(tree_, Items().at(1));
        const HWND disabled = c.disabled ? GetDlgItem(main_->Window(), c.disabled) : nullptr;
        if (disabled) EnableWindow(disabled, FALSE);
        PressKey(GetDlgItem(main_->Window(), c.focus), c.key, 0, c.held);
        if (disabled) EnableWindow(disabled, TRUE);
        EXPECT_EQ(mappings_[1]->enableStates.size() - enablesBefore, c.flips);
        EXPECT_EQ(IsTreeItemChecked(tree_, Items().at(1)), checkedBefore != (c.flips == 1));
        EXPECT_EQ(nat_.collection.enumerator.resets - resetsBefore, c.refreshes);
        ASSERT_EQ(boxes_->boxes.size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(boxes_->boxes[0].text,
                      "Are you sure that you want to delete this port mapping?\r\n\r\n[" + line + "]\r\n");
        }
        EXPECT_TRUE(nat_.collection.removeCalls.empty());
    }
    ASSERT_TRUE(ui::CopyTextToClipboard(main_->Window(), "before"));
    Select(2);
    PressKey(tree_, 'C', VK_CONTROL);
    EXPECT_EQ(ClipboardText(), Lines().at(2));
    PressKey(tree_, VK_RETURN);
    EXPECT_FALSE(IsWindow(main_->Window()));
    EXPECT_EQ(main_->Result(), IDOK);
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
        {"right-click on a line", 0, 1, 0, "*&Edit...|D&isable|&Delete|&Copy", 2, 0, 1, 0},
        {"Shift+F10", VK_F10, 2, 0, "*&Edit...|E&nable|&Delete|&Copy", 1, 0, 0, 1},
        {"Menu key, Edit disabled", VK_APPS, 0, IDC_EDIT, "-*&Edit...|D&isable|&Delete|&Copy", -1, 0, 0, 0},
        {"right-click off the lines", 0, -1, 0, "&Refresh|&Add...", 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t position = static_cast<size_t>(std::max(c.line, 0));
        Select(c.key ? position : 0);
        const RECT text = TextRect(Items().at(position));
        POINT at = c.key ? POINT{text.left, text.bottom} : LabelPoint(Items().at(position));
        if (c.line < 0) at.y = text.bottom + 40;
        const int resetsBefore = nat_.collection.enumerator.resets;
        const bool checkedBefore = IsTreeItemChecked(tree_, Items().at(position));
        boxes_->boxes.clear();
        boxes_->Answer(IDCANCEL);
        std::string items;
        RECT popup{};
        gktest::DialogDriver driver("", [&](HWND window) {
            const auto menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
            items = MenuItems(menu);
            GetWindowRect(window, &popup);
            RECT item{};
            if (c.chosen < 0 || !GetMenuItemRect(nullptr, menu, static_cast<UINT>(c.chosen), &item)) {
                EndMenu();
                return;
            }
            SetCursorPos((item.left + item.right) / 2, (item.top + item.bottom) / 2);
            std::vector<INPUT> click = gktest::MouseClicks(1);
            SendInput(2, click.data(), sizeof(INPUT));
        }, gktest::DialogDriver::kMenu);
        if (c.disabled) EnableWindow(GetDlgItem(main_->Window(), c.disabled), FALSE);
        if (c.key) {
            PressKey(tree_, c.key, c.key == VK_F10 ? VK_SHIFT : 0);
        } else {
            ClickAt(at, 1, true);
        }
        if (c.disabled) EnableWindow(GetDlgItem(main_->Window(), c.disabled), TRUE);
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(items, c.items);
        ClientToScreen(tree_, &at);
        EXPECT_EQ(popup.left, at.x);
        EXPECT_EQ(popup.top, at.y);
        if (c.line >= 0) {
            EXPECT_EQ(TreeView_GetSelection(tree_), Items().at(position));
        }
        EXPECT_EQ(nat_.collection.enumerator.resets - resetsBefore, c.refreshes);
        EXPECT_EQ(boxes_->boxes.size(), c.boxes);
        EXPECT_EQ(mappings_[position]->enableStates.size(), c.flips);
        EXPECT_EQ(IsTreeItemChecked(tree_, Items().at(position)), checkedBefore != (c.flips == 1));
    }
    // While a command runs (here with its box open), the menu offers nothing.
    std::string items;
    boxes_->whileOpen = [&](const fakes::Box&) {
        gktest::DialogDriver driver("", [&](HWND window) {
            items = MenuItems(reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0)));
            EndMenu();
        }, gktest::DialogDriver::kMenu);
        ClickAt(LabelPoint(Items().at(0)), 1, true);
    };
    boxes_->Answer(IDCANCEL);
    Select(0);
    Press(IDC_DELETE);
    EXPECT_EQ(items, "-*&Edit...|-D&isable|-&Delete|-&Copy");
}

}  // namespace
