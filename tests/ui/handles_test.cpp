#include "ui/handles.h"

#include <gtest/gtest.h>

namespace {

int closedCount = 0;
void CountClose(int*) { ++closedCount; }
using CountedHandle = ui::UniqueHandle<int*, &CountClose>;

TEST(UniqueHandle, ClosesOnceOnDestructionAndReset) {
    int a = 0, b = 0;
    closedCount = 0;
    {
        CountedHandle handle(&a);
        EXPECT_TRUE(handle);
        handle.reset(&b);
        EXPECT_EQ(closedCount, 1);
        EXPECT_EQ(handle.get(), &b);
    }
    EXPECT_EQ(closedCount, 2);
}

TEST(UniqueHandle, MoveTransfersOwnershipAndReleaseGivesUp) {
    int a = 0;
    closedCount = 0;
    CountedHandle first(&a);
    CountedHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), &a);
    EXPECT_EQ(second.release(), &a);
    EXPECT_FALSE(second);
    EXPECT_EQ(closedCount, 0);
}

TEST(UniqueHandle, PutClosesWhatWasHeld) {
    int a = 0, b = 0;
    closedCount = 0;
    CountedHandle handle(&a);
    *handle.put() = &b;
    EXPECT_EQ(closedCount, 1);
    EXPECT_EQ(handle.get(), &b);
}

TEST(UniqueHandle, RealRegistryKeyIsClosed) {
    ui::UniqueHKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    const HKEY raw = key.get();
    key.reset();
    EXPECT_NE(RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

}  // namespace
