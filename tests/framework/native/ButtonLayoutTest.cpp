// Where a glyph button puts its picture and its caption.
#include <gtest/gtest.h>

#include "framework/forms/ButtonLayout.h"

using forms::LayoutGlyphButton;
using forms::TButtonLayout;
using forms::TLayoutSize;

TEST(ButtonLayout, GlyphBesideTheCaptionWithAFixedSpacing) {
    // Margin -1 centres glyph, spacing and text together: (100 - 16 - 4 - 40) / 2.
    auto l = LayoutGlyphButton({100, 30}, {16, 16}, {40, 13}, TButtonLayout::blGlyphLeft, -1, 4);
    EXPECT_EQ(l.glyphLeft, 20);
    EXPECT_EQ(l.glyphTop, 7);  // (30 - 16 + 1) / 2
    EXPECT_EQ(l.textLeft, 40);
    EXPECT_EQ(l.textTop, 9);
    EXPECT_EQ(l.textRight, 80);
    EXPECT_EQ(l.textBottom, 22);
    l = LayoutGlyphButton({100, 30}, {16, 16}, {40, 13}, TButtonLayout::blGlyphRight, -1, 4);
    EXPECT_EQ(l.glyphLeft, 64);
    EXPECT_EQ(l.textLeft, 20);
}

TEST(ButtonLayout, GlyphAboveOrBelowWithSpreadOrFixedMargins) {
    // Both -1: margin and spacing are a third of what is left, (60 - 16 - 13) / 3.
    auto l = LayoutGlyphButton({60, 60}, {16, 16}, {30, 13}, TButtonLayout::blGlyphTop, -1, -1);
    EXPECT_EQ(l.glyphTop, 10);
    EXPECT_EQ(l.glyphLeft, 22);
    EXPECT_EQ(l.textTop, 36);
    EXPECT_EQ(l.textLeft, 15);
    // A margin of 2 and spacing -1: spacing (60 - 2 - 16 - 13) / 2.
    l = LayoutGlyphButton({60, 60}, {16, 16}, {30, 13}, TButtonLayout::blGlyphBottom, 2, -1);
    EXPECT_EQ(l.glyphTop, 42);
    EXPECT_EQ(l.textTop, 15);
}

TEST(ButtonLayout, AButtonWithOnlyACaptionOrOnlyAGlyphCentresIt) {
    auto l = LayoutGlyphButton({100, 30}, {0, 0}, {40, 13}, TButtonLayout::blGlyphLeft, -1, 4);
    EXPECT_EQ(l.textLeft, 30);
    EXPECT_EQ(l.textRight, 70);
    l = LayoutGlyphButton({100, 30}, {16, 16}, {0, 0}, TButtonLayout::blGlyphLeft, -1, -1);
    EXPECT_EQ(l.glyphLeft, 42);
    l = LayoutGlyphButton({17, 17}, {12, 12}, {0, 0}, TButtonLayout::blGlyphTop, -1, 4);
    EXPECT_EQ(l.glyphLeft, 3);
    EXPECT_EQ(l.glyphTop, 2);
}
