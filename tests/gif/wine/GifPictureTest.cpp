// The GIF picture class under Wine, in memory bitmaps and message-only
// windows (no window of its own): the picture registry and the clipboard,
// loading, drawing and saving checked against giflib, the rendering of
// every disposal method against ImageMagick's composited frames, imports
// of bitmaps and icons, and drawing through masks.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/forms/Icons.h"
#include "framework/forms/Palettes.h"
#include "gif/GifExtensions.h"
#include "gif/GifPainter.h"
#include "gif/GifPicture.h"
#include "tests/gif/wine/GifWineUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;
using namespace gif;
using gifwine::Bytes;
using gifwine::Rgb;

namespace {

template <class E, class F>
std::string Raises(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing raised)";
}

std::string MustRun(const std::string& command) {
    int status = 0;
    const std::string out = giftest::Run("{ " + command + "; } 2>&1", &status);
    if (status != 0) throw std::runtime_error(command + ": " + out);
    return out;
}

// A gifbuild text of a 24 x 16 screen over a map of six colours.
std::string Screen(int background = 0) {
    return "screen width 24\nscreen height 16\nscreen background " + std::to_string(background) +
           "\nscreen map\n"
           "\trgb 000 000 000 is .\n\trgb 255 000 000 is R\n\trgb 000 255 000 is G\n"
           "\trgb 000 000 255 is B\n\trgb 255 255 255 is W\n\trgb 255 000 255 is M\nend\n\n";
}

std::string Frame(int left, int top, int w, int h, const std::string& pattern, int disposal, int delay,
                  int transparent = -1) {
    std::string text = "graphics control\n\tdisposal mode " + std::to_string(disposal) +
                       "\n\tuser input flag off\n\tdelay " + std::to_string(delay) + "\n\ttransparent index " +
                       std::to_string(transparent) + "\nend\n\nimage\nimage left " + std::to_string(left) +
                       "\nimage top " + std::to_string(top) + "\nimage bits " + std::to_string(w) + " by " +
                       std::to_string(h) + "\n";
    for (int y = 0; y < h; ++y) {
        std::string row;
        for (int x = 0; x < w; ++x) row += pattern[static_cast<size_t>((x + 2 * y) % pattern.size())];
        text += row + "\n";
    }
    return text + "\n";
}

std::string BuildGif(const giftest::TempDir& dir, const std::string& name, const std::string& text) {
    const std::string source = dir.File(name + ".txt"), out = dir.File(name + ".gif");
    giftest::WriteFileBytes(source, Bytes(text.begin(), text.end()));
    MustRun("gifbuild '" + source + "' > '" + out + "'");
    return out;
}

// Every disposal method, offsets, transparency, a restore of a restore.
std::string DisposalAnimation(const giftest::TempDir& dir) {
    return BuildGif(dir, "disposals",
                    Screen() + "netscape loop 1\n\n" + Frame(0, 0, 24, 16, "B", 1, 2) +
                        Frame(2, 2, 12, 8, "RW", 2, 2) + Frame(6, 4, 10, 9, "GM", 3, 2, 5) +
                        Frame(1, 9, 8, 6, "W.M", 0, 2, 5) + Frame(14, 1, 9, 7, "RG", 3, 2) +
                        Frame(12, 6, 8, 8, "MMG", 2, 2, 5) + Frame(0, 0, 5, 5, "W", 1, 2));
}

Bytes FrameExtensionBytes(TGIFSubImage& frame) {
    TMemoryStream stream;
    frame.Extensions().SaveToStream(stream);
    return stream.Bytes();
}

// Plays the picture onto a memory bitmap of the screen's size filled with
// `backdrop`, and keeps what it shows after each frame.
std::vector<Bytes> PlayFrames(TGIFImage& picture, Rgb backdrop, bool threaded) {
    auto target = gifwine::SolidBitmap(picture.Width(), picture.Height(), backdrop);
    std::vector<Bytes> shown;
    picture.PaintOptions = poTransparent | poAnimate | poPaintOnCanvas | (threaded ? poThreaded : 0);
    picture.AnimationRate = 2000;
    bool ended = false;
    picture.OnPaintFrameDone = [&](TObject*) { shown.push_back(gifwine::PixelsOf(*target)); };
    picture.OnPaintEnd = [&](TObject*) { ended = true; };
    picture.Draw(target->Canvas(), RECT{0, 0, picture.Width(), picture.Height()});
    if (threaded) CHECK(gifwine::PumpUntil([&] { return ended; }, 10000));
    picture.StopPainting();
    return shown;
}

}  // namespace

WT_TEST(GifRegistry, GifFilesAndTheClipboardFormatMakeGifPictures) {
    giftest::TempDir dir;
    const std::string path = BuildGif(dir, "x", Screen() + Frame(0, 0, 24, 16, "RGB", 1, 0));
    {
        TGIFImageRegistration outer;
        TGIFImageRegistration inner;  // counted: the outer one still holds
        CHECK(GIFClipboardFormat != 0);
        CHECK(TPicture::SupportsClipboardFormat(GIFClipboardFormat));
        CHECK(TPicture::GraphicFilter().find(u"GIF Image (*.gif)|*.gif") != String::npos);
        TPicture picture;
        picture.LoadFromFile(gifwine::WinePath(path));
        auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
        REQUIRE(gif != nullptr);
        CHECK_EQ(gif->FrameCount(), 1);
        CHECK_EQ(picture.Width(), 24);
        // A stored picture names its class; reading it makes the class again.
        TMemoryStream stored;
        picture.WriteData(stored);
        stored.SetPosition(0);
        TPicture back;
        back.ReadData(stored);
        CHECK(dynamic_cast<TGIFImage*>(back.Graphic()) != nullptr);
    }
    TPicture picture;
    CHECK_EQ(Raises<EInvalidGraphic>([&] { picture.LoadFromFile(gifwine::WinePath(path)); }),
             std::string("Unknown picture file extension (.gif)"));
    CHECK(!TPicture::SupportsClipboardFormat(GIFClipboardFormat));
    CHECK(TPicture::GraphicFilter().find(u"GIF") == String::npos);
}

WT_TEST(GifPicture, LoadDrawSaveAndLoadAgain) {
    giftest::TempDir dir;
    for (int i = 0; i < 2; ++i) {
        const Bytes pixels = giftest::PatternPixels(40, 30, 20, 5 + i);
        std::string ppm = "P6\n40 30\n255\n";
        for (uint8_t p : pixels)
            ppm += {static_cast<char>(p * 12), static_cast<char>(255 - p * 9), static_cast<char>(p * 5 + i)};
        const std::string name = dir.File("f" + std::to_string(i));
        giftest::WriteFileBytes(name + ".ppm", Bytes(ppm.begin(), ppm.end()));
        MustRun("pamtogif " + name + ".ppm > " + name + ".gif");
    }
    const std::string path = dir.File("anim.gif");
    // Index 1 of the second frame, (12, 246, 6), is transparent.
    MustRun("gifsicle --loopcount=4 --comment 'two frames' --delay 7 --disposal background " + dir.File("f0.gif") +
            " --delay 12 --disposal previous --transparent '#0cf606' --interlace " + dir.File("f1.gif") + " -o " +
            path);
    const Bytes original = giftest::ReadFileBytes(path);
    const giftest::RefGif reference = giftest::SlurpWithGiflib(original);
    REQUIRE(reference.Ok && reference.Frames.size() == 2);
    auto picture = gifwine::LoadPicture(original);
    REQUIRE(picture->FrameCount() == 2);

    // The first frame drawn into a memory bitmap shows giflib's colours.
    picture->PaintOptions = poTransparent;
    auto canvas = gifwine::SolidBitmap(40, 30, Rgb{1, 2, 3});
    picture->Draw(canvas->Canvas(), RECT{0, 0, 40, 30});
    const giftest::RefFrame& first = reference.Frames[0];
    const Bytes& map = first.LocalMap.empty() ? reference.GlobalMap : first.LocalMap;
    int wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const int index = first.Pixels[static_cast<size_t>(y) * 40 + x];
            const Rgb expected{map[3 * index], map[3 * index + 1], map[3 * index + 2]};
            if (gifwine::PixelOf(*canvas, x, y) != expected) ++wrong;
        }
    CHECK_EQ(wrong, 0);

    const Bytes saved = gifwine::SavePicture(*picture);
    auto again = gifwine::LoadPicture(saved);
    REQUIRE(again->FrameCount() == 2);
    for (int i = 0; i < 2; ++i) {
        TGIFSubImage& a = picture->Frame(i);
        TGIFSubImage& b = again->Frame(i);
        CHECK(a.FrameBounds() == b.FrameBounds());
        CHECK(Bytes(a.Pixels(), a.Pixels() + a.PixelCount()) == Bytes(b.Pixels(), b.Pixels() + b.PixelCount()));
        CHECK(FrameExtensionBytes(a) == FrameExtensionBytes(b));
    }
    // giflib reads every frame of what was saved as it read the original.
    const giftest::RefGif back = giftest::SlurpWithGiflib(saved);
    REQUIRE(back.Ok && back.Frames.size() == 2);
    for (size_t i = 0; i < 2; ++i) {
        CHECK(back.Frames[i].Pixels == reference.Frames[i].Pixels);
        CHECK_EQ(back.Frames[i].Delay, reference.Frames[i].Delay);
        CHECK_EQ(back.Frames[i].Disposal, reference.Frames[i].Disposal);
        CHECK_EQ(back.Frames[i].Transparent, reference.Frames[i].Transparent);
    }
    CHECK_EQ(back.LoopCount, 4);
    CHECK(back.Comments == reference.Comments);
}

// Frame by frame, the painter shows what ImageMagick composites, for every
// disposal method (restored areas show the backdrop under the picture).
WT_TEST(GifPicture, DisposalsPaintAsImageMagickComposites) {
    giftest::TempDir dir;
    const Rgb backdrop{0xC0, 0xC0, 0xC0};
    std::vector<std::string> files = {DisposalAnimation(dir)};
    // ImageMagick starts from the background colour, and restores to
    // transparent: a first frame over the whole screen leaves no doubt.
    const std::string full = BuildGif(dir, "full", Screen() + Frame(0, 0, 24, 16, "BW", 1, 0));
    const std::string a = BuildGif(dir, "a", Screen() + Frame(0, 0, 10, 8, "RGB", 1, 0));
    const std::string b = BuildGif(dir, "b", Screen() + Frame(0, 0, 7, 5, "WM.", 1, 0, 5));
    files.push_back(dir.File("gifsicle.gif"));
    MustRun("gifsicle --no-loopcount " + full + " --disposal previous --position 3,3 " + a +
            " --disposal background --position 9,6 " + b + " --disposal asis --position 1,8 " + a +
            " --disposal none --position 14,2 " + b + " -o " + files.back());
    for (const std::string& file : files) {
        int w = 0, h = 0;
        const std::vector<Bytes> expected = gifwine::CoalescedFrames(file, backdrop, &w, &h);
        for (bool threaded : {false, true}) {
            auto picture = gifwine::LoadPicture(giftest::ReadFileBytes(file));
            CHECK_EQ(picture->Width(), w);
            const std::vector<Bytes> shown = PlayFrames(*picture, backdrop, threaded);
            CHECK_EQ(shown.size(), expected.size());
            for (size_t i = 0; i < shown.size() && i < expected.size(); ++i) {
                if (shown[i] == expected[i]) continue;
                size_t at = 0;
                while (shown[i][at] == expected[i][at]) ++at;
                wt::ReportFailure(__FILE__, __LINE__,
                                  file + (threaded ? " threaded" : "") + ": frame " + std::to_string(i) +
                                      " differs first at pixel " + std::to_string(at / 3));
            }
        }
    }
}

WT_TEST(GifPicture, ClipboardRoundTrip) {
    TGIFImageRegistration registration;
    giftest::TempDir dir;
    auto picture = gifwine::LoadPicture(giftest::ReadFileBytes(DisposalAnimation(dir)));
    REQUIRE(OpenClipboard(nullptr));
    EmptyClipboard();
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    picture->SaveToClipboardFormat(format, data, palette);
    CHECK_EQ(format, static_cast<UINT>(CF_DIB));
    CHECK(SetClipboardData(format, data) != nullptr);
    CloseClipboard();

    REQUIRE(OpenClipboard(nullptr));
    CHECK(IsClipboardFormatAvailable(GIFClipboardFormat));
    TPicture pasted;
    pasted.LoadFromClipboardFormat(GIFClipboardFormat, nullptr, nullptr);
    CloseClipboard();
    auto* gif = dynamic_cast<TGIFImage*>(pasted.Graphic());
    REQUIRE(gif != nullptr);
    CHECK(gifwine::SavePicture(*gif) == gifwine::SavePicture(*picture));
    CHECK_EQ(Raises<EInvalidGraphic>([&] { gif->LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr); }),
             std::string("Unsupported clipboard format"));
}

WT_TEST(GifImport, BitmapsBecomeFrames) {
    // 300 distinct colours kept as they are overflow the table.
    TGIFImage picture;
    picture.ColourReduction = 0;
    auto many = gifwine::SolidBitmap(30, 10, Rgb{});
    for (int i = 0; i < 300; ++i) {
        auto* row = static_cast<uint8_t*>(many->ScanLine(i / 30));
        row[3 * (i % 30)] = static_cast<uint8_t>(i);
        row[3 * (i % 30) + 1] = static_cast<uint8_t>(i >> 8);
    }
    CHECK_EQ(Raises<GIFException>([&] { picture.AddFrame(*many); }), std::string("Color table overflow"));
    CHECK_EQ(picture.FrameCount(), 0);
    // The web-safe default reduces them.
    picture.ColourReduction = 6;
    CHECK_EQ(picture.AddFrame(*many), 0);
    CHECK(picture.Frame(0).ColourMap().EntryCount() <= 216);
    CHECK_EQ(many->BitsPerPixel(), 24);  // the source stays as it was

    // An 8-bit bitmap keeps its palette and indices.
    TBitmap eight(6, 4, TPixelFormat::pf8bit);
    std::vector<RGBQUAD> table;
    for (int i = 0; i < 16; ++i)
        table.push_back(RGBQUAD{static_cast<BYTE>(i * 16), 0, static_cast<BYTE>(255 - i), 0});
    eight.SetColorTable(table);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            static_cast<uint8_t*>(eight.ScanLine(y))[x] = static_cast<uint8_t>((x + y * 6) % 16);
    TGIFImage still;
    still.AddFrame(eight);
    TGIFSubImage& frame = still.Frame(0);
    CHECK_EQ(frame.ColourMap().EntryCount(), 16);
    CHECK_EQ(frame.ColourMap().Entries()[3 * 5 + 2], 80);  // blue of entry 5
    CHECK_EQ(frame.PixelAt(5, 3), 7);
    CHECK_EQ(still.Width(), 6);

    // A transparent bitmap gives a transparent frame...
    auto keyed = gifwine::SolidBitmap(8, 8, Rgb{255, 0, 255});
    for (int x = 2; x < 6; ++x) static_cast<uint8_t*>(keyed->ScanLine(3))[3 * x + 1] = 200;
    keyed->SetTransparent(true);
    keyed->SetTransparentColor(0xFF00FF);
    TGIFImage masked;
    masked.ColourReduction = 0;  // the colours as they are
    masked.AddFrame(*keyed);
    TGIFSubImage& m = masked.Frame(0);
    REQUIRE(m.Transparent());
    CHECK_EQ(m.PixelAt(0, 0), m.TransparentIndex());
    CHECK(m.PixelAt(3, 3) != m.TransparentIndex());
    // ...drawn, its transparent pixels leave the destination, stretched or not.
    for (int scale : {1, 3}) {
        auto target = gifwine::SolidBitmap(8 * scale, 8 * scale, Rgb{10, 20, 30});
        m.DrawFrame(target->Canvas(), RECT{0, 0, 8 * scale, 8 * scale}, true, false);
        CHECK(gifwine::PixelOf(*target, 0, 0) == (Rgb{10, 20, 30}));
        CHECK(gifwine::PixelOf(*target, 3 * scale, 3 * scale) == (Rgb{255, 200, 255}));
    }
    // A table of 256 colours has no room for a transparent one.
    TBitmap full(16, 16, TPixelFormat::pf8bit);
    std::vector<RGBQUAD> colours;
    for (int i = 0; i < 256; ++i) colours.push_back(RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), 0, 0});
    full.SetColorTable(colours);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) static_cast<uint8_t*>(full.ScanLine(y))[x] = static_cast<uint8_t>(y * 16 + x);
    full.SetTransparent(true);
    TGIFImage crowded;
    crowded.AddFrame(full);
    CHECK(!crowded.Frame(0).Transparent());

    // What is not a picture is refused.
    TStream* notAPicture = new TMemoryStream();
    CHECK_EQ(Raises<GIFException>([&] { picture.AddFrame(*notAPicture); }),
             std::string("Object type not supported for operation"));
    delete notAPicture;
    // No frame needs GIF89a: the file says 87a.
    const Bytes saved = gifwine::SavePicture(still);
    CHECK_EQ(std::string(saved.begin(), saved.begin() + 6), std::string("GIF87a"));
}

WT_TEST(GifImport, IconsBringTheirMask) {
    // A 16 x 16 icon: a red square inside a transparent border.
    auto colour = gifwine::SolidBitmap(16, 16, Rgb{255, 0, 0});
    TBitmap mask(16, 16, TPixelFormat::pf1bit);
    for (int y = 0; y < 16; ++y) {
        auto* row = static_cast<uint8_t*>(mask.ScanLine(y));
        row[0] = row[1] = (y < 4 || y >= 12) ? 0xFF : 0;
        if (y >= 4 && y < 12) {
            row[0] = 0xF0;
            row[1] = 0x0F;
        }
    }
    // Monochrome device bitmaps, as icons keep their masks.
    const HBITMAP maskBitmap = CreateBitmap(16, 16, 1, 1, nullptr);
    {
        const HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
        const HGDIOBJ oldFrom = SelectObject(from, mask.Handle()), oldTo = SelectObject(to, maskBitmap);
        BitBlt(to, 0, 0, 16, 16, from, 0, 0, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
        DeleteDC(from);
        DeleteDC(to);
    }
    ICONINFO info{TRUE, 0, 0, maskBitmap, colour->Handle()};
    TIcon icon;
    icon.SetHandle(CreateIconIndirect(&info));
    DeleteObject(maskBitmap);
    REQUIRE(!icon.Empty());
    CHECK_EQ(icon.Width(), 16);
    TGIFImage picture;
    picture.AddFrame(icon);
    TGIFSubImage& frame = picture.Frame(0);
    REQUIRE(frame.Transparent());
    CHECK_EQ(frame.PixelAt(0, 0), frame.TransparentIndex());
    CHECK(frame.PixelAt(8, 8) != frame.TransparentIndex());
    auto target = gifwine::SolidBitmap(16, 16, Rgb{0, 0, 255});
    frame.DrawFrame(target->Canvas(), RECT{0, 0, 16, 16}, true, false);
    CHECK(gifwine::PixelOf(*target, 1, 1) == (Rgb{0, 0, 255}));
    CHECK(gifwine::PixelOf(*target, 8, 8) == (Rgb{255, 0, 0}));

    // An icon file of ImageMagick's.
    giftest::TempDir dir;
    MustRun("convert-im6.q16 -size 24x24 xc:lime " + dir.File("lime.ico"));
    TIcon file;
    TMemoryStream data(giftest::ReadFileBytes(dir.File("lime.ico")));
    file.LoadFromStream(data);
    CHECK_EQ(file.Width(), 24);
    CHECK_EQ(file.Height(), 24);
    TGIFImage fromFile;
    fromFile.AddFrame(file);
    CHECK_EQ(fromFile.Width(), 24);
    auto drawn = gifwine::SolidBitmap(24, 24, Rgb{});
    fromFile.Draw(drawn->Canvas(), RECT{0, 0, 24, 24});
    CHECK(gifwine::PixelOf(*drawn, 12, 12) == (Rgb{0, 255, 0}));
    TMemoryStream saved;
    file.SaveToStream(saved);
    CHECK(saved.Bytes() == giftest::ReadFileBytes(dir.File("lime.ico")));
}

WT_TEST(GifPicture, PlacingFramesAndTheScreenSize) {
    TGIFImage picture;
    std::vector<std::string> warnings;
    picture.OnGIFWarning = [&](TObject*, uint8_t, const std::string& text) { warnings.push_back(text); };
    picture.AddFrame(*gifwine::SolidBitmap(100, 20, Rgb{1, 1, 1}));
    CHECK(warnings.empty());  // an empty picture grows without a word
    CHECK_EQ(picture.Width(), 100);
    auto frame = std::make_unique<TGIFSubImage>(&picture);
    frame->PlaceFrame(90, 0, 20, 5);
    CHECK_EQ(picture.Width(), 110);
    CHECK(warnings == (std::vector<std::string>{"Image width too small for contained frames",
                                                "Image exceeds Logical Screen size"}));
    picture.AddFrame(std::move(frame));
    CHECK_EQ(Raises<GIFException>([&] { picture.SetWidth(105); }),
             std::string("Image width too small for contained frames"));
    CHECK_EQ(picture.Width(), 110);
    CHECK_EQ(Raises<GIFException>([&] { picture.SetHeight(19); }),
             std::string("Image height too small for contained frames"));
    picture.SetWidth(120);
    CHECK_EQ(picture.Width(), 120);
}

WT_TEST(GifPicture, TilingAScreenOfNoSizeDrawsOnce) {
    giftest::TempDir dir;
    auto picture = gifwine::LoadPicture(giftest::ReadFileBytes(DisposalAnimation(dir)));
    picture->Header().SetWidth(0);
    picture->Header().SetHeight(0);
    auto target = gifwine::SolidBitmap(50, 40, Rgb{});
    gifwine::Watchdog watchdog(10000, "tiling a screen of no size");
    picture->Frame(0).DrawFrame(target->Canvas(), RECT{0, 0, 50, 40}, true, true);
    picture->Frame(2).DrawFrame(target->Canvas(), RECT{0, 0, 50, 40}, true, true);
    picture->PaintOptions = poTile | poTransparent;
    picture->Draw(target->Canvas(), RECT{0, 0, 50, 40});
    CHECK(gifwine::PixelOf(*target, 0, 0) == (Rgb{0, 0, 255}));
}

WT_TEST(GifPicture, DitheredRenderingAndPalettes) {
    giftest::TempDir dir;
    // White is transparent; dithered it renders as web-safe white (215).
    const std::string path = BuildGif(dir, "white", Screen() + Frame(0, 0, 24, 16, "WR", 1, 0, 4));
    auto picture = gifwine::LoadPicture(giftest::ReadFileBytes(path));
    picture->PaintOptions = poDither | poTransparent;
    CHECK(picture->RendersDithered());
    TBitmap* rendering = picture->Frame(0).Rendering();
    REQUIRE(rendering != nullptr && rendering->BitsPerPixel() == 8);
    CHECK_EQ(static_cast<const uint8_t*>(rendering->ScanLine(0))[0], 215);
    CHECK_EQ(PaletteEntries(picture->Frame(0).FramePalette()).size(), 216u);

    // With automatic dithering the web-safe palette is for palette displays only.
    const bool display = PaletteDisplay;
    for (bool palettes : {false, true}) {
        PaletteDisplay = palettes;
        auto fresh = gifwine::LoadPicture(giftest::ReadFileBytes(path));
        CHECK_EQ(fresh->PaintOptions & (poDither | poAutoDither), poDither | poAutoDither);
        const size_t global = static_cast<size_t>(fresh->GlobalColourTable().EntryCount());
        CHECK_EQ(PaletteEntries(fresh->Palette()).size(), palettes ? 216u : global);
    }
    PaletteDisplay = display;

    // A picture with no colour table anywhere cannot answer a palette.
    TGIFImage bare;
    auto frame = std::make_unique<TGIFSubImage>(&bare);
    frame->PlaceFrame(0, 0, 2, 2);
    bare.AddFrame(std::move(frame));
    bare.PaintOptions = 0;
    CHECK_EQ(Raises<GIFException>([&] { bare.Palette(); }), std::string("No global or local color table defined"));
}

WT_TEST(GifPicture, AssigningPictures) {
    giftest::TempDir dir;
    auto source = gifwine::LoadPicture(giftest::ReadFileBytes(DisposalAnimation(dir)));
    int progress = 0;
    source->OnProgress = [&](TObject*, TProgressStage, int, bool, const RECT&, const String&) { ++progress; };
    source->OnGIFWarning = [](TObject*, uint8_t, const std::string&) {};
    source->PaintOptions = poTile | poTransparent;
    TGIFImage copy;
    copy.Assign(*source);
    CHECK(progress > 0);  // the copy reported to the source's handler
    CHECK(!copy.OnProgress && !copy.OnGIFWarning);
    CHECK_EQ(copy.PaintOptions, poTile | poTransparent);
    CHECK(gifwine::SavePicture(copy) == gifwine::SavePicture(*source));
    CHECK(copy.Equals(copy) && !copy.Equals(*source));

    // To a bitmap: the first frame over the whole screen.
    TBitmap bitmap;
    bitmap.Assign(static_cast<const TGraphic&>(copy));
    CHECK_EQ(bitmap.Width(), 24);
    CHECK(gifwine::PixelOf(bitmap, 23, 15) == (Rgb{0, 0, 255}));
    // From a bitmap: one frame.
    TGIFImage fromBitmap;
    fromBitmap.Assign(bitmap);
    CHECK_EQ(fromBitmap.FrameCount(), 1);
    // One frame never starts a painter, whatever the options say.
    fromBitmap.PaintOptions = DefaultPaintOptions;
    bool started = false;
    fromBitmap.OnPaintStart = [&](TObject*) { started = true; };
    auto target = gifwine::SolidBitmap(24, 16, Rgb{});
    fromBitmap.Draw(target->Canvas(), RECT{0, 0, 24, 16});
    CHECK(!started && fromBitmap.OwnPainter() == nullptr);
    CHECK(gifwine::PixelOf(*target, 5, 5) == (Rgb{0, 0, 255}));
}
