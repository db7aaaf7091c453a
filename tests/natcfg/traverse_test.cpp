// Construction and enumeration of the router's collection, with every failure path.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "tests/natcfg/natcfg_test_support.h"

using fakes::Element;
using fakes::FakeMapping;
using fakes::FakeRouter;
using natcfg_test::BoxIs;
using natcfg_test::ExternalPorts;
using natcfg_test::ListsMatch;
using natcfg_test::progress;

namespace {

constexpr UINT kIcon = MB_ICONERROR;

TEST(ConfiguratorConstruction, OpensTheConnectionWithoutEnumerating) {
    FakeRouter router(2);
    {
        fakes::MessageBoxRecorder boxes;
        Portolan configurator;
        EXPECT_EQ(configurator.comReady, 1);
        EXPECT_EQ(configurator.nat.Get(), &router.nat);
        EXPECT_EQ(configurator.collection.Get(), &router.nat.collection);
        EXPECT_EQ(configurator.lastError, L"");
        EXPECT_EQ(configurator.MappingCount(), 0u);
        EXPECT_EQ(router.collection().newEnum.Calls(), 0);
        EXPECT_TRUE(boxes.boxes.empty());
        // Held for the life of the configurator: one reference to each.
        EXPECT_EQ(router.nat.counter.Refs(), 1);
        EXPECT_EQ(router.collection().counter.Refs(), 1);
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

struct ConstructionFailure {
    const char* name;
    void (*script)(FakeRouter&);
    const char* text;  // nullptr: the composed text of E_ACCESSDENIED
    const char* caption;
    bool natStays;
};

const ConstructionFailure kConstructionFailures[] = {
    {"creation fails", [](FakeRouter& r) { r.installer.create.SetStanding(fakes::Fail(E_ACCESSDENIED)); },
     nullptr, "COM ERROR!", false},
    {"creation gives no object", [](FakeRouter& r) { r.installer.create.SetStanding(fakes::NullOut()); },
     "Portolan::CoCreateInstance returned a NULL ptr", "ERROR!", false},
    {"collection request fails", [](FakeRouter& r) { r.nat.getCollection.SetStanding(fakes::Fail(E_ACCESSDENIED)); },
     nullptr, "COM ERROR!", true},
    {"collection request gives none", [](FakeRouter& r) { r.nat.getCollection.SetStanding(fakes::NullOut()); },
     "Portolan::get_StaticPortMappingCollection returned a NULL ptr", "ERROR!", true},
    {"out of memory", [](FakeRouter& r) { r.nat.getCollection.SetStanding(fakes::ThrowOutOfMemory()); },
     "Unknown error:Portolan::Portolan", "ERROR!", true},
};

TEST(ConfiguratorConstruction, EachFailureShowsOneBoxAndLeavesTheConnectionClosed) {
    for (const ConstructionFailure& c : kConstructionFailures) {
        SCOPED_TRACE(c.name);
        FakeRouter router(1);
        c.script(router);
        {
            fakes::MessageBoxRecorder boxes;
            Portolan configurator;
            ASSERT_EQ(boxes.boxes.size(), 1u);
            if (c.text) {
                EXPECT_TRUE(BoxIs(boxes, 0, c.text, c.caption, kIcon));
            } else {
                EXPECT_EQ(boxes.boxes[0].text.rfind("::-2147024891::::", 0), 0u) << boxes.boxes[0].text;
                EXPECT_EQ(boxes.boxes[0].caption, c.caption);
                EXPECT_EQ(boxes.boxes[0].type, kIcon);
            }
            EXPECT_EQ(configurator.nat != nullptr, c.natStays);
            EXPECT_EQ(configurator.collection, nullptr);
            // A closed connection refreshes nothing and says nothing.
            EXPECT_FALSE(configurator.RefreshMappings());
            EXPECT_EQ(configurator.TraverseCollection(&router.nat.collection), -1);
            EXPECT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(router.collection().newEnum.Calls(), 0);
        }
        EXPECT_TRUE(router.Balanced()) << router.Counts();
    }
}

TEST(ConfiguratorConstruction, ComInitialisedForAnotherModelIsReported) {
    FakeRouter router(1);
    fakes::MessageBoxRecorder boxes;
    int32_t comReady = -1;
    bool natCreated = true;
    // A thread already in the multithreaded apartment cannot become single-threaded.
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Portolan configurator;
        comReady = configurator.comReady;
        natCreated = configurator.nat != nullptr;
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(comReady, 0);
    EXPECT_FALSE(natCreated);
    EXPECT_EQ(router.installer.create.Calls(), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(BoxIs(boxes, 0, "Portolan::CoInitializeEx failed", "ERROR!", kIcon));
}

TEST(ConfiguratorReconnection, ARouterFoundLateIsFoundAndTheTriesBeforeAreQuiet) {
    for (const ConstructionFailure& c : kConstructionFailures) {
        // The platform throws nothing; a throw is the construction guard's case alone.
        if (c.text && std::string(c.text).rfind("Unknown error:", 0) == 0) continue;
        SCOPED_TRACE(c.name);
        FakeRouter router(2);
        fakes::MessageBoxRecorder boxes;
        c.script(router);
        Portolan configurator;
        ASSERT_FALSE(configurator.collection);
        boxes.boxes.clear();
        EXPECT_FALSE(configurator.Reconnect());
        EXPECT_TRUE(boxes.boxes.empty());
        router.installer.create = fakes::Script();
        router.nat.getCollection = fakes::Script();
        EXPECT_TRUE(configurator.Reconnect());
        EXPECT_EQ(configurator.collection.Get(), &router.nat.collection);
        EXPECT_TRUE(configurator.RefreshMappings());
        EXPECT_EQ(configurator.MappingCount(), 2u);
        EXPECT_TRUE(boxes.boxes.empty());
    }
}

class Enumeration : public testing::Test {
protected:
    void SetUp() override { progress.clear(); }
    void TearDown() override {
        configurator.reset();
        EXPECT_TRUE(router.Balanced()) << router.Counts();
    }
    // An open configurator that has listed the router's mappings once.
    void OpenAndList() {
        configurator = std::make_unique<Portolan>();
        configurator->progressCallback = &natcfg_test::RecordProgress;
        ASSERT_EQ(configurator->TraverseCollection(configurator->collection.Get()), 0);
        progress.clear();
    }
    std::vector<FakeMapping*> Listed(std::initializer_list<size_t> indices) {
        std::vector<FakeMapping*> result;
        for (size_t i : indices) result.push_back(&router.mapping(i));
        return result;
    }

    FakeRouter router{3};
    fakes::MessageBoxRecorder boxes;
    std::unique_ptr<Portolan> configurator;
};

TEST_F(Enumeration, ThreeMappingsAreNotifiedInOrderAndListedInParallel) {
    configurator = std::make_unique<Portolan>();
    configurator->progressCallback = &natcfg_test::RecordProgress;
    EXPECT_TRUE(configurator->RefreshMappings());
    EXPECT_EQ(progress, (std::vector<int32_t>{PROGRESS_BEGIN, 0, 1, 2, PROGRESS_END}));
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2})));
    EXPECT_EQ(router.collection().enumerator.resets, 1);
    EXPECT_FALSE(router.collection().enumerator.askedForFetchedCount);
    EXPECT_TRUE(boxes.boxes.empty());
    // The enumerator went back; each listed object is held once, beside its record.
    EXPECT_EQ(router.collection().enumerator.counter.Refs(), 0);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(router.mapping(i).counter.Refs(), 1);
}

TEST_F(Enumeration, ARefreshReplacesTheListsInFull) {
    OpenAndList();
    router.collection().enumerator.elements.erase(router.collection().enumerator.elements.begin());
    EXPECT_TRUE(configurator->RefreshMappings());
    EXPECT_TRUE(ListsMatch(*configurator, Listed({1, 2})));
    EXPECT_EQ(router.mapping(0).counter.Refs(), 0);
}

TEST_F(Enumeration, AReconnectLetsGoOfTheLastReadBeforeItAsksForANewCollection) {
    OpenAndList();
    std::vector<long> heldAtRequest;
    router.nat.onGetCollection = [&] {
        heldAtRequest = {router.collection().counter.Refs()};
        for (size_t i = 0; i < 3; ++i) heldAtRequest.push_back(router.mapping(i).counter.Refs());
    };
    EXPECT_TRUE(configurator->Reconnect());
    EXPECT_EQ(heldAtRequest, (std::vector<long>{0, 0, 0, 0}));
    EXPECT_EQ(configurator->MappingCount(), 0u);
    EXPECT_EQ(configurator->mappingObjects.size(), 0u);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Enumeration, AnEmptyRouterEmptiesBothLists) {
    OpenAndList();
    router.collection().enumerator.elements.clear();
    EXPECT_TRUE(configurator->RefreshMappings());
    EXPECT_EQ(progress, (std::vector<int32_t>{PROGRESS_BEGIN, PROGRESS_END}));
    EXPECT_TRUE(ListsMatch(*configurator, {}));
}

TEST_F(Enumeration, ElementsThatAreNoMappingAreSkippedWithConsecutiveIndices) {
    FakeMapping notAMapping(fakes::NumberedValues(9));
    notAMapping.queryMapping.SetStanding(fakes::Fail(E_NOINTERFACE));
    FakeMapping emptyAnswer(fakes::NumberedValues(8));
    emptyAnswer.queryMapping.SetStanding(fakes::NullOut());
    auto& elements = router.collection().enumerator.elements;
    elements.insert(elements.begin() + 2, fakes::ObjectElement(emptyAnswer));
    elements.insert(elements.begin() + 1, Element{S_OK, VT_I4, nullptr});  // a number: no object to ask
    elements.insert(elements.begin() + 1, Element{S_OK, VT_EMPTY, nullptr});
    elements.insert(elements.begin(), fakes::ObjectElement(notAMapping));
    elements.push_back(fakes::ObjectElement(router.mapping(0), VT_UNKNOWN));
    configurator = std::make_unique<Portolan>();
    configurator->progressCallback = &natcfg_test::RecordProgress;
    EXPECT_TRUE(configurator->RefreshMappings());
    EXPECT_EQ(progress, (std::vector<int32_t>{PROGRESS_BEGIN, 0, 1, 2, 3, PROGRESS_END}));
    EXPECT_TRUE(ListsMatch(*configurator, Listed({0, 1, 2, 0})));
    EXPECT_TRUE(boxes.boxes.empty());
    configurator.reset();
    EXPECT_EQ(notAMapping.counter.Refs(), 0);
    EXPECT_EQ(emptyAnswer.counter.Refs(), 0);
}

TEST_F(Enumeration, WithoutACallbackTheListsStillFill) {
    configurator = std::make_unique<Portolan>();
    EXPECT_TRUE(configurator->RefreshMappings());
    EXPECT_EQ(ExternalPorts(*configurator), (std::vector<int32_t>{8000, 8001, 8002}));
    EXPECT_TRUE(progress.empty());
}

TEST_F(Enumeration, AnotherCollectionHandedInIsTheOneEnumerated) {
    OpenAndList();
    FakeRouter other(1);
    other.mapping(0).values.externalPort = 9999;
    EXPECT_EQ(configurator->TraverseCollection(&other.nat.collection), 0);
    EXPECT_EQ(ExternalPorts(*configurator), (std::vector<int32_t>{9999}));
    EXPECT_EQ(configurator->TraverseCollection(nullptr), -1);
    configurator.reset();
    EXPECT_TRUE(other.Balanced()) << other.Counts();
}

// One row per way an enumeration can go wrong after an earlier one listed three mappings.
struct EnumerationFailure {
    const char* name;
    void (*script)(FakeRouter&);
    int32_t result;
    std::vector<int32_t> progress;
    std::vector<int32_t> ports;  // the list afterwards
    const char* boxText;         // nullptr: no box; "" a composed COM error text (checked apart)
    const char* boxCaption;
};

void AppendElement(FakeRouter& router, Element element, size_t at) {
    auto& elements = router.collection().enumerator.elements;
    elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(at), element);
}

const EnumerationFailure kEnumerationFailures[] = {
    {"enumerator request fails", [](FakeRouter& r) { r.collection().newEnum.Push(fakes::Fail(E_FAIL)); }, 0,
     {PROGRESS_BEGIN, PROGRESS_END}, {8000, 8001, 8002}, nullptr, nullptr},
    {"enumerator request gives none", [](FakeRouter& r) { r.collection().newEnum.Push(fakes::NullOut()); }, -1,
     {PROGRESS_BEGIN}, {8000, 8001, 8002}, "Null pUnk ptr.", "Just for Tobrin"},
    {"IEnumVARIANT query fails",
     [](FakeRouter& r) { r.collection().enumerator.queryEnum.Push(fakes::Fail(E_NOINTERFACE)); }, 0,
     {PROGRESS_BEGIN, PROGRESS_END}, {8000, 8001, 8002}, nullptr, nullptr},
    {"IEnumVARIANT query gives none",
     [](FakeRouter& r) { r.collection().enumerator.queryEnum.Push(fakes::NullOut()); }, -1, {PROGRESS_BEGIN},
     {8000, 8001, 8002}, "Null pEnumVar ptr.", "Just for Tobrin"},
    {"element without an object", [](FakeRouter& r) { AppendElement(r, Element{S_OK, VT_DISPATCH, nullptr}, 1); },
     -1, {PROGRESS_BEGIN, 0}, {8000}, "Null pdispDevice ptr.", "Just for Tobrin"},
    {"next fails", [](FakeRouter& r) { AppendElement(r, Element{E_FAIL, VT_EMPTY, nullptr}, 2); }, 0,
     {PROGRESS_BEGIN, 0, 1, PROGRESS_END}, {8000, 8001}, nullptr, nullptr},
    {"element VariantClear refuses", [](FakeRouter& r) { AppendElement(r, Element{S_OK, 0x7F, nullptr}, 1); }, -1,
     {PROGRESS_BEGIN, 0}, {8000}, "", "COM ERROR!"},
    {"out of memory reading a mapping",
     [](FakeRouter& r) { r.mapping(1).getters[FakeMapping::Protocol].Push(fakes::ThrowOutOfMemory()); }, -1,
     {PROGRESS_BEGIN, 0}, {8000}, "Unknown error:TraverseCollection", "ERROR!"},
};

TEST(EnumerationFailures, EveryFailureHasItsResultBoxAndList) {
    for (const EnumerationFailure& c : kEnumerationFailures) {
        SCOPED_TRACE(c.name);
        FakeRouter local(3);
        fakes::MessageBoxRecorder boxes;
        {
            Portolan subject;
            subject.progressCallback = &natcfg_test::RecordProgress;
            ASSERT_TRUE(subject.RefreshMappings());
            progress.clear();
            c.script(local);
            EXPECT_EQ(subject.TraverseCollection(subject.collection.Get()), c.result);
            EXPECT_EQ(progress, c.progress);
            EXPECT_EQ(ExternalPorts(subject), c.ports);
            EXPECT_EQ(subject.mappingObjects.size(), subject.mappings.size());
            if (!c.boxText) {
                EXPECT_TRUE(boxes.boxes.empty());
            } else if (*c.boxText) {
                ASSERT_EQ(boxes.boxes.size(), 1u);
                EXPECT_TRUE(BoxIs(boxes, 0, c.boxText, c.boxCaption, kIcon));
            } else {
                ASSERT_EQ(boxes.boxes.size(), 1u);
                EXPECT_EQ(boxes.boxes[0].text.rfind("::-2147352568::::", 0), 0u) << boxes.boxes[0].text;  // DISP_E_BADVARTYPE
                EXPECT_EQ(boxes.boxes[0].caption, c.boxCaption);
                EXPECT_EQ(boxes.boxes[0].type, kIcon);
            }
            // Whatever the way out, the enumerator was given back.
            EXPECT_EQ(local.collection().enumerator.counter.Refs(), 0) << local.Counts();
        }
        EXPECT_TRUE(local.Balanced()) << local.Counts();
    }
}

}  // namespace
