// The skins the build draws: the invariants the painters and the look
// tests rely on, checked on the embedded stream and on the shipped skins.
#include <gtest/gtest.h>

#include <cstring>

#include "skin/SkinArchive.h"
#include "skin/SkinDescription.h"
#include "tools/skinkit/DefaultSkin.h"

namespace app {
extern const unsigned char kStoredSkinStream[];
extern const size_t kStoredSkinStreamSize;
}  // namespace app

namespace {

using namespace skin;

int32_t Int32At(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

TEST(DefaultSkin, TheEmbeddedStreamHoldsTheGeneratorsArchive) {
    const uint8_t* stream = app::kStoredSkinStream;
    ASSERT_GE(app::kStoredSkinStreamSize, 8u);
    const int32_t n = Int32At(stream);
    EXPECT_EQ(static_cast<size_t>(n) + 4, app::kStoredSkinStreamSize);
    const uint8_t* archive = stream + 4;

    const auto entries = skinkit::BuildSkinEntries(skinkit::DefaultPalette());
    std::vector<uint8_t> decoded;
    SkinLoadResult result;
    ASSERT_TRUE(TSkinReader::Decode(archive, static_cast<size_t>(n), decoded, result));
    EXPECT_EQ(decoded.size(), static_cast<size_t>(Int32At(archive)));

    TSkinReader r;
    ASSERT_TRUE(r.LoadFromBytes(archive, static_cast<size_t>(n)));
    EXPECT_EQ(r.Header()[0], 20000);
    size_t listLength = 0, total = 0;
    for (const auto& e : entries) listLength += e.name.size() + 2;
    EXPECT_EQ(static_cast<size_t>(r.Header()[1]), listLength);
    ASSERT_EQ(r.Count(), static_cast<int>(entries.size()));
    int inis = 0;
    for (int i = 0; i < r.Count(); ++i) {
        total += r.EntrySize(i);
        inis += r.Names()[i].find(".ini") != std::string::npos;
        EXPECT_EQ(r.Names()[i], entries[i].name);
    }
    EXPECT_EQ(total, r.Entries().Bytes().size());
    EXPECT_EQ(inis, 1);
}

// Every key of the description that names a bitmap.
std::vector<std::string> BitmapValues(const std::string& ini) {
    std::vector<std::string> out;
    size_t at = 0;
    while ((at = ini.find(".bmp", at)) != std::string::npos) {
        const size_t eq = ini.rfind('=', at);
        out.push_back(ini.substr(eq + 1, at + 4 - eq - 1));
        at += 4;
    }
    return out;
}

TEST(DefaultSkin, EveryNamedBitmapIsAWholeBmpEntryAndEveryStripDivides) {
    std::vector<std::string> skins{""};
    for (const auto& s : skinkit::ShippedSkinNames()) skins.push_back(s);
    std::vector<SkinColour> faces;
    for (const std::string& name : skins) {
        const auto palette = name.empty() ? skinkit::DefaultPalette() : skinkit::ShippedPalette(name);
        const auto file = skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(palette));
        TSkinReader r;
        ASSERT_TRUE(r.LoadFromBytes(file.data(), file.size())) << name;
        forms::TMemoryStream ini;
        std::string iniName;
        r.FindEntry(".ini", ini, iniName);
        const std::string text(ini.Bytes().begin(), ini.Bytes().end());
        for (const std::string& bmp : BitmapValues(text)) {
            const int i = r.IndexOf(bmp);
            ASSERT_GE(i, 0) << bmp;
            const uint8_t* d = r.EntryData(i);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(d), 2), "BM") << bmp;
            EXPECT_EQ(static_cast<size_t>(Int32At(d + 2)), r.EntrySize(i)) << bmp;
        }

        SkinElements e;
        ParseSkinDescription(text, r, e);
        faces.push_back(e.ButtonFaceColour);
        const TDataSkinObject* filled[] = {e.BorderLeft.get(), e.BorderRight.get(), e.BorderTop.get(),
                                           e.BorderBottom.get(), e.Buttons.get(), e.MenuBar.get(), e.Progress.get(),
                                           e.Tabs.get(), e.StatusBarEdges.get(), e.ComboButton.get(),
                                           e.SunkEdge.get(), e.ExtraImages.get(), e.Headerbar.get(), e.MenuItem.get(),
                                           e.MenuBackground.get(), e.Scrollbar.get(), e.HorzScroll.get(),
                                           e.VertScroll.get(), e.HorzScrollThumb.get(), e.VertScrollThumb.get(),
                                           e.UpDownHorz.get(), e.UpDownVert.get(), e.TrackbarThumbHorz.get(),
                                           e.TrackbarThumbVert.get()};
        for (const TDataSkinObject* o : filled) {
            ASSERT_TRUE(o);
            ASSERT_FALSE(o->Bitmap.Empty()) << o->Name;
            // Top and bottom are stacked; everything else lies side by side.
            const bool stacked = o == e.BorderTop.get() || o == e.BorderBottom.get() || o == e.MenuBar.get();
            const int length = stacked ? o->Bitmap.height : o->Bitmap.width;
            EXPECT_EQ(length % o->FrameCount, 0) << o->Name;
        }
        EXPECT_EQ(e.Buttons->CheckBitmap.width % e.Buttons->CheckFrameCount, 0);
        EXPECT_EQ(e.Buttons->RadioBitmap.width % e.Buttons->RadioFrameCount, 0);
        EXPECT_FALSE(e.Tabs->Bitmap2.Empty());
        EXPECT_FALSE(e.UpDownVert->Bitmap2.Empty());
        // The title buttons, then the three MDI ones.
        ASSERT_EQ(e.SysButtons.size(), 5u + 3u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(e.SysButtons[i]->Bitmap.width, 64);
            EXPECT_EQ(e.SysButtons[i]->FrameCount, 4);
        }
        EXPECT_TRUE(e.SysButtons[4]->Bitmap.Empty());  // the icon
        // The frame sizes the look tests use.
        EXPECT_EQ(e.BorderLeft->Bitmap.width / e.BorderLeft->FrameCount, 4);
        EXPECT_EQ(e.BorderRight->Bitmap.width / e.BorderRight->FrameCount, 4);
        EXPECT_EQ(e.BorderTop->Bitmap.height / e.BorderTop->FrameCount, 26);
        EXPECT_EQ(e.BorderBottom->Bitmap.height / e.BorderBottom->FrameCount, 4);
        EXPECT_EQ(e.BorderTop->Trans, 0);
    }
    EXPECT_EQ(faces[0], 0x00ECECECu);
    // The shipped skins look different from each other and from the default.
    EXPECT_NE(faces[0], faces[1]);
    EXPECT_NE(faces[1], faces[2]);
}

TEST(DefaultSkin, TheMenuGlyphsLieOnWhite) {
    const SkinPixels g = skinkit::MenuGlyphs();
    EXPECT_EQ(g.width, 64);
    EXPECT_EQ(g.height, 16);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g.Pixel(i * 16, 0), 0xFFFFFFu);
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) ink += g.Pixel(i * 16 + x, y) != 0xFFFFFFu;
        EXPECT_GT(ink, 8) << "glyph " << i;
    }
}

}  // namespace
