#include "platform/sdl_icon.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

TEST(SdlIcon, IsAGreenFernOnBlackAtEverySize) {
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        const std::vector<std::uint8_t> rgba = DrawIconArt(size);
        ASSERT_EQ(rgba.size(), static_cast<std::size_t>(size) * size * 4);
        int lit = 0;
        int notGreen = 0;
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            ASSERT_EQ(rgba[i + 3], 255) << "pixel " << i / 4 << " is not opaque";
            if (rgba[i] == 0 && rgba[i + 1] == 0 && rgba[i + 2] == 0) continue;
            ++lit;
            if (rgba[i + 1] <= rgba[i] || rgba[i + 1] <= rgba[i + 2]) ++notGreen;
        }
        EXPECT_EQ(notGreen, 0);
        // A figure, neither a speck nor a filled square.
        EXPECT_GT(lit, size * size / 20);
        EXPECT_LT(lit, size * size / 2);

        // Stem on the bottom row near the middle, black row above the tip.
        auto isLit = [&](int x, int y) {
            return rgba[(static_cast<std::size_t>(y) * size + x) * 4 + 1] != 0;
        };
        bool stem = false;
        for (int x = size / 4; x < size * 3 / 4; ++x) stem = stem || isLit(x, size - 1);
        EXPECT_TRUE(stem);
        for (int x = 0; x < size; ++x) EXPECT_FALSE(isLit(x, 0)) << x;

        EXPECT_EQ(DrawIconArt(size), rgba) << "the artwork must not change between runs";
    }
    EXPECT_TRUE(DrawIconArt(0).empty());
    EXPECT_TRUE(DrawIconArt(-5).empty());
}

}  // namespace
}  // namespace morva
