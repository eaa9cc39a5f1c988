// Frame optimisation and frame rendering rows, without the platform.
// Whether an optimised animation still looks the same is asked of
// gifsicle's gifdiff (-w: frames that change nothing may go); animations
// come from gifbuild texts written here and from gifsicle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gif/FrameRender.h"
#include "gif/GifExtensions.h"
#include "tests/gif/native/GifTestUtil.h"

using namespace gif;
using giftest::Bytes;

namespace {

// The screen map every crafted animation below shares.
const char* const kScreen = R"(screen width 12
screen height 10
screen background 0
screen map
	rgb 000 000 000 is .
	rgb 255 000 000 is R
	rgb 000 255 000 is G
	rgb 000 000 255 is B
	rgb 255 255 255 is W
end
)";

// One frame of a gifbuild text: a control block (when disposal >= 0) and
// a rectangle of rows.
std::string FrameText(int left, int top, const std::vector<std::string>& rows, int disposal, int delay,
                      int transparent = -1) {
    std::string text;
    if (disposal >= 0) {
        text += "graphics control\n\tdisposal mode " + std::to_string(disposal) +
                "\n\tuser input flag off\n\tdelay " + std::to_string(delay) + "\n\ttransparent index " +
                std::to_string(transparent) + "\nend\n\n";
    }
    text += "image\nimage left " + std::to_string(left) + "\nimage top " + std::to_string(top) + "\nimage bits " +
            std::to_string(rows[0].size()) + " by " + std::to_string(rows.size()) + "\n";
    for (const auto& row : rows) text += row + "\n";
    return text + "\n";
}

std::vector<std::string> Fill(int w, int h, char c) { return std::vector<std::string>(h, std::string(w, c)); }

class GifOptimize : public ::testing::Test {
protected:
    // The GIF gifbuild makes of the text.
    std::string Build(const std::string& name, const std::string& text) {
        const std::string source = m_dir.File(name + ".txt"), gif = m_dir.File(name + ".gif");
        giftest::WriteFileBytes(source, Bytes(text.begin(), text.end()));
        int status = 0;
        const std::string out = giftest::Run("gifbuild '" + source + "' > '" + gif + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << out;
        return gif;
    }
    std::unique_ptr<giftest::TestImage> Load(const std::string& path) {
        return giftest::LoadGif(giftest::ReadFileBytes(path));
    }
    // Optimises a copy of the file with every step; true when gifdiff -w
    // sees no difference. The picture is left in *optimised.
    bool KeepsTheLook(const std::string& path, std::unique_ptr<giftest::TestImage>* optimised = nullptr,
                      uint8_t steps = kAllOptimizeSteps) {
        auto image = Load(path);
        image->OptimizeFrames(steps, 0, 0, 8);
        const std::string out = path + ".opt.gif";
        giftest::WriteFileBytes(out, giftest::SaveGif(*image));
        int status = 0;
        const std::string diff = giftest::Run("gifdiff -w '" + path + "' '" + out + "' 2>&1", &status);
        if (optimised) *optimised = std::move(image);
        if (status != 0) ADD_FAILURE() << path << ":\n" << diff;
        return status == 0;
    }

    giftest::TempDir m_dir;
};

}  // namespace

// A restore after a frame may go only when the next frame paints over all
// of it; a next frame inside it leaves the rest to be restored.
TEST_F(GifOptimize, RestoreDisposalGoesOnlyWhenTheNextFrameCoversIt) {
    const std::string inside = Build("inside", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 10) +
                                                   FrameText(1, 1, Fill(8, 6, 'G'), 2, 10) +
                                                   FrameText(3, 3, Fill(3, 2, 'B'), 1, 10));
    std::unique_ptr<giftest::TestImage> image;
    EXPECT_TRUE(KeepsTheLook(inside, &image, osCleanup));
    EXPECT_EQ(image->Frames().FrameAt(1).Disposal(), 2);

    const std::string covering = Build("covering", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 10) +
                                                       FrameText(3, 3, Fill(3, 2, 'G'), 2, 10) +
                                                       FrameText(1, 1, Fill(8, 6, 'B'), 1, 10));
    EXPECT_TRUE(KeepsTheLook(covering, &image, osCleanup));
    EXPECT_EQ(image->Frames().FrameAt(1).Disposal(), 0);

    // The next frame restores to what was before it, which this frame's
    // restore decides.
    const std::string previous = Build("previous", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 10) +
                                                       FrameText(3, 3, Fill(3, 2, 'G'), 3, 10) +
                                                       FrameText(1, 1, Fill(8, 6, 'B'), 3, 10) +
                                                       FrameText(0, 0, Fill(1, 1, 'W'), 1, 10));
    EXPECT_TRUE(KeepsTheLook(previous, &image, osCleanup));
    EXPECT_EQ(image->Frames().FrameAt(1).Disposal(), 3);
}

// A frame over the shared table may take another frame's transparent
// index only when it never shows that index as a colour.
TEST_F(GifOptimize, MergeKeepsPixelsOfAnotherFramesTransparentIndex) {
    std::vector<std::string> first = Fill(8, 6, 'R'), second = Fill(8, 6, 'R');
    first[0] = "BBBBBBBB";  // transparent in the first frame
    second[2] = "RRBBBBRR";  // a colour in the second, over red
    second[4] = "GGGGGGGG";
    const std::string path = Build("merge", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'W'), 1, 10) +
                                               FrameText(2, 2, first, 1, 10, 3) + FrameText(2, 2, second, 1, 10));
    std::unique_ptr<giftest::TestImage> image;
    EXPECT_TRUE(KeepsTheLook(path, &image, osMerge));
    TGIFSubImageCore& merged = image->Frames().FrameAt(2);
    ASSERT_TRUE(merged.Transparent());
    EXPECT_NE(merged.TransparentIndex(), 3);
    EXPECT_EQ(merged.PixelAt(3, 2), 3) << "the blue pixels stay blue";
    EXPECT_EQ(merged.PixelAt(0, 1), merged.TransparentIndex()) << "red over red merges";
    EXPECT_EQ(merged.PixelAt(0, 0), 1) << "red over the first frame's transparency stays";
    EXPECT_EQ(merged.PixelAt(0, 4), 2) << "green over red stays";

    // Two identical opaque frames over a full table: no room for an index.
    std::string full = "screen width 4\nscreen height 2\nscreen background 0\nscreen map\n";
    full += "\trgb 000 000 000 is .\n";
    for (int i = 1; i < 256; ++i) full += "\trgb " + std::to_string(i) + " 000 000\n";
    full += "end\n\n";
    const std::string image256 = Build("full", full + FrameText(0, 0, Fill(4, 2, '.'), 1, 10) +
                                                  FrameText(0, 0, Fill(4, 2, '.'), 1, 10));
    image = Load(image256);
    const Bytes before = giftest::SaveGif(*image);
    image->OptimizeFrames(osMerge, 0, 0, 8);
    EXPECT_EQ(giftest::SaveGif(*image), before);
}

// An empty frame still times the animation, may carry its loop, and its
// restore may clear what the frame before it drew.
TEST_F(GifOptimize, CroppingAwayEmptyFramesKeepsDelaysLoopsAndVisibleDisposals) {
    const std::string path =
        Build("crop", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 20) + "netscape loop 4\n\n" +
                          FrameText(2, 2, Fill(4, 4, 'B'), 1, 30, 3) + FrameText(1, 1, Fill(5, 5, 'G'), 1, 40) +
                          FrameText(0, 0, Fill(12, 10, 'B'), 2, 50, 3) + FrameText(6, 6, Fill(2, 2, 'W'), 1, 60));
    std::unique_ptr<giftest::TestImage> image;
    EXPECT_TRUE(KeepsTheLook(path, &image, osCrop));
    TGIFImageList& frames = image->Frames();
    ASSERT_EQ(frames.ItemCount(), 4);
    EXPECT_EQ(frames.FrameAt(0).Delay(), 50) << "the empty frame's delay goes to the opaque frame before it";
    ASSERT_NE(frames.FrameAt(1).LoopExtension(), nullptr) << "the loop moves to the next frame";
    EXPECT_EQ(frames.FrameAt(1).LoopExtension()->Loops(), 4);
    EXPECT_EQ(frames.FrameAt(2).Disposal(), 2) << "an empty frame that clears its area stays";
    EXPECT_EQ(frames.FrameAt(2).Width(), 12);

    // A transparent frame with borders is cut down to what it shows.
    std::vector<std::string> bordered = Fill(8, 6, 'B');
    bordered[2] = "BBGGGBBB";
    bordered[3] = "BBBGBBBB";
    const std::string borders = Build("borders", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 10) +
                                                     FrameText(1, 1, bordered, 1, 10, 3));
    EXPECT_TRUE(KeepsTheLook(borders, &image, osCrop));
    const TGIFRect bounds = image->Frames().FrameAt(1).FrameBounds();
    EXPECT_EQ(bounds, (TGIFRect{3, 3, 6, 5}));
    // Restored to the background, the frame clears all of its rectangle
    // after it shows, borders too: it keeps them.
    const std::string restored =
        Build("restored", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'R'), 1, 10) +
                              FrameText(1, 1, bordered, 2, 10, 3) + FrameText(0, 0, Fill(1, 1, 'W'), 1, 10));
    EXPECT_TRUE(KeepsTheLook(restored, &image, osCrop));
    EXPECT_EQ(image->Frames().FrameAt(1).Width(), 8);
}

TEST_F(GifOptimize, CleanupOfOneFrameAndTheRefusedReduction) {
    const std::string single =
        Build("single", std::string(kScreen) + "netscape loop 0\n\ncomment\nsaid nothing\nend\n\n" +
                            FrameText(0, 0, Fill(12, 10, 'G'), 2, 70));
    // One frame needs neither a loop nor a delay (gifdiff would count them).
    auto image = Load(single);
    image->OptimizeFrames(kAllOptimizeSteps, 0, 0, 8);
    EXPECT_EQ(image->Frames().FrameAt(0).Extensions().ItemCount(), 0);
    giftest::WriteFileBytes(single + ".opt.gif", giftest::SaveGif(*image));
    int w = 0, h = 0, w2 = 0, h2 = 0;
    EXPECT_EQ(giftest::ColoursWithGiftopnm(single, &w, &h), giftest::ColoursWithGiftopnm(single + ".opt.gif", &w2, &h2));

    // Transparency that no pixel uses goes; transparency in use stays.
    const std::string unused = Build("unused", std::string(kScreen) + FrameText(0, 0, Fill(12, 10, 'G'), 1, 0, 4) +
                                                   FrameText(0, 0, Fill(12, 10, 'W'), 1, 0, 4));
    EXPECT_TRUE(KeepsTheLook(unused, &image, osCleanup));
    EXPECT_FALSE(image->Frames().FrameAt(0).Transparent());
    EXPECT_TRUE(image->Frames().FrameAt(1).Transparent());

    // The caller's palette is refused after the other steps, and the
    // progress report still ends.
    std::vector<TGIFProgressStage> stages;
    struct Reporting : giftest::TestImage {
        std::vector<TGIFProgressStage>* Stages;
        void ReportProgress(forms::TObject*, TGIFProgressStage stage, int, bool, const std::string&) override {
            Stages->push_back(stage);
        }
    } reporting;
    reporting.Stages = &stages;
    forms::TMemoryStream stream(giftest::ReadFileBytes(unused));
    reporting.LoadFromStream(stream);
    stages.clear();
    try {
        reporting.OptimizeFrames(osMerge | osReduceColours, 9, 0, 8);
        ADD_FAILURE() << "method 9 was accepted";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid reduction method");
    }
    ASSERT_FALSE(stages.empty());
    EXPECT_EQ(stages.back(), TGIFProgressStage::Ending);
    EXPECT_NO_THROW(reporting.OptimizeFrames(osCleanup | osReduceColours, 9, 0, 8));
}

// Animations of gifsicle: disposals, offsets, transparency, delays and
// loop counts, optimised with every step.
TEST_F(GifOptimize, GifsicleAnimationsKeepTheirLook) {
    auto ppm = [&](const std::string& name, int w, int h, int colours, uint32_t seed) {
        const Bytes pixels = giftest::PatternPixels(w, h, colours, seed);
        std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        Bytes bytes(header.begin(), header.end());
        for (uint8_t p : pixels) {
            bytes.push_back(static_cast<uint8_t>(p * 37));
            bytes.push_back(static_cast<uint8_t>(p * 91));
            bytes.push_back(static_cast<uint8_t>(255 - p * 13));
        }
        giftest::WriteFileBytes(m_dir.File(name + ".ppm"), bytes);
        int status = 0;
        giftest::Run("pamtogif '" + m_dir.File(name + ".ppm") + "' > '" + m_dir.File(name + ".gif") + "'", &status);
        EXPECT_EQ(status, 0);
        return m_dir.File(name + ".gif");
    };
    const std::string a = ppm("a", 48, 32, 12, 1), b = ppm("b", 48, 32, 12, 2), c = ppm("c", 20, 10, 6, 3);
    const std::string animations[] = {
        "--loopcount=2 --delay 5 '" + a + "' --delay 7 '" + b + "' --delay 3 '" + a + "'",
        "--loopcount=forever --disposal background --delay 4 '" + a + "' --disposal previous --position 10,5 '" +
            c + "' --disposal none --position 3,20 '" + c + "' --disposal asis '" + b + "'",
        "--no-loopcount --delay 9 --transparent '#0000ff' '" + a + "' '" + b + "' '" + a + "' --delay 0 '" + b + "'",
        "-O2 --loopcount=5 --delay 6 '" + a + "' '" + b + "' '" + a + "' '" + b + "'",
    };
    int n = 0;
    for (const std::string& arguments : animations) {
        const std::string out = m_dir.File("anim" + std::to_string(n++) + ".gif");
        int status = 0;
        const std::string said = giftest::Run("gifsicle " + arguments + " -o '" + out + "' 2>&1", &status);
        ASSERT_EQ(status, 0) << said;
        EXPECT_TRUE(KeepsTheLook(out));
    }
    EXPECT_TRUE(KeepsTheLook(Build("frames", giftest::Run("cat '" +
                                                          giftest::SourcePath("tests/gif/data/frames.txt") + "'"))));
}

// ---- Rendering rows -----------------------------------------------------------------

namespace {

// A frame of its own table: white, black, grey; transparent white.
std::unique_ptr<giftest::TestImage> TwoPixelImage(int transparentIndex, const Bytes& pixels, int width) {
    auto image = std::make_unique<giftest::TestImage>();
    auto frame = std::make_unique<TGIFSubImageCore>(image.get());
    TGIFSubImageCore& f = *frame;
    f.SetWidth(width);
    f.SetHeight(static_cast<int>(pixels.size()) / width);
    f.AllocatePixels();
    std::copy(pixels.begin(), pixels.end(), f.Pixels());
    f.ColourMap().AppendColour(0xFFFFFF);
    f.ColourMap().AppendColour(0x000000);
    f.ColourMap().AppendColour(0x808080);
    if (transparentIndex >= 0) {
        auto gce = std::make_unique<TGIFGraphicControlExtension>(f);
        gce->StoreTransparentIndex(static_cast<uint8_t>(transparentIndex));
        gce->SetTransparent(true);
        f.Extensions().Append(std::move(gce));
    }
    image->Frames().Append(std::move(frame));
    return image;
}

struct Rendered {
    std::vector<Bytes> Rows;
    TGIFMaskBits Mask;
};

Rendered Render(TGIFSubImageCore& frame, bool dithered, bool mask) {
    Rendered out;
    out.Rows.assign(static_cast<size_t>(frame.Height()), Bytes(static_cast<size_t>(frame.Width()), 0xEE));
    RenderFrameRows(
        frame, dithered, [&](int y) { return out.Rows[static_cast<size_t>(y)].data(); }, mask ? &out.Mask : nullptr,
        nullptr);
    return out;
}

}  // namespace

TEST(GifFrameRows, TransparentPixelsAndTheirMask) {
    // White is transparent. Dithered, its pixels hold white's own web-safe
    // index (215), never 216, past the palette.
    auto image = TwoPixelImage(0, {0, 1, 2, 0, 0, 1}, 3);
    TGIFSubImageCore& frame = image->Frames().FrameAt(0);
    const Rendered dithered = Render(frame, true, true);
    EXPECT_EQ(dithered.Rows[0][0], 215);
    EXPECT_EQ(dithered.Rows[0][1], 0);
    EXPECT_EQ(dithered.Rows[1][0], 215);
    EXPECT_EQ(dithered.Rows[1][1], 215);
    EXPECT_EQ(dithered.Mask.Bits, (Bytes{0x80, 0, 0xC0, 0}));
    const Rendered direct = Render(frame, false, true);
    EXPECT_EQ(direct.Rows[0], (Bytes{0, 1, 2}));
    EXPECT_EQ(direct.Rows[1], (Bytes{0, 0, 1}));
    ASSERT_EQ(direct.Mask.RowBytes, 2);
    EXPECT_EQ(direct.Mask.Bits, (Bytes{0x80, 0, 0xC0, 0}));
    EXPECT_TRUE(direct.Mask.AnyTransparent);

    // One transparent pixel: one row of 2 bytes, its bit 0x80.
    auto one = TwoPixelImage(1, {1}, 1);
    const Rendered single = Render(one->Frames().FrameAt(0), false, true);
    EXPECT_EQ(single.Mask.Bits, (Bytes{0x80, 0}));

    // A transparent index no pixel uses makes no mask.
    auto unused = TwoPixelImage(2, {0, 1}, 2);
    EXPECT_FALSE(Render(unused->Frames().FrameAt(0), false, true).Mask.AnyTransparent);
    EXPECT_FALSE(Render(unused->Frames().FrameAt(0), true, true).Mask.AnyTransparent);
}
