// The five change operations: their platform calls, boxes, results and both lists after each.
#include <gtest/gtest.h>

#include <memory>

#include "tests/natcfg/natcfg_test_support.h"
#include "ui/text.h"

using fakes::FakeMapping;
using fakes::FakeRouter;
using natcfg_test::BoxIs;
using natcfg_test::ExternalPorts;
using natcfg_test::ListsMatch;

namespace {

constexpr char kInUse[] = "The  mapping is already in use!";
const std::vector<int32_t> kListed = {8000, 8001, 8002};

// The composed text of E_ACCESSDENIED, as the guard shows it.
bool IsAccessDeniedText(const std::string& text) { return text.rfind("::-2147024891::::", 0) == 0; }

class Changes : public testing::Test {
protected:
    void SetUp() override {
        configurator = std::make_unique<Portolan>();
        ASSERT_TRUE(configurator->RefreshMappings());
        ASSERT_EQ(ExternalPorts(*configurator), kListed);
    }
    void TearDown() override {
        configurator.reset();
        EXPECT_TRUE(router.Balanced()) << router.Counts();
    }
    std::vector<FakeMapping*> Listed(std::initializer_list<size_t> indices) {
        std::vector<FakeMapping*> result;
        for (size_t i : indices) result.push_back(&router.mapping(i));
        return result;
    }
    static PortMapping NewMapping() {
        PortMapping mapping;
        mapping.externalIPAddress = L"198.51.100.1";
        mapping.description = L"new service";
        mapping.enabled = -1;
        mapping.internalPort = 22;
        mapping.externalPort = 2222;
        mapping.protocol = L"TCP";
        mapping.internalClient = L"192.0.2.50";
        return mapping;
    }

    FakeRouter router{3};
    fakes::MessageBoxRecorder boxes;
    std::unique_ptr<Portolan> configurator;
};

TEST_F(Changes, AddPassesTheRecordAndAppendsWhatTheRouterReportsBack) {
    router.collection().addedDescription = L"the router's own name";
    ASSERT_TRUE(configurator->AddMapping(NewMapping()));
    ASSERT_EQ(router.collection().addCalls.size(), 1u);
    const fakes::AddCall& call = router.collection().addCalls[0];
    EXPECT_EQ(call.externalPort, 2222);
    EXPECT_EQ(call.protocol, L"TCP");
    EXPECT_EQ(call.internalPort, 22);
    EXPECT_EQ(call.internalClient, L"192.0.2.50");
    EXPECT_EQ(call.enabled, VARIANT_TRUE);
    EXPECT_EQ(call.description, L"new service");
    EXPECT_EQ(ExternalPorts(*configurator), (std::vector<int32_t>{8000, 8001, 8002, 2222}));
    EXPECT_EQ(configurator->mappings[3].description, L"the router's own name");
    EXPECT_EQ(configurator->mappingObjects[3].Get(), router.collection().created.at(0).get());
    EXPECT_EQ(router.collection().created[0]->counter.Refs(), 1);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Changes, AnAddStandsWhereTheRouterCannotBeAskedForTheMapping) {
    router.collection().item.SetStanding(fakes::Fail(E_NOTIMPL));
    ASSERT_TRUE(configurator->AddMapping(NewMapping()));
    EXPECT_EQ(ExternalPorts(*configurator), (std::vector<int32_t>{8000, 8001, 8002, 2222}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Changes, AddPassesTheLow16BitsOfEnabled) {
    PortMapping mapping = NewMapping();
    mapping.enabled = 1;
    ASSERT_TRUE(configurator->AddMapping(mapping));
    mapping.externalPort = 2223;
    mapping.enabled = 0;
    ASSERT_TRUE(configurator->AddMapping(mapping));
    ASSERT_EQ(router.collection().addCalls.size(), 2u);
    EXPECT_EQ(router.collection().addCalls[0].enabled, 1);
    EXPECT_EQ(router.collection().addCalls[1].enabled, 0);
}

// Mapping 1 of the router is UDP 8001 to 192.0.2.11.
struct DuplicateCase {
    const wchar_t* protocol;
    int32_t port;
    const wchar_t* client;
    bool blocked;
};
const DuplicateCase kDuplicateCases[] = {
    {L"UDP", 8001, L"192.0.2.11", true},
    {L"UDP", 8001, L"192.0.2.99", false},  // another client: the router decides
    {L"udp", 8001, L"192.0.2.11", false},
    {L"TCP", 8001, L"192.0.2.11", false},
};

TEST_F(Changes, AddRefusesOnlyAnExactDuplicateWithoutCallingThePlatform) {
    for (const DuplicateCase& c : kDuplicateCases) {
        SCOPED_TRACE(testing::Message() << c.protocol << " " << c.port << " " << c.client);
        PortMapping mapping = NewMapping();
        mapping.protocol = c.protocol;
        mapping.externalPort = c.port;
        mapping.internalClient = c.client;
        router.collection().add.Push(fakes::Fail(BUSY_RESULT));  // a call would show the in-use box
        boxes.boxes.clear();
        const size_t calls = router.collection().addCalls.size();
        EXPECT_TRUE(configurator->AddMapping(mapping));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        if (c.blocked) {
            EXPECT_TRUE(BoxIs(boxes, 0, "The  mapping is already set or busy.", "Look Closer!", MB_OK));
            EXPECT_EQ(router.collection().addCalls.size(), calls);
            router.collection().add = fakes::Script();
        } else {
            EXPECT_TRUE(BoxIs(boxes, 0, kInUse, "Look Closer!", MB_OK));
            EXPECT_EQ(router.collection().addCalls.size(), calls + 1);
        }
        EXPECT_EQ(ExternalPorts(*configurator), kListed);
    }
}

TEST_F(Changes, AListedRecordWithoutClientNeverBlocksAnAdd) {
    configurator->mappings[1].internalClient.clear();
    PortMapping mapping = NewMapping();
    mapping.protocol = L"UDP";
    mapping.externalPort = 8001;
    mapping.internalClient.clear();
    EXPECT_TRUE(configurator->AddMapping(mapping));
    EXPECT_EQ(router.collection().addCalls.size(), 1u);
}

// A platform answer, the operation's result and the one box it brings.
struct BoxOutcome {
    const char* name;
    fakes::Reply reply;
    bool result;
    const char* text;  // nullptr: the composed text of E_ACCESSDENIED
    const char* caption;
    UINT type;
    bool routerKeepsIt = true;  // false: the router says yes to an Add and lists nothing
    AddOutcome::Kind quiet = AddOutcome::Refused;  // what the same add without boxes answers
};

// The recorder holds exactly the outcome's box.
void ExpectOutcomeBox(const fakes::MessageBoxRecorder& boxes, const BoxOutcome& c) {
    ASSERT_EQ(boxes.boxes.size(), 1u);
    if (c.text) {
        EXPECT_TRUE(BoxIs(boxes, 0, c.text, c.caption, c.type));
        return;
    }
    EXPECT_TRUE(IsAccessDeniedText(boxes.boxes[0].text)) << boxes.boxes[0].text;
    EXPECT_EQ(boxes.boxes[0].caption, c.caption);
    EXPECT_EQ(boxes.boxes[0].type, c.type);
}

TEST_F(Changes, AddOutcomesWithTheirBoxAndUnchangedLists) {
    const BoxOutcome cases[] = {
        {"busy", fakes::Fail(BUSY_RESULT), true, kInUse, "Look Closer!", MB_OK, true, AddOutcome::Busy},
        {"refused", fakes::Fail(E_ACCESSDENIED), false, nullptr, "ERROR!", MB_ICONERROR},
        {"refused with error info", fakes::FailWithErrorInfo(E_ACCESSDENIED, L"router says no", L"router"), false,
         nullptr, "ERROR!", MB_ICONERROR},
        {"no object", fakes::NullOut(), false, "Null poStaticPortMapping:AddMapping", "ForTob!", MB_ICONERROR, true,
         AddOutcome::NoObject},
        {"out of memory", fakes::ThrowOutOfMemory(), false, "Unknown error:AddMapping", "ERROR!", MB_ICONERROR, true,
         AddOutcome::Unexpected},
        {"accepted, kept nothing", fakes::Reply{}, false,
         "The router accepted the mapping but holds no such mapping: its table may be full, or it refuses "
         "mappings for that address.",
         "ERROR!", MB_ICONERROR, false, AddOutcome::NotKept},
    };
    for (const BoxOutcome& c : cases) {
        SCOPED_TRACE(c.name);
        router.collection().keepsAdded = c.routerKeepsIt;
        router.collection().add.Push(c.reply);
        boxes.boxes.clear();
        EXPECT_EQ(configurator->AddMapping(NewMapping()), c.result);
        ASSERT_NO_FATAL_FAILURE(ExpectOutcomeBox(boxes, c));
        EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
        // Without boxes: the outcome comes back instead, with the router's code where it refused.
        router.collection().add.Push(c.reply);
        boxes.boxes.clear();
        const AddOutcome quiet = configurator->TryAddMapping(NewMapping());
        EXPECT_EQ(quiet.kind, c.quiet);
        if (c.quiet == AddOutcome::Refused) {
            EXPECT_EQ(quiet.code, E_ACCESSDENIED);
        }
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
    }
    router.collection().keepsAdded = true;
    EXPECT_EQ(configurator->TryAddMapping(NewMapping()).kind, AddOutcome::Added);
    EXPECT_EQ(configurator->TryAddMapping(NewMapping()).kind, AddOutcome::AlreadyListed);
    EXPECT_EQ(ExternalPorts(*configurator), (std::vector<int32_t>{8000, 8001, 8002, 2222}));
}

TEST_F(Changes, DeleteRemovesTheElementFromBothLists) {
    ASSERT_TRUE(configurator->DeleteMapping(0));
    ASSERT_EQ(router.collection().removeCalls.size(), 1u);
    EXPECT_EQ(router.collection().removeCalls[0].externalPort, 8000);
    EXPECT_EQ(router.collection().removeCalls[0].protocol, L"TCP");
    EXPECT_TRUE(ListsMatch(*configurator, Listed({1, 2})));
    EXPECT_EQ(router.mapping(0).counter.Refs(), 0);
    ASSERT_TRUE(configurator->DeleteMapping(1));
    EXPECT_TRUE(ListsMatch(*configurator, Listed({1})));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Changes, AFailedDeleteComposesTheErrorWithoutABox) {
    router.collection().remove.Push(fakes::Fail(E_ACCESSDENIED));
    EXPECT_FALSE(configurator->DeleteMapping(1));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(IsAccessDeniedText(ui::WideToAnsi(configurator->lastError))) << ui::WideToAnsi(configurator->lastError);
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
    // A later success leaves the text in place.
    EXPECT_TRUE(configurator->DeleteMapping(1));
    EXPECT_TRUE(IsAccessDeniedText(ui::WideToAnsi(configurator->lastError)));
}

TEST_F(Changes, DeleteOutOfMemoryShowsTheCatchAll) {
    router.collection().remove.Push(fakes::ThrowOutOfMemory());
    EXPECT_FALSE(configurator->DeleteMapping(2));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(BoxIs(boxes, 0, "Unknown error:DeleteMapping", "ERROR!", MB_ICONERROR));
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
}

TEST_F(Changes, EditInternalClientReplacesTheRecordsClientOnSuccess) {
    ASSERT_TRUE(configurator->EditInternalClient(2, L"192.0.2.77"));
    EXPECT_EQ(router.mapping(2).internalClientsSet, (std::vector<std::wstring>{L"192.0.2.77"}));
    EXPECT_EQ(configurator->mappings[2].internalClient, L"192.0.2.77");
    EXPECT_EQ(configurator->mappings[1].internalClient, L"192.0.2.11");
    EXPECT_EQ(configurator->mappingObjects[2].Get(), &router.mapping(2));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Changes, EditInternalPortReplacesTheRecordsPortOnSuccess) {
    ASSERT_TRUE(configurator->EditInternalPort(0, 8443));
    EXPECT_EQ(router.mapping(0).internalPortsSet, (std::vector<long>{8443}));
    EXPECT_EQ(configurator->mappings[0].internalPort, 8443);
    EXPECT_EQ(configurator->mappings[1].internalPort, 81);
    EXPECT_TRUE(boxes.boxes.empty());
}

// Both edits share their outcomes: busy keeps the record, a failure shows the COM box.

TEST_F(Changes, EditOutcomesKeepTheRecordAndShowTheirBox) {
    const BoxOutcome outcomes[] = {
        {"busy", fakes::Fail(BUSY_RESULT), true, kInUse, "Look Closer!", MB_OK},
        {"refused", fakes::Fail(E_ACCESSDENIED), false, nullptr, "COM ERROR!", MB_ICONERROR},
    };
    for (const BoxOutcome& c : outcomes) {
        SCOPED_TRACE(c.name);
        for (const bool client : {true, false}) {
            SCOPED_TRACE(client ? "EditInternalClient" : "EditInternalPort");
            boxes.boxes.clear();
            FakeMapping& target = router.mapping(1);
            (client ? target.editInternalClient : target.editInternalPort).Push(c.reply);
            EXPECT_EQ(client ? configurator->EditInternalClient(1, L"192.0.2.99") : configurator->EditInternalPort(1, 99),
                      c.result);
            ASSERT_NO_FATAL_FAILURE(ExpectOutcomeBox(boxes, c));
            EXPECT_EQ(configurator->mappings[1].internalClient, L"192.0.2.11");
            EXPECT_EQ(configurator->mappings[1].internalPort, 81);
        }
    }
}

TEST_F(Changes, EditOutOfMemoryShowsTheCatchAllWithTheOperationsName) {
    router.mapping(0).editInternalClient.Push(fakes::ThrowOutOfMemory());
    router.mapping(0).editInternalPort.Push(fakes::ThrowOutOfMemory());
    router.mapping(0).enable.Push(fakes::ThrowOutOfMemory());
    EXPECT_FALSE(configurator->EditInternalClient(0, L"192.0.2.1"));
    EXPECT_FALSE(configurator->EditInternalPort(0, 1));
    EXPECT_FALSE(configurator->Enable(0, 1));
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_TRUE(BoxIs(boxes, 0, "Unknown error:EditInternalClient", "ERROR!", MB_ICONERROR));
    EXPECT_TRUE(BoxIs(boxes, 1, "Unknown error:EditInternalPort", "ERROR!", MB_ICONERROR));
    EXPECT_TRUE(BoxIs(boxes, 2, "Unknown error:Enable", "ERROR!", MB_ICONERROR));
}

TEST_F(Changes, EnablePassesOneOrZeroAndTheRecordFollowsOnSuccess) {
    ASSERT_EQ(configurator->mappings[1].enabled, 0);
    ASSERT_TRUE(configurator->Enable(1, 1));
    EXPECT_EQ(configurator->mappings[1].enabled, -1);
    ASSERT_TRUE(configurator->Enable(0, 0));
    EXPECT_EQ(configurator->mappings[0].enabled, 0);
    EXPECT_EQ(router.mapping(1).enableStates, (std::vector<VARIANT_BOOL>{1}));
    EXPECT_EQ(router.mapping(0).enableStates, (std::vector<VARIANT_BOOL>{0}));
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
}

TEST_F(Changes, EnableAnswersOtherThanSOkAreSilentFailures) {
    for (const HRESULT answer : {S_FALSE, BUSY_RESULT, E_NOTIMPL}) {
        SCOPED_TRACE(answer);
        router.mapping(0).enable.Push(fakes::Fail(answer));
        EXPECT_FALSE(configurator->Enable(0, 0));
        EXPECT_EQ(configurator->mappings[0].enabled, -1);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Changes, AnIndexPastTheListsIsRefusedWithoutAPlatformCall) {
    EXPECT_FALSE(configurator->DeleteMapping(3));
    EXPECT_FALSE(configurator->EditInternalClient(3, L"192.0.2.1"));
    EXPECT_FALSE(configurator->EditInternalPort(3, 1));
    EXPECT_FALSE(configurator->Enable(3, 1));
    EXPECT_FALSE(configurator->DeleteMapping(0xFFFFFFFFu));
    EXPECT_TRUE(router.collection().removeCalls.empty());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(router.mapping(i).internalClientsSet.empty());
        EXPECT_TRUE(router.mapping(i).internalPortsSet.empty());
        EXPECT_TRUE(router.mapping(i).enableStates.empty());
    }
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
}

TEST_F(Changes, TextsOfAnyLengthReachThePlatformIntact) {
    const std::wstring client = std::wstring(64 * 1024, L'c') + L"%s%n";
    ASSERT_TRUE(configurator->EditInternalClient(0, client));
    EXPECT_EQ(router.mapping(0).internalClientsSet.at(0), client);
    EXPECT_EQ(configurator->mappings[0].internalClient, client);
    PortMapping mapping = NewMapping();
    mapping.description = std::wstring(64 * 1024, L'd') + L"%1!s!";
    ASSERT_TRUE(configurator->AddMapping(mapping));
    EXPECT_EQ(router.collection().addCalls.at(0).description, mapping.description);
    EXPECT_EQ(configurator->mappings.back().description, mapping.description);
}

TEST(ChangesOnAClosedConnection, EveryOperationFailsSilently) {
    FakeRouter router(1);
    router.nat.getCollection.SetStanding(fakes::NullOut());
    fakes::MessageBoxRecorder boxes;
    {
        Portolan configurator;
        boxes.boxes.clear();
        FakeMapping listed(fakes::NumberedValues(0));
        configurator.AppendMapping(&listed);  // a record to aim at
        PortMapping mapping;
        mapping.internalClient = L"192.0.2.5";
        EXPECT_FALSE(configurator.AddMapping(mapping));
        EXPECT_FALSE(configurator.DeleteMapping(0));
        EXPECT_FALSE(configurator.EditInternalClient(0, L"192.0.2.6"));
        EXPECT_FALSE(configurator.EditInternalPort(0, 1));
        EXPECT_FALSE(configurator.Enable(0, 1));
        EXPECT_FALSE(configurator.RefreshMappings());
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(router.collection().addCalls.empty());
        EXPECT_TRUE(listed.enableStates.empty());
        EXPECT_TRUE(listed.internalClientsSet.empty());
        configurator.mappingObjects.clear();
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

}  // namespace
