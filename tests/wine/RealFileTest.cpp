// Conversions of files made by the ffmpeg command line (odd 16:9 frame
// sizes, with and without sound), read back with FFmpeg's own libraries:
// every chosen compressor is in the written stream, never an uncompressed
// stream in its place; uncompressed video is the right way up; a stopped
// conversion leaves a file whose header tells what it holds.
#include <windows.h>
#include <ole2.h>

#include <cmath>
#include <string>
#include <vector>

#include "convctl/VantrexControl.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/realclips/FfProbe.h"
#include "tests/wine/EngineRig.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;

namespace {

constexpr DISPID kAboutToRun = 2, kCodecListed = 3, kComplete = 4, kError = 5;
constexpr DWORD kTimeoutMs = 60000;

std::string Real(const std::string& name) { return std::string(REAL_CLIP_DIR) + "/" + name; }

struct Codec {
    std::u16string name, id;
};

// The directly made control with a screen depth of the test's choosing.
class DepthFactory final : public convctl::MediaObjectFactory {
public:
    int bits = 32;
    int ScreenBitsPerPixel() override { return bits; }
};

struct Converter {
    wt::EngineRig rig;
    DepthFactory factory;
    IVantrexObj* control() { return static_cast<IVantrexObj*>(rig.control); }

    Converter() { rig.Engine().SetFactory(&factory); }

    std::vector<Codec> List(EnumMediaType type) {
        rig.log.clear();
        control()->ListAVICodecs(type);
        std::vector<Codec> out;
        for (const auto& c : rig.log)
            if (c.id == kCodecListed && c.args.size() == 3)
                out.push_back(Codec{com::U16(c.args[0]), com::U16(c.args[1])});
        return out;
    }
    // Starts and waits for the end; the error text, or "" when it completed.
    std::string Convert(const std::string& source, const std::string& output) {
        control()->put_InputFile(Bstr(pt::WindowsPath(source)).Get());
        control()->put_OutputFile(Bstr(pt::WindowsPath(output)).Get());
        rig.log.clear();
        control()->StartConversion();
        if (!wt::PumpUntil([&] { return rig.Has(kComplete); }, kTimeoutMs)) return "no end";
        wt::PumpPosted();  // an Error follows its Complete directly
        for (const auto& c : rig.log)
            if (c.id == kError) return c.args.size() > 1 ? c.args[1] : "error";
        return "";
    }
};

// FFmpeg's name of what a compressor of ours writes.
std::string CodecWritten(const std::u16string& compressor) {
    const std::pair<const char16_t*, const char*> names[] = {
        {u"MPEG-4 Part 2", "mpeg4"},     {u"Motion JPEG", "mjpeg"},        {u"Huffyuv", "huffyuv"},
        {u"FFV1", "ffv1"},               {u"MS-MPEG-4 Version 2", "msmpeg4v2"}, {u"MS-MPEG-4 Version 3", "msmpeg4v3"},
        {u"DV Video", "dvvideo"},        {u"MP3", "mp3"},                  {u"MPEG Layer-2", "mp2"},
        {u"AC-3", "ac3"},                {u"MS ADPCM", "adpcm_ms"},        {u"IMA ADPCM", "adpcm_ima_wav"},
        {u"PCM Audio", "pcm_s16le"}};
    for (const auto& [part, codec] : names)
        if (compressor.find(part) != std::u16string::npos) return codec;
    return "";
}

struct OddSource {
    const char* file;
    int width, height;
    bool audio;
};
const OddSource kOddSources[] = {{"odd_720x405.avi", 720, 405, true},  {"odd_720x405_silent.avi", 720, 405, false},
                                 {"odd_721x405.avi", 721, 405, true},  {"odd_721x405_silent.avi", 721, 405, false},
                                 {"odd_853x480.avi", 853, 480, true},  {"odd_853x480_silent.avi", 853, 480, false}};

std::string Where(const OddSource& s, bool preview, const std::u16string& codec) {
    return std::string(s.file) + (preview ? " with preview, " : " without preview, ") + wt::Utf8(codec);
}

}  // namespace

WT_TEST(RealFiles, EveryVideoCompressorWritesOddSizesAsChosen) {
    Converter c;
    const std::string out = pt::OutputPath("real_odd.avi");
    int tried = 0;
    for (const Codec& codec : c.List(mediaVideo)) {
        const std::string expected = CodecWritten(codec.name);
        if (expected.empty() || expected == "dvvideo") continue;  // not ours, or fixed sizes
        ++tried;
        c.control()->put_VideoCodec(Bstr(codec.id).Get());
        c.control()->put_AudioCodec(Bstr(u"").Get());
        // Every size with and without the preview; sound and silence take
        // turns, so each of the four combinations comes for some size.
        for (size_t k = 0; k < std::size(kOddSources); ++k) {
            const OddSource& s = kOddSources[k];
            const bool preview = (k / 2 + k) % 2 == 1;
            {
                const std::string where = Where(s, preview, codec.name);
                c.control()->put_ConvertPreview(preview ? VARIANT_TRUE : VARIANT_FALSE);
                const std::string error = c.Convert(Real(s.file), out);
                if (!error.empty()) {
                    wt::ReportFailure(__FILE__, __LINE__, where + ": " + error);
                    continue;
                }
                const ffprobe::File f = ffprobe::Probe(out);
                const ffprobe::Stream* v = f.Video();
                // A silent source still gets a (silent) audio stream.
                if (!v || v->codec != expected || v->width != s.width || v->height != s.height ||
                    (s.audio && !f.Audio()) || v->packets < 14)
                    wt::ReportFailure(__FILE__, __LINE__,
                                      where + ": wrote " + (v ? v->codec + " " + std::to_string(v->width) + "x" +
                                                                    std::to_string(v->height) + ", " +
                                                                    std::to_string(v->packets) + " frames"
                                                              : std::string("no video")));
            }
        }
    }
    CHECK_EQ(tried, 6);
}

WT_TEST(RealFiles, EveryAudioCompressorIsInTheFile) {
    Converter c;
    c.control()->put_ConvertPreview(VARIANT_FALSE);
    const std::string out = pt::OutputPath("real_audio.avi");
    int tried = 0;
    for (const Codec& codec : c.List(mediaAudio)) {
        const std::string expected = CodecWritten(codec.name);
        if (expected.empty()) continue;
        ++tried;
        c.control()->put_VideoCodec(Bstr(u"").Get());
        c.control()->put_AudioCodec(Bstr(codec.id).Get());
        const std::string error = c.Convert(Real("odd_721x405.avi"), out);
        if (!error.empty()) {
            wt::ReportFailure(__FILE__, __LINE__, wt::Utf8(codec.name) + ": " + error);
            continue;
        }
        const ffprobe::File f = ffprobe::Probe(out);
        CHECK(f.Audio() != nullptr);
        if (f.Audio()) CHECK_EQ(f.Audio()->codec, expected);
    }
    CHECK_EQ(tried, 6);
}

WT_TEST(RealFiles, ACompressorThatRefusesTheSizeFailsInsteadOfWritingRawVideo) {
    Converter c;
    std::u16string dv;
    for (const Codec& codec : c.List(mediaVideo))
        if (CodecWritten(codec.name) == "dvvideo") dv = codec.id;
    REQUIRE(!dv.empty());
    c.control()->put_VideoCodec(Bstr(dv).Get());
    c.control()->put_AudioCodec(Bstr(u"").Get());
    const std::string out = pt::OutputPath("real_dv.avi");
    for (const bool preview : {false, true}) {
        c.control()->put_ConvertPreview(preview ? VARIANT_TRUE : VARIANT_FALSE);
        CHECK_EQ(c.Convert(Real("odd_720x405.avi"), out),
                 std::string("The selected video compressor does not accept the video at this frame size and rate"));
        CHECK(!ffprobe::Probe(out).error.empty());  // nothing written
    }
}

WT_TEST(RealFiles, WindowsMediaTakesOddSizes) {
    Converter c;
    const std::string out = pt::OutputPath("real_odd.wmv");
    c.control()->put_OutputFormat(mediaWMV);
    c.control()->put_VideoCodec(Bstr(u"").Get());
    c.control()->put_AudioCodec(Bstr(u"").Get());
    for (const LONG profile : {0, 1}) {  // the custom profile and the first system profile
        c.control()->put_OutputWMVProfile(profile);
        for (size_t k = 0; k < std::size(kOddSources); ++k) {
            const OddSource& s = kOddSources[k];
            const bool preview = (k / 2 + k + static_cast<size_t>(profile)) % 2 == 1;
            {
                const std::string where = Where(s, preview, profile ? u"system profile 1" : u"custom profile");
                c.control()->put_ConvertPreview(preview ? VARIANT_TRUE : VARIANT_FALSE);
                const std::string error = c.Convert(Real(s.file), out);
                if (!error.empty()) {
                    wt::ReportFailure(__FILE__, __LINE__, where + ": " + error);
                    continue;
                }
                const ffprobe::File f = ffprobe::Probe(out);
                const ffprobe::Stream* v = f.Video();
                // The Windows Media video encoders take only even widths:
                // an odd picture loses its last column.
                const int width = s.width & ~1;
                if (!v || v->codec.compare(0, 3, "wmv") != 0 || v->width != width || v->height != s.height ||
                    v->packets < 14)
                    wt::ReportFailure(__FILE__, __LINE__,
                                      where + ": wrote " + (v ? v->codec + " " + std::to_string(v->width) + "x" +
                                                                    std::to_string(v->height) + ", " +
                                                                    std::to_string(v->packets) + " frames"
                                                              : std::string("no video")));
            }
        }
    }
}

WT_TEST(RealFiles, UncompressedVideoIsTheRightWayUp) {
    Converter c;
    c.control()->put_ConvertPreview(VARIANT_FALSE);
    c.control()->put_VideoCodec(Bstr(u"").Get());
    c.control()->put_AudioCodec(Bstr(u"").Get());
    const std::string source = Real("exact_176x144.avi");
    int w = 0, h = 0;
    const std::vector<uint8_t> expected = ffprobe::VideoFrameRgb(source, 10, &w, &h);
    REQUIRE(!expected.empty());
    for (const int bits : {32, 16}) {
        c.factory.bits = bits;
        const std::string out = pt::OutputPath("real_raw" + std::to_string(bits) + ".avi");
        CHECK_EQ(c.Convert(source, out), std::string());
        int ow = 0, oh = 0;
        const std::vector<uint8_t> got = ffprobe::VideoFrameRgb(out, 10, &ow, &oh);
        CHECK_EQ(ow, w);
        CHECK_EQ(oh, h);
        const double psnr = ffprobe::Psnr(expected, got);
        if (psnr <= 30)
            wt::ReportFailure(__FILE__, __LINE__,
                              std::to_string(bits) + "-bit screen: PSNR " + std::to_string(psnr) + " dB");
        const ffprobe::File f = ffprobe::Probe(out);
        REQUIRE(f.Video());
        CHECK_EQ(f.Video()->codec, std::string("rawvideo"));
    }
}

WT_TEST(RealFiles, AStoppedConversionLeavesAFileThatSaysWhatItHolds) {
    Converter c;
    std::u16string mpeg4, mp3;
    for (const Codec& codec : c.List(mediaVideo))
        if (CodecWritten(codec.name) == "mpeg4") mpeg4 = codec.id;
    for (const Codec& codec : c.List(mediaAudio))
        if (CodecWritten(codec.name) == "mp3") mp3 = codec.id;
    REQUIRE(!mpeg4.empty() && !mp3.empty());
    struct Case {
        const char* what;
        LONG format;
        std::u16string video, audio;
        const char* output;
    };
    const Case cases[] = {{"uncompressed AVI", mediaAVI, u"", u"", "real_stop_raw.avi"},
                          {"MPEG-4 and MP3 AVI", mediaAVI, mpeg4, mp3, "real_stop_mpeg4.avi"},
                          {"WMV", mediaWMV, u"", u"", "real_stop.wmv"}};
    for (const Case& k : cases) {
        for (const bool preview : {false, true}) {
            c.control()->put_ConvertPreview(preview ? VARIANT_TRUE : VARIANT_FALSE);
            c.control()->put_OutputFormat(static_cast<EnumMediaOutputFormat>(k.format));
            c.control()->put_OutputWMVProfile(0);
            c.control()->put_VideoCodec(Bstr(k.video).Get());
            c.control()->put_AudioCodec(Bstr(k.audio).Get());
            const std::string out = pt::OutputPath(k.output);
            c.control()->put_InputFile(Bstr(pt::WindowsPath(Real("long_640x480.avi"))).Get());
            c.control()->put_OutputFile(Bstr(pt::WindowsPath(out)).Get());
            c.rig.log.clear();
            c.control()->StartConversion();
            wt::PumpUntil(
                [&] {
                    double p = 0;
                    c.control()->get_Progress(&p);
                    return p > 4.0 || c.rig.Has(kComplete);
                },
                kTimeoutMs);
            REQUIRE(!c.rig.Has(kComplete));
            c.control()->StopConversion();
            wt::PumpUntil([&] { return c.rig.Has(kComplete); }, kTimeoutMs);
            wt::PumpPosted();
            CHECK(!c.rig.Has(kError));

            const ffprobe::File f = ffprobe::Probe(out);
            const std::string where = std::string(k.what) + (preview ? " with preview: " : ": ");
            if (!f.error.empty() || !f.Video()) {
                wt::ReportFailure(__FILE__, __LINE__, where + "unreadable: " + f.error);
                continue;
            }
            const ffprobe::Stream& v = *f.Video();
            // Stopped after four seconds or so of the twenty.
            if (v.packets < 50 || v.packets > 400)
                wt::ReportFailure(__FILE__, __LINE__, where + std::to_string(v.packets) + " frames written");
            // The header's counts and durations are those of what was written,
            // and the sound ends with the pictures (give or take the half second
            // the streams may be apart while they are written).
            if (v.headerFrames != 0 && v.headerFrames != v.packets)
                wt::ReportFailure(__FILE__, __LINE__,
                                  where + "header says " + std::to_string(v.headerFrames) + " frames, file holds " +
                                      std::to_string(v.packets));
            const double soundEnd = f.Audio() ? f.Audio()->endSeconds : 0.0;
            const double held = std::max(v.endSeconds, soundEnd);
            if (std::abs(f.seconds - held) > 0.6 || std::abs(soundEnd - v.endSeconds) > 0.6)
                wt::ReportFailure(__FILE__, __LINE__,
                                  where + "header says " + std::to_string(f.seconds) + " s, file holds pictures to " +
                                      std::to_string(v.endSeconds) + " s and sound to " + std::to_string(soundEnd) +
                                      " s");
        }
    }
}
