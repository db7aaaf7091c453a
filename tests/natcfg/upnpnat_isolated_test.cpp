// The platform's own UPnPNAT through our declarations, with no router to find.
// Run only inside a network namespace of its own (run_isolated.sh). Wine's hnetcfg
// carries no type library for these interfaces, so their slots are checked by use.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <chrono>
#include <string>

#include "natcfg/natupnp.h"
#include "natcfg/portolan.h"
#include "tests/fakes/message_box_recorder.h"

using Microsoft::WRL::ComPtr;

namespace {

class RealUpnpNat : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
    ComPtr<IUPnPNAT> Create() {
        ComPtr<IUPnPNAT> nat;
        EXPECT_EQ(CoCreateInstance(CLSID_UPnPNAT, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&nat)), S_OK);
        return nat;
    }
};

TEST_F(RealUpnpNat, WithoutARouterTheCollectionRequestGivesNoneWithinSeconds) {
    const ComPtr<IUPnPNAT> nat = Create();
    ASSERT_TRUE(nat);
    ComPtr<IStaticPortMappingCollection> collection;
    const auto start = std::chrono::steady_clock::now();
    const HRESULT result = nat->get_StaticPortMappingCollection(&collection);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("get_StaticPortMappingCollection: 0x%08lX, collection %s, %lld ms\n",
                static_cast<unsigned long>(result), collection ? "present" : "none", static_cast<long long>(elapsed));
    RecordProperty("collection_request_ms", std::to_string(elapsed));
    EXPECT_TRUE(FAILED(result) || !collection);
    EXPECT_LT(elapsed, 10000);
}

TEST_F(RealUpnpNat, TheConfiguratorStaysClosedAndSaysWhy) {
    fakes::MessageBoxRecorder boxes;
    Portolan configurator;
    EXPECT_EQ(configurator.comReady, 1);
    EXPECT_TRUE(configurator.nat);
    EXPECT_FALSE(configurator.collection);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Portolan::get_StaticPortMappingCollection returned a NULL ptr");
    EXPECT_EQ(boxes.boxes[0].caption, "ERROR!");
    EXPECT_EQ(boxes.boxes[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(configurator.RefreshMappings());
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

}  // namespace
