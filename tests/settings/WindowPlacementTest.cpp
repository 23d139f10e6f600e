#include "settings/WindowPlacement.h"

#include <gtest/gtest.h>

#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace vb {
namespace {

TEST(WindowPlacement, SavedUnderPlainAndSizedNamesAndReadBackPreferringTheSizedOnes) {
    test::TempDir dir;
    RegistryStore store(dir / "registry.reg");
    WindowPlacement w;
    w.showCmd = kShowMaximized, w.flags = 2, w.pixelsPerInch = 96;
    w.left = 549, w.top = 279, w.right = 1270, w.bottom = 806;
    SavePlacement(store, w, 1920, 1080);
    const auto key = kPlacementKey;
    const auto HKCU = RegistryRoot::CurrentUser;
    EXPECT_EQ(store.ReadDword(HKCU, key, "FormVersion"), 0u);
    EXPECT_EQ(store.ReadString(HKCU, key, "NormPos"), "549,279,1270,806");
    EXPECT_EQ(store.ReadString(HKCU, key, "NormPos(1920x1080)"), "549,279,1270,806");
    EXPECT_EQ(store.ReadString(HKCU, key, "MinMaxPos(1920x1080)"), "-1,-1,-1,-1");

    store.WriteString(key, "NormPos", "1,2,3,4");  // another desktop size saved later
    auto same = LoadPlacement(store, 1920, 1080);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->left, 549);
    EXPECT_EQ(same->showCmd, kShowMaximized);
    auto other = LoadPlacement(store, 1024, 768);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->right, 3);
}

TEST(WindowPlacement, FourIntegers) {
    EXPECT_EQ(ParseFourInts("1,-2, 3,4"), (std::array<int, 4>{1, -2, 3, 4}));
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "a,b,c,d", "1,2,3,4x"}) EXPECT_EQ(ParseFourInts(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace vb
