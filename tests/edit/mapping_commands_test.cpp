// The Add, Edit and Delete commands in the real main dialog, against the fake NAT
// objects; the Add/Edit dialog is the real one, driven inside its modal loop.
#include "edit/mapping_commands.h"

#include <gtest/gtest.h>

#include "tests/edit/mapping_commands_fixture.h"

namespace {

using namespace commands_test;

TEST_F(MappingCommandsTest, EveryButtonBeforeTheFirstRefreshDoesNothing) {
    gui_test::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    for (int id : {IDC_ADD, IDC_EDIT, IDC_DELETE}) Click(id);
    gui_test::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MappingCommandsTest, WithoutACollectionTheButtonsDoNothing) {
    Router().nat.getCollection.SetStanding(fakes::Fail(E_FAIL));
    Click(IDC_REFRESH);
    ASSERT_NE(sharedConfigurator, nullptr);
    ASSERT_FALSE(sharedConfigurator->collection);
    boxes_.boxes.clear();  // the configurator's own report of the missing collection, and the refresh's
    gui_test::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    for (int id : {IDC_ADD, IDC_EDIT, IDC_DELETE}) Click(id);
    gui_test::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_.boxes.empty());
}

// ---- Add ----

TEST_F(MappingCommandsTest, AddWithTheDefaultsRequestsThemDisabled) {
    Connect(kThree);
    gui_test::DialogDriver driver(kAddEditCaption, gui_test::ClickOn(IDOK));
    Click(IDC_ADD);
    ASSERT_TRUE(driver.Ran());
    ASSERT_EQ(router_->collection().addCalls.size(), 1u);
    const fakes::AddCall& call = router_->collection().addCalls[0];
    EXPECT_EQ(call.externalPort, 0);
    EXPECT_EQ(call.internalPort, 0);
    EXPECT_EQ(call.internalClient, L"0.0.0.0");
    EXPECT_EQ(call.description, L"new service");
    EXPECT_EQ(call.protocol, L"TCP");
    EXPECT_EQ(call.enabled, VARIANT_FALSE);
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_TRUE(RefillQueued());
    gui_test::PumpPending();
    EXPECT_EQ(Items().size(), 4u);
}

TEST_F(MappingCommandsTest, AddPassesWhatTheUserEnteredWithUdp) {
    Connect(kThree);
    // Texts in scripts outside the ANSI code page reach the platform as typed.
    const wchar_t* client = L"\x0441\x0435\x0440\x0432\x0435\x0440.lan";
    const wchar_t* description = L"game \x6E38\x620F \x03A9 \xD83C\xDFAE";
    bool unicodeFields = false;
    gui_test::DialogDriver driver(kAddEditCaption, [&](HWND window) {
        gui_test::Click(GetDlgItem(window, IDC_UDP));
        SetWindowTextA(GetDlgItem(window, IDC_EXTERNAL_PORT), "6000");
        SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "6001");
        SetWindowTextW(GetDlgItem(window, IDC_INTERNAL_CLIENT), client);
        SetWindowTextW(GetDlgItem(window, IDC_DESCRIPTION), description);
        // Windows keeps an ANSI edit field's text in the ANSI code page (Wine does not).
        unicodeFields = IsWindowUnicode(GetDlgItem(window, IDC_DESCRIPTION)) &&
                        IsWindowUnicode(GetDlgItem(window, IDC_INTERNAL_CLIENT));
        gui_test::Click(GetDlgItem(window, IDOK));
    });
    Click(IDC_ADD);
    ASSERT_EQ(router_->collection().addCalls.size(), 1u);
    const fakes::AddCall& call = router_->collection().addCalls[0];
    EXPECT_EQ(call.protocol, L"UDP");
    EXPECT_EQ(call.externalPort, 6000);
    EXPECT_EQ(call.internalPort, 6001);
    EXPECT_EQ(call.internalClient, client);
    EXPECT_EQ(call.description, description);
    EXPECT_TRUE(unicodeFields);
    EXPECT_EQ(call.enabled, VARIANT_FALSE);
}

TEST_F(MappingCommandsTest, AddCancelledChangesNothing) {
    Connect(kThree);
    gui_test::DialogDriver driver(kAddEditCaption, gui_test::ClickOn(IDCANCEL));
    Click(IDC_ADD);
    EXPECT_TRUE(driver.Ran());
    EXPECT_TRUE(router_->collection().addCalls.empty());
    EXPECT_FALSE(RefillQueued());
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(MappingCommandsTest, AddRefusedByTheRouterIsReportedAfterTheConfiguratorsBox) {
    Connect(kThree);
    router_->collection().add.SetStanding(fakes::Fail(E_FAIL));
    gui_test::DialogDriver driver(kAddEditCaption, gui_test::ClickOn(IDOK));
    Click(IDC_ADD);
    ASSERT_FALSE(boxes_.boxes.empty());
    const fakes::Box& last = boxes_.boxes.back();
    EXPECT_EQ(last.text, "Could not add the requested mapping!");
    EXPECT_EQ(last.caption, "!@##@$$%");
    EXPECT_EQ(last.type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(last.owner, Window());
    EXPECT_EQ(boxes_.boxes.front().owner, nullptr) << "the configurator's box has no owner";
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
    const wchar_t* game = L"game \x6E38\x620F";  // shown whole, not in the ANSI code page
    for (const Case& c : cases) values.push_back(Mapping(c.protocol, 7000, L"192.0.2.40", 7001, game));
    Connect(values);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        Select(i);
        bool udp = false, editable = false;
        std::string client, port, external;
        std::wstring description;
        gui_test::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            udp = IsDlgButtonChecked(window, IDC_UDP) == BST_CHECKED;
            editable = IsWindowEnabled(GetDlgItem(window, IDC_INTERNAL_CLIENT)) &&
                       IsWindowEnabled(GetDlgItem(window, IDC_INTERNAL_PORT)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_EXTERNAL_PORT)) &&
                       !IsWindowEnabled(GetDlgItem(window, IDC_DESCRIPTION));
            client = ui::WindowText(GetDlgItem(window, IDC_INTERNAL_CLIENT));
            port = ui::WindowText(GetDlgItem(window, IDC_INTERNAL_PORT));
            external = ui::WindowText(GetDlgItem(window, IDC_EXTERNAL_PORT));
            description = ui::WideWindowText(GetDlgItem(window, IDC_DESCRIPTION));
            gui_test::Click(GetDlgItem(window, IDCANCEL));
        });
        Click(IDC_EDIT);
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(udp, cases[i].udp);
        EXPECT_TRUE(editable) << "edit mode";
        EXPECT_EQ(client, "192.0.2.40");
        EXPECT_EQ(port, "7001");
        EXPECT_EQ(external, "7000");
        EXPECT_EQ(description, game);
    }
    EXPECT_TRUE(router_->mapping(0).internalClientsSet.empty());
    EXPECT_FALSE(RefillQueued()) << "Cancel changes nothing";
}

TEST_F(MappingCommandsTest, EditOfATcpMappingsInternalPortReachesTheRouter) {
    Connect(kThree);
    Select(0);
    gui_test::DialogDriver driver(kAddEditCaption, [](HWND window) {
        SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "8081");
        gui_test::Click(GetDlgItem(window, IDOK));
    });
    Click(IDC_EDIT);
    ASSERT_TRUE(driver.Ran());
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(router_->mapping(0).internalClientsSet, std::vector<std::wstring>{L"192.0.2.10"});
    EXPECT_EQ(router_->mapping(0).internalPortsSet, std::vector<long>{8081});
    gui_test::PumpPending();
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
        boxes_.boxes.clear();
        Connect({Mapping(L"TCP", 9000, L"192.0.2.10", 90, L"a"), Mapping(L"UDP", 9000, L"192.0.2.20", 91, L"b"),
                 Mapping(L"UDP", 9000, L"192.0.2.50", 92, L"c")});
        gui_test::PumpPending();
        Select(c.target);
        gui_test::DialogDriver driver(kAddEditCaption, [&](HWND window) {
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_CLIENT), c.newClient);
            gui_test::Click(GetDlgItem(window, IDOK));
        });
        Click(IDC_EDIT);
        ASSERT_TRUE(driver.Ran());
        const fakes::FakeMapping& edited = router_->mapping(c.target);
        if (c.stopped) {
            ExpectBoxes({{"The  mapping is already set or busy.", "Look Closer!", MB_OK, true}});
            EXPECT_TRUE(edited.internalClientsSet.empty());
            EXPECT_TRUE(edited.internalPortsSet.empty());
            EXPECT_FALSE(RefillQueued());
        } else {
            EXPECT_TRUE(boxes_.boxes.empty());
            EXPECT_EQ(edited.internalClientsSet.size(), 1u);
            EXPECT_EQ(edited.internalPortsSet.size(), 1u);
            EXPECT_TRUE(RefillQueued());
        }
        gui_test::PumpPending();
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
        boxes_.boxes.clear();
        Connect(kThree);
        gui_test::PumpPending();
        router_->mapping(1).editInternalClient.SetStanding(fakes::Fail(c.client));
        router_->mapping(1).editInternalPort.SetStanding(fakes::Fail(c.port));
        Select(1);
        // The configurator's boxes have no owner, so the window takes clicks while one is
        // open: a Delete or Refresh made then must not shift the lists under the edit.
        const int resetsBefore = router_->collection().enumerator.resets;
        boxes_.whileOpen = [&](const fakes::Box&) {
            Select(0);
            Click(IDC_DELETE);
            Click(IDC_REFRESH);
        };
        gui_test::DialogDriver driver(kAddEditCaption, [](HWND window) {
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_CLIENT), "192.0.2.99");
            SetWindowTextA(GetDlgItem(window, IDC_INTERNAL_PORT), "5999");
            gui_test::Click(GetDlgItem(window, IDOK));
        });
        Click(IDC_EDIT);
        boxes_.whileOpen = nullptr;
        ASSERT_TRUE(driver.Ran());
        EXPECT_EQ(router_->mapping(1).editInternalClient.Calls(), 1);
        EXPECT_EQ(router_->mapping(1).editInternalPort.Calls(), 1);
        EXPECT_TRUE(router_->collection().removeCalls.empty());
        EXPECT_EQ(router_->collection().enumerator.resets, resetsBefore);
        for (size_t other : {0u, 2u}) EXPECT_TRUE(router_->mapping(other).internalPortsSet.empty()) << other;
        ExpectBoxes(c.boxes);
        EXPECT_TRUE(RefillQueued()) << "the tree is rebuilt in every case";
        gui_test::PumpPending();
        const std::string line = Lines().at(1);
        EXPECT_EQ(line.find("192.0.2.99") != std::string::npos, c.client == S_OK) << line;
        EXPECT_EQ(line.find(":5999") != std::string::npos, c.port == S_OK) << line;
    }
}

TEST_F(MappingCommandsTest, EditWithoutASelectionDoesNothing) {
    Connect(kThree);
    TreeView_SelectItem(Tree(), nullptr);
    gui_test::DialogDriver driver(kAddEditCaption, [](HWND window) { EndDialog(window, IDCANCEL); });
    Click(IDC_EDIT);
    Click(IDC_DELETE);
    gui_test::PumpPending();
    EXPECT_FALSE(driver.Ran());
    EXPECT_TRUE(boxes_.boxes.empty());
}

// ---- Delete ----

TEST_F(MappingCommandsTest, DeletingTheSecondOfThreeAsksWithItsLineAndLeavesTheOthers) {
    Connect(kThree);
    const std::vector<std::string> before = Lines();
    Select(1);
    Click(IDC_DELETE);
    ExpectBoxes({{nullptr, "Careful!", MB_OKCANCEL | MB_ICONEXCLAMATION, true}});
    EXPECT_EQ(boxes_.boxes[0].text,
              "Are you sure that you want to delete this port mapping?\r\n\r\n[" + before[1] + "]\r\n");
    ASSERT_EQ(router_->collection().removeCalls.size(), 1u);
    EXPECT_EQ(router_->collection().removeCalls[0].externalPort, 5000);
    EXPECT_EQ(router_->collection().removeCalls[0].protocol, L"UDP");
    gui_test::PumpPending();
    EXPECT_EQ(Lines(), (std::vector<std::string>{before[0], before[2]}));
}

TEST_F(MappingCommandsTest, DeleteAnsweredWithCancelChangesNothing) {
    Connect(kThree);
    const std::vector<std::string> before = Lines();
    Select(0);
    boxes_.Answer(IDCANCEL);
    Click(IDC_DELETE);
    EXPECT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_TRUE(router_->collection().removeCalls.empty());
    EXPECT_FALSE(RefillQueued());
    EXPECT_EQ(Lines(), before);
}

TEST_F(MappingCommandsTest, DeleteRefusedByTheRouterIsReported) {
    Connect(kThree);
    router_->collection().remove.SetStanding(fakes::Fail(E_FAIL));
    Select(2);
    Click(IDC_DELETE);
    ASSERT_GE(boxes_.boxes.size(), 2u);
    const fakes::Box& last = boxes_.boxes.back();
    EXPECT_EQ(last.text, "Could not delete port mapping!");
    EXPECT_EQ(last.caption, "AARGH!");
    EXPECT_EQ(last.type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(last.owner, Window());
    EXPECT_FALSE(RefillQueued());
    EXPECT_EQ(Items().size(), 3u);
}

TEST_F(MappingCommandsTest, DeleteConfirmationCarriesALongLineWholeAndVerbatimInAnyScript) {
    const std::wstring description = std::wstring(65536, L'w') + L" %s %n %% \x6E38\x620F\x670D\x52A1\x5668";
    Connect({Mapping(L"TCP", 8080, L"192.0.2.10", 80, description.c_str())});
    const std::wstring line = ui::TreeItemText(Tree(), Items().at(0));
    ASSERT_EQ(line.substr(line.size() - 6), L"\x6E38\x620F\x670D\x52A1\x5668 ");
    Select(0);
    boxes_.Answer(IDCANCEL);
    Click(IDC_DELETE);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].wideText,
              L"Are you sure that you want to delete this port mapping?\r\n\r\n[" + line + L"]\r\n");
}

}  // namespace
