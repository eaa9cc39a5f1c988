// The skin description parser on archives built here: defaults, clamps,
// system buttons, colours, bitmap lookups and frame counts.
#include <gtest/gtest.h>

#include "skin/SkinArchive.h"
#include "skin/SkinDescription.h"
#include "tools/skinkit/DefaultSkin.h"

namespace {

using namespace skin;

SkinPixels Solid(int w, int h, uint32_t colour = 0x123456) {
    SkinPixels p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.SetPixel(x, y, colour);
    return p;
}

struct Parsed {
    TSkinReader reader;
    SkinElements e;
};

// Parses ini with the given bitmaps in the archive.
std::unique_ptr<Parsed> Parse(const std::string& ini, const std::vector<std::pair<std::string, SkinPixels>>& bitmaps = {}) {
    std::vector<skinkit::SkinEntry> entries{{"test.ini", std::vector<uint8_t>(ini.begin(), ini.end())}};
    for (const auto& [name, pixels] : bitmaps) entries.push_back({name, skinkit::EncodeBmp(pixels)});
    const auto file = skinkit::WriteSkinArchive(entries);
    auto p = std::make_unique<Parsed>();
    EXPECT_TRUE(p->reader.LoadFromBytes(file.data(), file.size()));
    ParseSkinDescription(ini, p->reader, p->e);
    return p;
}

TEST(SkinDescription, AnEmptyDescriptionGivesEveryDefault) {
    auto p = Parse("");
    const SkinElements& e = p->e;
    EXPECT_EQ(e.ButtonFaceColour, kSystemColour + 15);
    EXPECT_EQ(e.MenubarColour, e.ButtonFaceColour);
    EXPECT_EQ(e.ButtonDkShadowColour, kSystemColour + 16);
    EXPECT_EQ(e.ButtonLightColour, kSystemColour + 20);
    for (const TDataSkinBorder* b : {e.BorderLeft.get(), e.BorderRight.get(), e.BorderTop.get(), e.BorderBottom.get()}) {
        EXPECT_EQ(b->FrameCount, 1);
        EXPECT_EQ(b->Tile, 1);
        EXPECT_EQ(b->Trans, 1);
        EXPECT_TRUE(b->Bitmap.Empty());
    }
    EXPECT_EQ(e.Title->FontHeight, 14);
    EXPECT_EQ(e.Title->ActiveTextColour, kNoTextColour);
    EXPECT_EQ(e.Buttons->FrameCount, 5);
    EXPECT_EQ(e.Buttons->CheckFrameCount, 4);  // from an empty picture
    EXPECT_FALSE(e.MenuBar || e.Progress || e.Tabs || e.Scrollbar || e.UpDownVert);
    // The three MDI buttons are always there.
    ASSERT_EQ(e.SysButtons.size(), 3u);
    EXPECT_EQ(e.SysButtons[0]->Action, 7);
    EXPECT_EQ(e.SysButtons[2]->Action, 9);
    EXPECT_EQ(e.SysButtons[1]->FrameCount, 4);
}

TEST(SkinDescription, HorizontalBordersTakeTheirFixedLengthsAsWidths) {
    auto p = Parse("[Personality]\r\nTop=dir\\top.bmp\r\nTopTopHeight=41\r\nTopBotHeight=67\r\nLeftTopHeight=26\r\n"
                   "LeftBotHeight=5\r\nTopFrame=2\r\n",
                   {{"top.bmp", Solid(64, 52)}});
    const TDataSkinBorder& top = *p->e.BorderTop;
    EXPECT_EQ(top.LeftWidth, 41);
    EXPECT_EQ(top.RightWidth, 67);
    EXPECT_EQ(top.TopHeight, 0);
    EXPECT_EQ(top.BottomHeight, 0);
    EXPECT_EQ(top.FrameCount, 2);
    EXPECT_EQ(top.Bitmap.width, 64);  // the folder part is dropped
    EXPECT_EQ(p->e.BorderLeft->TopHeight, 26);
    EXPECT_EQ(p->e.BorderLeft->BottomHeight, 5);
    EXPECT_EQ(p->e.BorderLeft->LeftWidth, 0);
}

TEST(SkinDescription, SystemButtonsTakeTheirFramesFromThePictureWhenNotGiven) {
    const std::string ini =
        "[Button.A]\r\nButtonImage=w60.bmp\r\n"
        "[Button.B]\r\nButtonImage=w45.bmp\r\n"
        "[Button.C]\r\nButtonImage=w57.bmp\r\n"
        "[Button.Icon]\r\nAction=3\r\nButtonImage=w45.bmp\r\n"
        "[Button.Back]\r\nAction=-1\r\nButtonImage=w45.bmp\r\n"
        "[Button.Given]\r\nframe=-2\r\nButtonImage=w45.bmp\r\nCombineOp=2\r\n"
        "[Button.Caps]\r\nButtonImage=w45.BMP\r\n"
        "[Buttons]\r\n[button.radio]\r\n[BUTTON.CHECKBOX]\r\n[Buttonish]\r\nXcoord=9\r\n";
    auto p = Parse(ini, {{"w60.bmp", Solid(60, 15)}, {"w45.bmp", Solid(45, 15)}, {"w57.bmp", Solid(57, 15)}});
    const auto& b = p->e.SysButtons;
    ASSERT_EQ(b.size(), 8u + 3u);
    EXPECT_EQ(b[0]->Name, "BUTTON.A");
    EXPECT_EQ(b[0]->FrameCount, 6);  // ratio 4.0
    EXPECT_EQ(b[1]->FrameCount, 3);  // 3.0
    EXPECT_EQ(b[2]->FrameCount, 3);  // exactly 3.8
    EXPECT_TRUE(b[3]->Bitmap.Empty());  // the icon draws none
    EXPECT_EQ(b[4]->FrameCount, 6);
    EXPECT_EQ(b[5]->FrameCount, 1);  // an explicit count below 1
    EXPECT_EQ(b[5]->CombineOp, 2);
    EXPECT_EQ(b[0]->CombineOp, -1);
    EXPECT_TRUE(b[6]->Bitmap.Empty());  // ".BMP" is not looked up
    EXPECT_EQ(b[7]->Name, "BUTTONISH");
    EXPECT_EQ(b[7]->Xcoord, 9);
    EXPECT_EQ(b[7]->FrameCount, 6);
}

TEST(SkinDescription, MdiButtonsAreCutFromOneStrip) {
    auto p = Parse("[MDICONTROLS]\r\nImage=mdi.bmp\r\n", {{"mdi.bmp", Solid(120, 10)}});
    const auto& b = p->e.SysButtons;
    ASSERT_EQ(b.size(), 3u);
    const int x[] = {42, 28, 14};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(b[i]->Bitmap.width, 40);
        EXPECT_EQ(b[i]->Xcoord, x[i]);
        EXPECT_EQ(b[i]->Align, 100);
    }
}

TEST(SkinDescription, ColoursAreReadAsThreeNumbers) {
    struct Case {
        const char* text;
        SkinColour expected;
    } cases[] = {
        {"240 240 240", 0x00F0F0F0}, {"41 99 189", 0x00BD6329}, {"12 34", 12}, {"1,2,3", 0x00030201},
        {" \t7 8 9\t ", 0x00090807},  {"256 257 258", 0x00020100}, {"1 2 3 4", 0x00000201}, {"x", 0},
        {"99999999999999999999 1 1", 0x000101FF},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRgbText(c.text, 77), c.expected) << c.text;
    EXPECT_EQ(ParseRgbText("  ", 77), 77u);

    auto p = Parse("[Colours]\r\nButtonFace=240 240 240\r\nHilight=41 99 189\r\n"
                   "[Colour1]\r\ncolor=1 2 3\r\n[Colours2]\r\n[COLOUR0]\r\ncolor=4 5 6\r\n");
    EXPECT_EQ(p->e.ButtonFaceColour, 0x00F0F0F0u);
    EXPECT_EQ(p->e.MenubarColour, 0x00F0F0F0u);  // follows the button face when not given
    EXPECT_EQ(p->e.HilightColour, 0x00BD6329u);
    EXPECT_EQ(p->e.ColourTable, (std::vector<SkinColour>{0x030201, kSystemColour + 8, 0x060504}));
}

TEST(SkinDescription, TitleTextColoursNeedAllThreeParts) {
    auto p = Parse("[Personality]\r\nActiveTextR=255\r\nActiveTextG=0\r\nActiveTextB=16\r\n"
                   "InActiveTextR=1\r\nInActiveTextG=2\r\nTextShift=26\r\n[Fonts]\r\nFontHeight=abc\r\n");
    EXPECT_EQ(p->e.Title->ActiveTextColour, 0x001000FFu);
    EXPECT_EQ(p->e.Title->InactiveTextColour, kNoTextColour);
    EXPECT_EQ(p->e.Title->LeftWidth, 26);
    EXPECT_EQ(p->e.Title->FontHeight, 14);  // not a number
}

TEST(SkinDescription, FrameCountsAreNeverBelowOne) {
    const std::string ini =
        "[Personality]\r\nLeftFrame=0\r\nRightFrame=-3\r\nTopFrame=3\r\n"
        "[HorzScrollThumb]\r\nImage=a.bmp\r\nFrameCount=0\r\n[VertScrollThumb]\r\nImage=a.bmp\r\n"
        "[Buttons]\r\nCheckButton=check.bmp\r\nCheckButtonFrame=0\r\nRadioButton=radio.bmp\r\nRadioButtonFrame=-1\r\n";
    auto p = Parse(ini, {{"a.bmp", Solid(48, 16)}, {"check.bmp", Solid(160, 16)}, {"radio.bmp", Solid(52, 13)}});
    EXPECT_EQ(p->e.BorderLeft->FrameCount, 1);
    EXPECT_EQ(p->e.BorderRight->FrameCount, 1);
    EXPECT_EQ(p->e.BorderTop->FrameCount, 3);
    EXPECT_EQ(p->e.HorzScrollThumb->FrameCount, 1);
    EXPECT_EQ(p->e.VertScrollThumb->FrameCount, 3);
    EXPECT_EQ(p->e.Buttons->CheckFrameCount, 10);  // 160 div 16
    EXPECT_EQ(p->e.Buttons->RadioFrameCount, 1);
}

TEST(SkinDescription, ElementReadersKeepTheirOwnRules) {
    const std::string ini =
        "[Progress]\r\nBitmap=bar.bmp\r\nStyle=1\r\n"
        "[Toolbars]\r\nImage=bar.bmp\r\nTile=2\r\nNormalColour=5\r\nNormalColour2=1 2 3\r\n"
        "[Tabs]\r\nImage=bar.bmp\r\nBorder=edge.bmp\r\nTile=1\r\n"
        "[ComboButton]\r\nImage=combo.bmp\r\n"
        "[SunkEdge]\r\nImage=missing.bmp\r\n"
        "[Personality]\r\nmenuBar=bar.bmp\r\n"
        "[Colours]\r\nButtonText=9 9 9\r\n";
    SkinPixels combo = Solid(8, 1);  // four frames of two columns
    combo.SetPixel(0, 0, 0x0000FF);
    auto p = Parse(ini, {{"bar.bmp", Solid(32, 16)}, {"edge.bmp", Solid(16, 16)}, {"combo.bmp", combo}});
    const SkinElements& e = p->e;
    ASSERT_TRUE(e.Progress);
    EXPECT_EQ(e.Progress->Style, 0);  // style 1 needs a chunk picture
    EXPECT_EQ(e.Progress->FrameCount, 2);
    ASSERT_TRUE(e.Toolbars);
    EXPECT_EQ(e.Toolbars->Tile, 0);
    EXPECT_EQ(e.Toolbars->NormalColour, 5);
    EXPECT_EQ(e.Toolbars->NormalColour2, 0x030201u);
    EXPECT_EQ(e.Toolbars->PressedColour2, 0x090909u);  // the button text colour
    ASSERT_TRUE(e.Tabs);
    EXPECT_EQ(e.Tabs->Tile, 1);
    EXPECT_EQ(e.Tabs->Bitmap2.width, 16);
    ASSERT_TRUE(e.ComboButton);
    // Each frame mirrored where it stands: frame 1 stays frame 1.
    EXPECT_EQ(e.ComboButton->Bitmap2.Pixel(1, 0), 0x0000FFu);
    EXPECT_NE(e.ComboButton->Bitmap2.Pixel(0, 0), 0x0000FFu);
    EXPECT_NE(e.ComboButton->Bitmap2.Pixel(7, 0), 0x0000FFu);
    EXPECT_EQ(e.ComboButton->Bitmap.Pixel(0, 0), 0x0000FFu);
    ASSERT_TRUE(e.SunkEdge);  // named, though the picture is missing
    EXPECT_TRUE(e.SunkEdge->Bitmap.Empty());
    ASSERT_TRUE(e.MenuBar);
    EXPECT_EQ(e.MenuBar->LeftWidth, 1);
    EXPECT_EQ(e.MenuBar->FrameCount, 2);

    auto chunked = Parse("[Progress]\r\nBitmap=bar.bmp\r\nChunk=bar.bmp\r\nStyle=1\r\n", {{"bar.bmp", Solid(8, 8)}});
    EXPECT_EQ(chunked->e.Progress->Style, 1);
}

TEST(SkinDescription, RepeatedSectionsAndKeysCountOnceAndManySectionsStayCheap) {
    std::string ini = "[Buttons]\r\nLeftWidth=3\r\nleftwidth=9\r\n[buttons]\r\nLeftWidth=5\r\n";
    for (int i = 0; i < 50000; ++i) ini += "[Button" + std::to_string(i % 5) + "]\r\n";
    auto p = Parse(ini);
    EXPECT_EQ(p->e.Buttons->LeftWidth, 3);
    EXPECT_EQ(p->e.SysButtons.size(), 5u + 3u);
}

}  // namespace
