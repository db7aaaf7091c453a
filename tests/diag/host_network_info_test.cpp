#include "diag/host_network_info.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/diag/fake_ip_helper.h"

namespace {

using fake_ip_helper::FakeAdapter;
using fake_ip_helper::ScopedFakeIpHelper;

const std::vector<std::string> EXPECTED_LOOKUPS = {
    "GetAdaptersInfo",  "GetIfTable",        "GetTcpTable",       "GetUdpTable",
    "GetUdpStatistics", "GetTcpStatistics",  "GetIcmpStatistics", "GetIpStatistics",
    "GetNetworkParams", "GetPerAdapterInfo", "SetIpTTL",          "GetExtendedTcpTable",
    "GetExtendedUdpTable",
};

const std::vector<FakeAdapter> TWO_ADAPTERS = {{true, {"192.0.2.20"}}, {false, {"192.0.2.30"}}};

bool IsDottedDecimal(const char* text) {
    unsigned parts[4];
    char rest = 0;
    if (std::sscanf(text, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &rest) != 4) return false;
    for (const unsigned part : parts)
        if (part > 255) return false;
    return true;
}

class NoLibraryTest : public ::testing::TestWithParam<uintptr_t> {};

TEST_P(NoLibraryTest, NoAdaptersAndTheNextFetchTriesAgain) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    fake.SetLibraryHandle(reinterpret_cast<HMODULE>(GetParam()));
    HostNetworkInfo info;
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 0);
    EXPECT_FALSE(info.IsDhcpEnabled(0));
    EXPECT_STREQ(info.IPAddressString(0, 0), "IPAddress:error");
    EXPECT_STREQ(info.IPAddressEntry(0, 0)->IpMask.String, "IpMask:error");
    EXPECT_TRUE(fake.requestedNames().empty());
    EXPECT_TRUE(fake.adaptersInfoCalls().empty());

    info.LoadAdapters();
    EXPECT_EQ(fake.loadLibraryCalls(), 2);
    fake.SetLibraryHandle(reinterpret_cast<HMODULE>(0x20000));
    info.LoadAdapters();
    EXPECT_EQ(fake.loadLibraryCalls(), 3);
    EXPECT_EQ(info.AdapterCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(FailedLoads, NoLibraryTest, ::testing::Values(0u, 5u, 31u));

TEST(IpHelperBinding, LooksUpTheThirteenNamesOnceAndLoadsOnce) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    HostNetworkInfo info;
    EXPECT_TRUE(BindIpHelper());
    info.LoadAdapters();
    info.LoadAdapters();
    EXPECT_EQ(fake.loadLibraryCalls(), 1);
    EXPECT_EQ(fake.requestedNames(), EXPECTED_LOOKUPS);
}

TEST(IpHelperBinding, OnlyGetAdaptersInfoIsEnough) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    fake.SetExports({"GetAdaptersInfo"});
    HostNetworkInfo info;
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 2);
    EXPECT_EQ(fake.requestedNames().size(), EXPECTED_LOOKUPS.size()) << "missing exports do not stop the lookups";
}

TEST(IpHelperBinding, WithoutGetAdaptersInfoThereAreNoAdapters) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    fake.SetExports({"GetIfTable", "GetNetworkParams"});
    HostNetworkInfo info;
    info.LoadAdapters();
    EXPECT_TRUE(BindIpHelper());
    EXPECT_EQ(info.AdapterCount(), 0);
    EXPECT_TRUE(fake.adaptersInfoCalls().empty());
}

TEST(FetchAdaptersInfo, FirstFetchCallsTwiceLaterFetchesOnceInTheSameBuffer) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    HostNetworkInfo info;
    constexpr int FETCHES = 5;
    for (int i = 0; i < FETCHES; ++i) info.LoadAdapters();

    const auto& calls = fake.adaptersInfoCalls();
    ASSERT_EQ(calls.size(), static_cast<size_t>(FETCHES + 1));
    EXPECT_EQ(calls[0].buffer, nullptr);
    EXPECT_EQ(calls[0].sizeIn, 0u);
    EXPECT_EQ(calls[0].result, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    for (size_t i = 1; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(calls[i].buffer, nullptr);
        EXPECT_EQ(calls[i].buffer, calls[1].buffer) << "the buffer is kept from fetch to fetch";
        EXPECT_EQ(calls[i].sizeIn, fake.RequiredSize());
        EXPECT_EQ(calls[i].result, static_cast<DWORD>(NO_ERROR));
    }
    EXPECT_EQ(info.AdapterCount(), 2);
}

TEST(FetchAdaptersInfo, ShrinkingSetKeepsTheBufferGrowingSetReplacesIt) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    HostNetworkInfo info;
    info.LoadAdapters();
    const ULONG firstSize = fake.RequiredSize();
    fake.SetAdapters({{true, {"192.0.2.40"}}});
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 1);
    ASSERT_EQ(fake.adaptersInfoCalls().size(), 3u);
    EXPECT_EQ(fake.adaptersInfoCalls()[2].sizeIn, firstSize);

    fake.SetAdapters({{true, {"192.0.2.40"}}, {true, {"192.0.2.41"}}, {false, {"192.0.2.42", "192.0.2.43"}}});
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 3);
    const auto& calls = fake.adaptersInfoCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[3].result, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(calls[4].sizeIn, fake.RequiredSize());
    EXPECT_STREQ(info.IPAddressString(2, 1), "192.0.2.43");
}

TEST(FetchAdaptersInfo, TooSmallTwiceGivesNoneThenTheNextFetchRecovers) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters({{true, {"192.0.2.20"}}});
    const ULONG oneAdapter = fake.RequiredSize();
    fake.ChangeAdaptersAfterCall(1, TWO_ADAPTERS);
    HostNetworkInfo info;
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 0);
    ASSERT_EQ(fake.adaptersInfoCalls().size(), 2u) << "no third attempt";
    EXPECT_EQ(fake.adaptersInfoCalls()[1].result, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));

    info.LoadAdapters();
    const auto& calls = fake.adaptersInfoCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].sizeIn, oneAdapter) << "the size passed is that of the block held";
    EXPECT_EQ(calls[2].buffer, calls[1].buffer);
    EXPECT_EQ(calls[3].sizeIn, fake.RequiredSize());
    EXPECT_EQ(info.AdapterCount(), 2);
}

class FetchErrorTest : public ::testing::TestWithParam<DWORD> {};

TEST_P(FetchErrorTest, AnyOtherAnswerGivesNoListAndNoBuffer) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    fake.ForceResult(GetParam());
    HostNetworkInfo info;
    info.LoadAdapters();
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 0);
    EXPECT_EQ(info.AdapterAt(0), nullptr);
    ASSERT_EQ(fake.adaptersInfoCalls().size(), 2u);
    EXPECT_EQ(fake.adaptersInfoCalls()[1].buffer, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Errors, FetchErrorTest,
                         ::testing::Values(static_cast<DWORD>(ERROR_NO_DATA), static_cast<DWORD>(ERROR_NOT_SUPPORTED),
                                           static_cast<DWORD>(ERROR_INVALID_PARAMETER)));

TEST(FetchAdaptersInfo, NoAdaptersAfterSomeReplacesTheList) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters(TWO_ADAPTERS);
    HostNetworkInfo info;
    info.LoadAdapters();
    ASSERT_EQ(info.AdapterCount(), 2);
    fake.SetAdapters({});
    info.LoadAdapters();
    EXPECT_EQ(info.AdapterCount(), 0);
    EXPECT_STREQ(info.IPAddressString(0, 0), "IPAddress:error");
}

TEST(HostNetworkInfo, AdaptersAddressesAndDhcpByIndex) {
    ScopedFakeIpHelper fake;
    fake.SetAdapters({{false, {"192.0.2.5"}}, {true, {}}, {true, {"192.0.2.20", "192.0.2.21"}}});
    HostNetworkInfo info;
    info.LoadAdapters();
    ASSERT_EQ(info.AdapterCount(), 3);

    struct Row {
        int32_t adapter;
        int32_t address;
        bool dhcp;
        const char* text;
    };
    const Row rows[] = {
        {0, 0, false, "192.0.2.5"},
        {0, 1, false, "[IPAddressString::error]"},
        {1, 0, true, "0.0.0.0"},
        {2, 0, true, "192.0.2.20"},
        {2, 1, true, "192.0.2.21"},
        {2, 2, true, "[IPAddressString::error]"},
        {-4, 0, false, "192.0.2.5"},    // negative counts as 0
        {3, 0, false, "IPAddress:error"},  // past the end: no adapter
        {1000, 0, false, "IPAddress:error"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "adapter " << row.adapter << " address " << row.address);
        EXPECT_EQ(info.IsDhcpEnabled(row.adapter), row.dhcp);
        EXPECT_STREQ(info.IPAddressString(row.adapter, row.address), row.text);
    }
    EXPECT_EQ(info.AdapterAt(-1), info.AdapterAt(0));
    EXPECT_EQ(info.AdapterAt(3), nullptr);
}

TEST(HostNetworkInfo, AddressTextsStayWithinTheirField) {
    ScopedFakeIpHelper fake;
    const std::string full(16, '7');  // fills the field, no terminator from the platform
    fake.SetAdapters({{true, {full, full}}, {true, {"192.0.2.9"}}});
    HostNetworkInfo info;
    info.LoadAdapters();
    ASSERT_EQ(info.AdapterCount(), 2);
    for (int32_t address = 0; address < 2; ++address) {
        SCOPED_TRACE(address);
        EXPECT_EQ(std::string(info.IPAddressString(0, address)), full.substr(0, 15));
        EXPECT_EQ(std::strlen(info.IPAddressEntry(0, address)->IpMask.String), 13u);
    }
    EXPECT_STREQ(info.IPAddressString(1, 0), "192.0.2.9");
}

struct VersionCase {
    DWORD platformId, major, minor;
    uint32_t number;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << "platform " << c.platformId << " version " << c.major << "." << c.minor;
}

class OsVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(OsVersionTest, NumberIsPlatformMajorMinor) {
    const VersionCase c = GetParam();
    ScopedFakeIpHelper fake;
    fake.SetOsVersion(c.platformId, c.major, c.minor);
    HostNetworkInfo info;
    info.LoadOsVersion();
    EXPECT_EQ(info.OsVersionNumber(), c.number);
    EXPECT_EQ(fake.lastVersionRecordSize(), 156u);
}

INSTANTIATE_TEST_SUITE_P(Versions, OsVersionTest,
                         ::testing::Values(VersionCase{2, 5, 1, 0x20501}, VersionCase{2, 6, 0, 0x20600},
                                           VersionCase{2, 6, 1, 0x20601}, VersionCase{2, 10, 0, 0x20A00},
                                           VersionCase{1, 4, 90, 0x1045A}, VersionCase{0, 3, 11, 0x30B}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                             return "Platform" + std::to_string(info.param.platformId) + "_" +
                                    std::to_string(info.param.major) + "_" + std::to_string(info.param.minor);
                         });

TEST(OsVersion, ReadOnceAndRetriedUntilItCanBeRead) {
    ScopedFakeIpHelper fake;
    fake.FailOsVersion();
    HostNetworkInfo info;
    info.LoadOsVersion();
    EXPECT_EQ(info.OsVersionNumber(), 0u) << "a failed read leaves a zeroed record";
    info.LoadOsVersion();
    EXPECT_EQ(fake.versionCalls(), 2);

    fake.SetOsVersion(2, 6, 0);
    info.LoadOsVersion();
    info.LoadOsVersion();
    EXPECT_EQ(fake.versionCalls(), 3);
    EXPECT_EQ(info.OsVersionNumber(), 0x20600u);
}

// The real library and GetAdaptersInfo, with the calls counted on the way through.
int realAdaptersInfoCalls = 0;
FARPROC realGetAdaptersInfo = nullptr;
DWORD WINAPI CountedGetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size) {
    ++realAdaptersInfoCalls;
    using Fn = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(realGetAdaptersInfo))(buffer, size);
}
HMODULE RealLoad(const char* name) { return LoadLibraryA(name); }
FARPROC CountingLookup(HMODULE module, const char* name) {
    const FARPROC proc = GetProcAddress(module, name);
    if (std::strcmp(name, "GetAdaptersInfo") != 0 || !proc) return proc;
    realGetAdaptersInfo = proc;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&CountedGetAdaptersInfo));
}
BOOL RealVersion(OSVERSIONINFOEXA* info) { return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info)); }

TEST(RealIpHelper, WineListsDottedAddressesCallingTwiceThenOnce) {
    const IpHelperPlatform counting{&RealLoad, &CountingLookup, &RealVersion};
    ResetIpHelperState();
    SetIpHelperPlatform(&counting);
    HostNetworkInfo info;
    std::vector<int> callsPerFetch;
    std::vector<std::string> addresses;
    for (int fetch = 0; fetch < 4; ++fetch) {
        const int before = realAdaptersInfoCalls;
        info.LoadAdapters();
        callsPerFetch.push_back(realAdaptersInfoCalls - before);
    }
    for (int32_t i = 0; i < info.AdapterCount(); ++i) addresses.push_back(info.IPAddressString(i, 0));
    SetIpHelperPlatform(nullptr);
    ResetIpHelperState();
    if (addresses.empty()) GTEST_SKIP() << "this host has no adapter besides loopback";
    EXPECT_EQ(callsPerFetch, (std::vector<int>{2, 1, 1, 1}));
    for (const std::string& address : addresses) EXPECT_TRUE(IsDottedDecimal(address.c_str())) << address;
}

TEST(RealIpHelper, OsVersionMatchesThePlatform) {
    ResetIpHelperState();
    OSVERSIONINFOA direct{};
    direct.dwOSVersionInfoSize = sizeof(direct);
    ASSERT_TRUE(GetVersionExA(&direct));
    HostNetworkInfo info;
    info.LoadOsVersion();
    const uint32_t expected = (direct.dwPlatformId << 16) | (direct.dwMajorVersion << 8) | direct.dwMinorVersion;
    EXPECT_EQ(info.OsVersionNumber(), expected);
    EXPECT_GE(info.OsVersionNumber(), 0x20600u) << "Wine reports an NT system of Vista or later";
    ResetIpHelperState();
}

}  // namespace
