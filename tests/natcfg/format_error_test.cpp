// Composing the text of a COM error, and the boxes the error guard shows with it.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "tests/natcfg/natcfg_test_support.h"
#include "ui/text.h"

using Microsoft::WRL::ComPtr;

namespace {

// Real error information, as the platform makes it.
ComPtr<IErrorInfo> MakeErrorInfo(const std::wstring& description, const std::wstring& source) {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    if (!create) return nullptr;
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(create.As(&info), S_OK);
    return info;
}

// A configurator without a router: FormatComError needs no connection.
class FormatComError : public testing::Test {
protected:
    fakes::FakeRouter router;
    fakes::MessageBoxRecorder boxes;
    Portolan configurator;
    void SetUp() override { boxes.boxes.clear(); }
};

struct MessageCase {
    uint32_t code;
    const wchar_t* composed;
};

// Wine's system texts lose their final line break; codes without one get the fallback.
const MessageCase kMessageCases[] = {
    {0x80070005, L"::-2147024891::::Access denied."},
    {0x80004005, L"::-2147467259::::Call failed."},
    {0x800700AA, L"::-2147024726::::Resource in use."},
    {0x80040205, L"::-2147220987::::IDispatch error #5"},
    {0x80040201, L"::-2147220991::::IDispatch error #1"},
    {0x8004FFFF, L"::-2147155969::::IDispatch error #65023"},
    {0x80040200, L"::-2147220992::::Unknown error 0x80040200"},
    {0x80050000, L"::-2147155968::::Unknown error 0x80050000"},
    {0x80990001, L"::-2137456639::::Unknown error 0x80990001"},
    {0x00000001, L"::1::::Invalid function."},
};

TEST_F(FormatComError, WithoutErrorInfoTheTextIsCodeAndMessage) {
    for (const MessageCase& c : kMessageCases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code);
        configurator.FormatComError(ComError{static_cast<HRESULT>(c.code), nullptr});
        EXPECT_EQ(configurator.lastError, c.composed);
    }
}

TEST_F(FormatComError, ErrorInfoGivesDescriptionAndSource) {
    const ComPtr<IErrorInfo> info = MakeErrorInfo(L"router says no", L"upnp.router");
    ASSERT_TRUE(info);
    configurator.FormatComError(ComError{E_ACCESSDENIED, info});
    EXPECT_EQ(configurator.lastError, L"router says no::-2147024891::upnp.router::Access denied.");
    // Read and let go: only this test's reference is left.
    info->AddRef();
    EXPECT_EQ(info->Release(), 1u);
}

TEST_F(FormatComError, EachCompositionReplacesTheLast) {
    configurator.FormatComError(ComError{E_ACCESSDENIED, MakeErrorInfo(L"first", L"one")});
    configurator.FormatComError(ComError{E_FAIL, nullptr});
    EXPECT_EQ(configurator.lastError, L"::-2147467259::::Call failed.");
}

TEST_F(FormatComError, LongAndFormatLikeTextsArePassedThroughAsTheyAre) {
    const std::wstring description = std::wstring(64 * 1024, L'x') + L"%s%n%1!s!%%";
    configurator.FormatComError(ComError{E_FAIL, MakeErrorInfo(description, L"%d")});
    EXPECT_EQ(configurator.lastError, description + L"::-2147467259::%d::Call failed.");
}

TEST(ErrorGuard, TheBoxShowsTheComposedTextInAnsi) {
    fakes::FakeRouter router(1);
    router.mapping(0).editInternalPort.Push(fakes::Fail(E_ACCESSDENIED));
    fakes::MessageBoxRecorder boxes;
    {
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        configurator.lastError = L"earlier";
        EXPECT_FALSE(configurator.EditInternalPort(0, 1));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_TRUE(natcfg_test::BoxIs(boxes, 0, "::-2147024891::::Access denied.", "COM ERROR!", MB_ICONERROR));
        EXPECT_EQ(configurator.lastError, L"::-2147024891::::Access denied.");
        // A later success leaves the text in place.
        EXPECT_TRUE(configurator.EditInternalPort(0, 2));
        EXPECT_EQ(configurator.lastError, L"::-2147024891::::Access denied.");
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

TEST(ErrorGuard, AddIsTheOneWhoseComBoxSaysError) {
    fakes::FakeRouter router(1);
    router.collection().add.Push(fakes::Fail(E_ACCESSDENIED));
    fakes::MessageBoxRecorder boxes;
    {
        Portolan configurator;
        ASSERT_TRUE(configurator.RefreshMappings());
        PortMapping mapping;
        mapping.internalClient = L"192.0.2.5";
        EXPECT_FALSE(configurator.AddMapping(mapping));
        EXPECT_TRUE(natcfg_test::BoxIs(boxes, 0, "::-2147024891::::Access denied.", "ERROR!", MB_ICONERROR));
        EXPECT_EQ(configurator.MappingCount(), 1u);
    }
    EXPECT_TRUE(router.Balanced()) << router.Counts();
}

}  // namespace
