#include <gtest/gtest.h>

#include "framework/forms/Rounding.h"

using forms::Round;

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(4999999.5), 5000000);
}

TEST(Rounding, OtherValuesGoToTheNearest) {
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Round(2.5001), 3);
    EXPECT_EQ(Round(-2.6), -3);
    EXPECT_EQ(Round(59.6), 60);
    EXPECT_EQ(Round(3725.4), 3725);
    EXPECT_EQ(Round(0.0), 0);
    // Percentages and positions as the windows compute them.
    EXPECT_EQ(Round(50 * 1.4 + 76), 146);
    EXPECT_EQ(Round((83 - 76) / 1.4), 5);
    EXPECT_EQ(Round(100.0 / 3 * 3), 100);
}
