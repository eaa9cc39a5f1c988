// Files made by independent encoders (gifbuild from the text files beside
// these tests, netpbm's pamtogif, gifsicle animations): read to the
// indices giflib and `gifbuild -d` give, saved back into files that
// giflib and gifsicle read to the same frames, indices and extensions;
// and cut or scribbled on, read without a crash.
#include <gtest/gtest.h>

#include <sstream>

#include "gif/GifExtensions.h"
#include "tests/gif/native/GifTestUtil.h"

using namespace gif;
using giftest::Bytes;

namespace {

struct Reference {
    std::string Name;
    std::string Path;
};

Bytes Ppm(int w, int h, const Bytes& indices, int shift = 0) {
    std::ostringstream header;
    header << "P6\n" << w << " " << h << "\n255\n";
    const std::string head = header.str();
    Bytes out(head.begin(), head.end());
    for (uint8_t i : indices) {
        const int c = (i + shift) & 255;
        out.push_back(static_cast<uint8_t>(c * 37));
        out.push_back(static_cast<uint8_t>(c * 91));
        out.push_back(static_cast<uint8_t>(c * 13));
    }
    return out;
}

void MustRun(const std::string& command) {
    int status = 0;
    giftest::Run(command + " 2>/dev/null", &status);
    if (status != 0) throw std::runtime_error("failed: " + command);
}

class GifReference : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        s_dir = new giftest::TempDir();
        s_files = new std::vector<Reference>();
        const giftest::TempDir& d = *s_dir;
        auto add = [](const std::string& name) { s_files->push_back({name, s_dir->File(name + ".gif")}); };
        for (const char* text : {"frames", "texts"}) {
            MustRun("gifbuild " + giftest::SourcePath(std::string("tests/gif/data/") + text + ".txt") + " > " +
                    d.File(std::string(text) + ".gif"));
            add(text);
        }
        giftest::WriteFileBytes(d.File("small.ppm"), Ppm(57, 31, giftest::PatternPixels(57, 31, 40, 1)));
        giftest::WriteFileBytes(d.File("full.ppm"), Ppm(301, 203, giftest::PatternPixels(301, 203, 256, 2)));
        const std::string transparent = "rgb:b9/cd/41";  // index 5 of the ramp
        const std::pair<const char*, std::string> variants[] = {
            {"plain", ""}, {"interlace", "-interlace"}, {"nolzw", "-nolzw"},
            {"transparent", "-transparent=" + transparent}, {"sort", "-sort"}};
        for (const char* input : {"small", "full"}) {
            for (const auto& [name, option] : variants) {
                const std::string out = std::string(input) + "_" + name;
                MustRun("pamtogif " + option + " " + d.File(std::string(input) + ".ppm") + " > " + d.File(out + ".gif"));
                add(out);
            }
        }
        for (int i = 0; i < 3; ++i) {
            const std::string n = "frame" + std::to_string(i);
            giftest::WriteFileBytes(d.File(n + ".ppm"), Ppm(64, 48, giftest::PatternPixels(64, 48, 24, 10 + i), i * 3));
            MustRun("pamtogif " + d.File(n + ".ppm") + " > " + d.File(n + ".gif"));
        }
        const std::string f0 = d.File("frame0.gif"), f1 = d.File("frame1.gif"), f2 = d.File("frame2.gif");
        MustRun("gifsicle --loopcount=3 --delay 10 --disposal background " + f0 + " --delay 50 --disposal previous " +
                f1 + " --delay 7 --disposal none " + f2 + " -o " + d.File("anim.gif"));
        add("anim");
        MustRun("gifsicle -O2 --loopcount=forever --delay 4 " + f0 + " " + f1 + " " + f2 + " " + f0 + " -o " +
                d.File("anim_optimised.gif"));
        add("anim_optimised");
        MustRun("gifsicle --no-loopcount --interlace --comment 'made by gifsicle' --delay 3 --disposal asis " + f2 +
                " " + f0 + " -o " + d.File("anim_interlaced.gif"));
        add("anim_interlaced");
    }
    static void TearDownTestSuite() {
        delete s_files;
        delete s_dir;
    }

protected:
    static giftest::TempDir* s_dir;
    static std::vector<Reference>* s_files;
};

giftest::TempDir* GifReference::s_dir = nullptr;
std::vector<Reference>* GifReference::s_files = nullptr;

Bytes TableBytes(TGIFColorMap& map) { return Bytes(map.Entries(), map.Entries() + 3 * map.EntryCount()); }

// Compares a loaded picture with giflib's view of a file.
void ExpectSameAsGiflib(TGIFImageCore& image, const giftest::RefGif& ref, const std::string& what) {
    ASSERT_TRUE(ref.Ok) << what;
    EXPECT_EQ(image.ScreenWidth(), ref.Width) << what;
    EXPECT_EQ(image.ScreenHeight(), ref.Height) << what;
    EXPECT_EQ(image.Header().BackgroundIndex(), ref.Background) << what;
    EXPECT_EQ(image.Header().AspectRatio(), ref.Aspect) << what;
    EXPECT_EQ(TableBytes(image.GlobalColourTable()), ref.GlobalMap) << what;
    std::vector<TGIFSubImageCore*> frames;
    int loops = -1;
    std::vector<std::string> comments;
    for (int i = 0; i < image.Frames().ItemCount(); ++i) {
        TGIFSubImageCore& f = image.Frames().FrameAt(i);
        for (int e = 0; e < f.Extensions().ItemCount(); ++e) {
            TGIFExtension& ext = f.Extensions().ExtensionAt(e);
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&ext)) loops = loop->Loops();
            if (auto* comment = dynamic_cast<TGIFCommentExtension*>(&ext)) {
                std::string joined;
                for (const std::string& s : comment->Comment()) joined += s;
                comments.push_back(joined);
            }
        }
        if (!f.IsEmpty()) frames.push_back(&f);
    }
    EXPECT_EQ(loops, ref.LoopCount) << what;
    EXPECT_EQ(comments, ref.Comments) << what;
    ASSERT_EQ(frames.size(), ref.Frames.size()) << what;
    for (size_t i = 0; i < frames.size(); ++i) {
        TGIFSubImageCore& f = *frames[i];
        const giftest::RefFrame& r = ref.Frames[i];
        const std::string at = what + " frame " + std::to_string(i);
        EXPECT_EQ(f.Left(), r.Left) << at;
        EXPECT_EQ(f.Top(), r.Top) << at;
        EXPECT_EQ(f.Width(), r.Width) << at;
        EXPECT_EQ(f.Height(), r.Height) << at;
        EXPECT_EQ(f.Interlaced(), r.Interlaced) << at;
        EXPECT_EQ(TableBytes(f.ColourMap()), r.LocalMap) << at;
        EXPECT_TRUE(Bytes(f.Pixels(), f.Pixels() + f.PixelCount()) == r.Pixels) << at;
        const TGIFGraphicControlExtension* gce = f.ControlExtension();
        EXPECT_EQ(gce ? gce->DisposalMethod() : -1, r.Disposal) << at;
        EXPECT_EQ(gce ? gce->Delay() : -1, r.Delay) << at;
        EXPECT_EQ(f.TransparentIndex(), r.Transparent) << at;
    }
}

// What gifsicle and giftext say of a file's structure, without the parts
// that name the file or that writers may choose freely (the colour
// resolution field).
std::string Structure(const std::string& path) {
    std::string info = giftest::Run("gifsicle -I '" + path + "' 2>&1");
    info = info.substr(info.find('\n') + 1);
    const std::string text = giftest::Run("giftext '" + path + "' 2>&1");
    std::string kept;
    std::istringstream lines(text);
    std::string line;
    static const char* const keep[] = {"Disposal Mode", "User Input Flag", "Transparency on", "DelayTime",
                                       "Transparent Index", "Interlaced", "Color Map", "BackGround", "Ext Code"};
    while (std::getline(lines, line)) {
        for (const char* k : keep) {
            if (line.find(k) == std::string::npos) continue;
            const size_t resolution = line.find("ColorResolution = ");
            if (resolution != std::string::npos) line.erase(resolution, line.find(", ", resolution) + 2 - resolution);
            kept += line + "\n";
            break;
        }
    }
    return info + kept;
}

}  // namespace

TEST_F(GifReference, DecodesAsGiflibAndGifbuild) {
    for (const Reference& r : *s_files) {
        const Bytes bytes = giftest::ReadFileBytes(r.Path);
        std::string error;
        auto image = giftest::LoadGif(bytes, &error);
        ASSERT_EQ(error, "") << r.Name;
        EXPECT_TRUE(image->Warnings.empty()) << r.Name << ": " << image->Warnings.front();
        ExpectSameAsGiflib(*image, giftest::SlurpWithGiflib(bytes), r.Name);
        const std::vector<giftest::RefFrame> dump = giftest::DumpWithGifbuild(r.Path);
        int n = 0;
        for (int i = 0; i < image->Frames().ItemCount(); ++i) {
            TGIFSubImageCore& f = image->Frames().FrameAt(i);
            if (f.IsEmpty()) continue;
            ASSERT_LT(n, static_cast<int>(dump.size())) << r.Name;
            EXPECT_TRUE(Bytes(f.Pixels(), f.Pixels() + f.PixelCount()) == dump[static_cast<size_t>(n)].Pixels)
                << r.Name << " frame " << i;
            ++n;
        }
        EXPECT_EQ(n, static_cast<int>(dump.size())) << r.Name;
    }
}

TEST_F(GifReference, SavedFilesReadBackAlike) {
    for (const Reference& r : *s_files) {
        const std::string structure = Structure(r.Path);
        for (uint8_t encoder : {kEncoderLZW, kEncoderRLE}) {
            const std::string what = r.Name + (encoder == kEncoderRLE ? " (run-length)" : " (LZW)");
            const Bytes original = giftest::ReadFileBytes(r.Path);
            auto image = giftest::LoadGif(original);
            image->EncoderKind = encoder;
            const Bytes saved = giftest::SaveGif(*image);
            ExpectSameAsGiflib(*image, giftest::SlurpWithGiflib(saved), what);
            const std::string out = s_dir->File("saved.gif");
            giftest::WriteFileBytes(out, saved);
            EXPECT_EQ(Structure(out), structure) << what;
            // And ours again: the same blocks.
            auto again = giftest::LoadGif(saved);
            again->EncoderKind = encoder;
            EXPECT_TRUE(again->Warnings.empty()) << what;
            EXPECT_EQ(giftest::SaveGif(*again), saved) << what;
        }
    }
}

// Every file cut short at many places, and scribbled on: a warning or an
// error, never a crash (the sanitizer build watches memory).
TEST_F(GifReference, CutAndScribbledFiles) {
    int errors = 0, warned = 0, runs = 0;
    for (const Reference& r : *s_files) {
        const Bytes bytes = giftest::ReadFileBytes(r.Path);
        const size_t step = std::max<size_t>(1, bytes.size() / 300);
        for (size_t n = 0; n < bytes.size(); n += step) {
            std::string error;
            auto image = giftest::LoadGif(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), &error);
            ++runs;
            if (!error.empty()) {
                ++errors;
                EXPECT_TRUE(image->Empty()) << r.Name << " cut at " << n;
            } else if (!image->Warnings.empty()) {
                ++warned;
            }
        }
        giftest::Random random(static_cast<uint32_t>(bytes.size()));
        for (int i = 0; i < 200; ++i) {
            Bytes scribbled = bytes;
            for (int k = 0; k < 1 + random.Below(4); ++k)
                scribbled[static_cast<size_t>(random.Below(static_cast<int>(scribbled.size())))] =
                    static_cast<uint8_t>(random.Next());
            std::string error;
            auto image = giftest::LoadGif(scribbled, &error);
            ++runs;
            if (!error.empty()) continue;
            try {
                giftest::SaveGif(*image);  // what loads, saves, or says why not
            } catch (const GIFException&) {
            }
        }
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(warned, 0);
    EXPECT_GT(runs, 1000);
}
