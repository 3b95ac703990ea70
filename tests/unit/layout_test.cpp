#include "platform/layout.h"

#include <gtest/gtest.h>

namespace duomira {
namespace {

// Twips become whole pixels rounded to the nearest, a half rounded away from
// zero. Every case lies where truncating, rounding up or rounding a half down
// would give another pixel.
TEST(LayoutTest, TwipsRoundToTheNearestPixel) {
    struct Case {
        long twips;
        int dpi;
        int pixels;
    };
    const Case cases[] = {
        {10, 96, 1},     {7, 96, 0},      {2467, 96, 164},  {5497, 96, 366},  // 15 twips a pixel
        {285, 120, 24},  {45, 120, 4},    {270, 120, 23},   {255, 120, 21},   // 12 twips a pixel
        {255, 144, 26},  {1035, 144, 104}, {4, 144, 0},     {-45, 144, -5},   // 10 twips a pixel
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " twips at " << c.dpi << " dpi";
    }
}

}  // namespace
}  // namespace duomira
