// The mapping record, its identity match, the lookups and reading a mapping object.
#include <gtest/gtest.h>

#include <memory>

#include "tests/natcfg/natcfg_test_support.h"

using fakes::FakeMapping;
using fakes::FakeRouter;
using fakes::MappingValues;

namespace {

TEST(PortMappingRecord, DefaultsAreTheDisplayTexts) {
    const PortMapping record;
    EXPECT_EQ(record.externalIPAddress, L"0.0.0.0");
    EXPECT_EQ(record.description, L"<no description>");
    EXPECT_EQ(record.enabled, 0);
    EXPECT_EQ(record.internalPort, 0);
    EXPECT_EQ(record.externalPort, 0);
    EXPECT_EQ(record.protocol, L"<unknown protocol>");
    EXPECT_EQ(record.internalClient, L"<no internal client>");
}

TEST(PortMappingRecord, ReplacingATextOfACopyLeavesTheSource) {
    PortMapping source;
    source.description = L"web";
    PortMapping copy = source;
    copy.description = L"mail";
    EXPECT_EQ(source.description, L"web");
    EXPECT_EQ(copy.description, L"mail");
}

struct MatchCase {
    const wchar_t* protocol;
    int32_t port;
    const wchar_t* client;
    bool matches;
};

// The record under test: TCP 8080 to 192.0.2.10.
const MatchCase kMatchCases[] = {
    {L"TCP", 8080, L"192.0.2.10", true},
    {L"tcp", 8080, L"192.0.2.10", false},
    {L"TCP ", 8080, L"192.0.2.10", false},
    {L"UDP", 8080, L"192.0.2.10", false},
    {L"TCP", 8081, L"192.0.2.10", false},
    {L"TCP", 8080, L"192.0.2.11", false},
    {L"TCP", 8080, L"192.0.2.1", false},
    {L"TCP", 8080, L"", false},
};

TEST(PortMappingRecord, IdentityMatchIsExactAndCaseSensitive) {
    PortMapping record;
    record.protocol = L"TCP";
    record.externalPort = 8080;
    record.internalClient = L"192.0.2.10";
    for (const MatchCase& c : kMatchCases) {
        SCOPED_TRACE(testing::Message() << "protocol '" << c.protocol << "' port " << c.port << " client '"
                                        << c.client << "'");
        EXPECT_EQ(record.Matches(c.protocol, c.port, c.client), c.matches);
    }
}

TEST(PortMappingRecord, EmptyInternalClientNeverMatches) {
    PortMapping record;
    record.protocol = L"TCP";
    record.externalPort = 8080;
    record.internalClient.clear();
    EXPECT_FALSE(record.Matches(L"TCP", 8080, L""));
    EXPECT_FALSE(record.Matches(L"TCP", 8080, L"192.0.2.10"));
}

class ConfiguratorLookups : public testing::Test {
protected:
    void SetUp() override {
        configurator = std::make_unique<Portolan>();
        ASSERT_TRUE(configurator->RefreshMappings());
        ASSERT_EQ(configurator->MappingCount(), 3u);
    }
    void TearDown() override {
        configurator.reset();
        EXPECT_TRUE(router.Balanced()) << router.Counts();
    }

    FakeRouter router{3};
    fakes::MessageBoxRecorder boxes;
    std::unique_ptr<Portolan> configurator;
};

TEST_F(ConfiguratorLookups, MappingExistsFindsOnlyTheExactTriple) {
    // Mapping 1 of the router: UDP 8001 to 192.0.2.11.
    EXPECT_TRUE(configurator->MappingExists("UDP", 8001, "192.0.2.11"));
    EXPECT_FALSE(configurator->MappingExists("udp", 8001, "192.0.2.11"));
    EXPECT_FALSE(configurator->MappingExists("UDP", 8001, "192.0.2.12"));
    EXPECT_FALSE(configurator->MappingExists("TCP", 8001, "192.0.2.11"));
    configurator->mappings[1].internalClient.clear();
    EXPECT_FALSE(configurator->MappingExists("UDP", 8001, ""));
}

TEST_F(ConfiguratorLookups, MappingExistsOnAnEmptyListIsFalse) {
    configurator->mappings.clear();
    configurator->mappingObjects.clear();
    EXPECT_FALSE(configurator->MappingExists("TCP", 8000, "192.0.2.10"));
}

TEST_F(ConfiguratorLookups, GetMappingSharesOneResultRecordThatPastTheEndKeeps) {
    const PortMapping& first = configurator->GetMapping(3);  // before any valid call: the defaults
    EXPECT_EQ(first.description, L"<no description>");
    const PortMapping& result = configurator->GetMapping(2);
    EXPECT_EQ(&result, &first);
    EXPECT_EQ(result.externalPort, 8002);
    configurator->GetMapping(3);
    EXPECT_EQ(result.externalPort, 8002);
    configurator->GetMapping(0);
    EXPECT_EQ(result.externalPort, 8000);

    PortMapping copy = configurator->GetMapping(1);
    copy.description = L"changed";
    EXPECT_EQ(configurator->mappings[1].description, L"service 1");
}

TEST(ReadingAMappingObject, EveryPropertyIsReadOnceInItsOrder) {
    FakeRouter router;
    MappingValues values;
    values.externalIPAddress = L"198.51.100.4";
    values.description = L"web";
    values.enabled = VARIANT_TRUE;
    values.internalPort = 80;
    values.externalPort = 8080;
    values.protocol = L"TCP";
    values.internalClient = L"192.0.2.10";
    FakeMapping& mapping = router.AddListed(values);
    {
        fakes::MessageBoxRecorder boxes;
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        ASSERT_EQ(configurator.MappingCount(), 1u);
        const PortMapping& record = configurator.mappings[0];
        EXPECT_EQ(record.externalIPAddress, L"198.51.100.4");
        EXPECT_EQ(record.description, L"web");
        EXPECT_EQ(record.enabled, -1);  // the platform's true widened with its sign
        EXPECT_EQ(record.internalPort, 80);
        EXPECT_EQ(record.externalPort, 8080);
        EXPECT_EQ(record.protocol, L"TCP");
        EXPECT_EQ(record.internalClient, L"192.0.2.10");
        EXPECT_TRUE(boxes.boxes.empty());
    }
    for (const fakes::Script& getter : mapping.getters) EXPECT_EQ(getter.Calls(), 1);
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

// A property the platform does not deliver keeps its display default; the others are read.
TEST(ReadingAMappingObject, AFailedReadKeepsThatFieldsDefaultOnly) {
    const PortMapping defaults;
    for (int property = FakeMapping::Description; property <= FakeMapping::InternalPort; ++property) {
        SCOPED_TRACE(testing::Message() << "property " << property);
        FakeRouter router(1);
        router.mapping(0).getters[property].SetStanding(fakes::Fail(E_FAIL));
        fakes::MessageBoxRecorder boxes;
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        ASSERT_EQ(configurator.MappingCount(), 1u);
        const PortMapping& record = configurator.mappings[0];
        const MappingValues& values = router.mapping(0).values;
        EXPECT_EQ(record.description, property == FakeMapping::Description ? defaults.description : values.description);
        EXPECT_EQ(record.internalClient,
                  property == FakeMapping::InternalClient ? defaults.internalClient : values.internalClient);
        EXPECT_EQ(record.externalIPAddress,
                  property == FakeMapping::ExternalIPAddress ? defaults.externalIPAddress : values.externalIPAddress);
        EXPECT_EQ(record.protocol, property == FakeMapping::Protocol ? defaults.protocol : values.protocol);
        EXPECT_EQ(record.enabled, property == FakeMapping::Enabled ? 0 : -1);
        EXPECT_EQ(record.externalPort, property == FakeMapping::ExternalPort ? 0 : values.externalPort);
        EXPECT_EQ(record.internalPort, property == FakeMapping::InternalPort ? 0 : values.internalPort);
        EXPECT_TRUE(boxes.boxes.empty());
    }
}

TEST(ReadingAMappingObject, ANullTextDeliveredIsTheEmptyText) {
    FakeRouter router(1);
    router.mapping(0).getters[FakeMapping::ExternalIPAddress].SetStanding(fakes::NullOut());
    {
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        EXPECT_EQ(configurator.mappings[0].externalIPAddress, L"");
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

// Router texts have no length limit and are never read as formats.
TEST(ReadingAMappingObject, LongTextsAndFormatCharactersRoundTripIntact) {
    FakeRouter router;
    MappingValues values;
    values.description = std::wstring(64 * 1024, L'd') + L"%s%n%1!s!";
    values.internalClient.assign(64 * 1024, L'c');
    values.internalClient[100] = L'\0';  // a platform string keeps its length
    router.AddListed(values);
    {
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        EXPECT_EQ(configurator.mappings[0].description, values.description);
        EXPECT_EQ(configurator.mappings[0].internalClient, values.internalClient);
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

TEST(ReadingAMappingObject, AppendMappingKeepsOneReferenceBesideItsRecord) {
    FakeRouter router;
    FakeMapping extra(fakes::NumberedValues(7));
    {
        Portolan configurator;
        configurator.AppendMapping(&extra);
        configurator.AppendMapping(nullptr);
        ASSERT_EQ(configurator.MappingCount(), 1u);
        EXPECT_EQ(configurator.mappingObjects[0].Get(), &extra);
        EXPECT_EQ(configurator.mappings[0].externalPort, 8007);
        EXPECT_EQ(extra.counter.Refs(), 1);
    }
    EXPECT_EQ(extra.counter.Refs(), 0);
    EXPECT_EQ(extra.counter.OverReleases(), 0);
}

}  // namespace
