// The preview while the control converts: the same AVI with and without
// it, the renderer's window a child of the container kept over the
// control's rectangle, a branch that cannot be built failing the start
// aloud; and the control's own drawing when it shows no preview.
#include <windows.h>
#include <ole2.h>

#include <cstdint>

#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/ControlHost.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;
using wt::ControlHost;

namespace {

clipgen::ClipSpec ClipOf(double seconds, int w = 160, int h = 120) {
    clipgen::ClipSpec s;
    s.container = "avi";
    s.width = w;
    s.height = h;
    s.seconds = seconds;
    return s;
}

// The packets of a file's stream of one type, hashed in order (FNV-1a):
// the same pictures and sound give the same value however the file
// interleaves them.
struct StreamDigest {
    long long packets = 0;
    uint64_t hash = 1469598103934665603ull;
    bool operator==(const StreamDigest& o) const { return packets == o.packets && hash == o.hash; }
};

StreamDigest Digest(const std::string& unixPath, AVMediaType type) {
    StreamDigest d;
    try {
        media::Demuxer demux(media::OpenFileSource(unixPath));
        const int stream = demux.BestStream(type);
        if (stream < 0) return d;
        demux.KeepOnly(stream);
        media::PacketPtr pkt = media::MakePacket();
        while (demux.Read(pkt.get())) {
            ++d.packets;
            for (int i = 0; i < pkt->size; ++i) d.hash = (d.hash ^ pkt->data[i]) * 1099511628211ull;
            av_packet_unref(pkt.get());
        }
    } catch (const media::MediaError& e) {
        wt::ReportFailure(__FILE__, __LINE__, unixPath + ": " + e.what());
    }
    return d;
}

}  // namespace

WT_TEST(Preview, TheSameAviWithAndWithoutThePreview) {
    const std::u16string src = pt::Clip("preview_src.avi", ClipOf(2.0));
    const std::string plain = pt::OutputPath("preview_off.avi"), shown = pt::OutputPath("preview_on.avi");
    {
        ControlHost host(false);
        host.SetFiles(src, plain);
        REQUIRE(host.Convert());
        CHECK(host.OtherChildren().empty());  // no renderer without the preview
    }
    ControlHost host(true);
    host.SetFiles(src, shown);
    host.ClearLog();
    CHECK_HR(host.Control()->StartConversion());
    // The renderer's window is placed before StartConversion returns.
    const std::vector<HWND> children = host.OtherChildren();
    CHECK_EQ(children.size(), 1u);
    for (HWND w : children) {
        const RECT r = wt::RectInParent(w);
        if (!wt::SameRect(r, RECT{10, 10, 330, 250})) wt::ReportFailure(__FILE__, __LINE__, "renderer at " + wt::RectText(r));
        CHECK((GetWindowLongW(w, GWL_STYLE) & WS_CHILD) != 0);
        CHECK(IsWindowVisible(w));
    }
    // It shows the converted pictures, the source's coloured pattern, over
    // the control's black. The graph stays up until messages are pumped.
    if (!children.empty()) {
        auto coloured = [](COLORREF c) {
            return c != CLR_INVALID && !(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c));
        };
        COLORREF seen = CLR_INVALID;
        for (int i = 0; i < 500 && !coloured(seen); ++i) {
            Sleep(10);
            const HDC dc = GetDC(children[0]);
            seen = GetPixel(dc, 40, 200);
            ReleaseDC(children[0], dc);
        }
        if (!coloured(seen)) wt::ReportFailure(__FILE__, __LINE__, "the preview shows no picture");
    }
    // Resizing the control moves the preview with it.
    const RECT moved{40, 30, 200, 150};
    CHECK_HR(host.Container().Move(moved));
    for (HWND w : children) {
        const RECT r = wt::RectInParent(w);
        if (!wt::SameRect(r, moved)) wt::ReportFailure(__FILE__, __LINE__, "moved renderer at " + wt::RectText(r));
    }
    CHECK(wt::PumpUntil([&] { return host.Ended(); }, ControlHost::kConversionTimeoutMs));
    wt::PumpPosted();
    CHECK_EQ(host.Count(wt::kEvError), 0);
    // The renderer goes with the graph.
    CHECK(host.OtherChildren().empty());

    const pt::FileFacts a = pt::ReadBack(plain), b = pt::ReadBack(shown);
    CHECK(a.opened && b.opened);
    CHECK_EQ(b.streams, 2);
    CHECK_EQ(b.videoFrames, 50);
    CHECK_EQ(b.width, a.width);
    CHECK_EQ(b.height, a.height);
    // The same pictures and sound; only the interleaving may differ.
    CHECK(Digest(plain, AVMEDIA_TYPE_VIDEO) == Digest(shown, AVMEDIA_TYPE_VIDEO));
    CHECK(Digest(plain, AVMEDIA_TYPE_AUDIO) == Digest(shown, AVMEDIA_TYPE_AUDIO));
    CHECK_EQ(Digest(shown, AVMEDIA_TYPE_VIDEO).packets, 50);
}

WT_TEST(Preview, CompressorsBehindTheTeeAsWithout) {
    // The program converts with the preview on, mostly through compressors.
    const std::u16string src = pt::Clip("preview_src.avi", ClipOf(2.0));
    std::string outs[2] = {pt::OutputPath("preview_mp4_off.avi"), pt::OutputPath("preview_mp4_on.avi")};
    for (int preview = 0; preview < 2; ++preview) {
        ControlHost host(preview != 0);
        const std::u16string video = host.CodecId(0, u"MPEG-4 Part 2"), audio = host.CodecId(1, u"MP3");
        REQUIRE(!video.empty() && !audio.empty());
        host.Control()->put_VideoCodec(Bstr(video).Get());
        host.Control()->put_AudioCodec(Bstr(audio).Get());
        host.Control()->put_OutputWidth(320);
        host.Control()->put_OutputHeight(240);
        host.SetFiles(src, outs[preview]);
        REQUIRE(host.Convert());
        // A second run on the same control places a fresh preview again.
        host.ClearLog();
        CHECK_HR(host.Control()->StartConversion());
        CHECK_EQ(host.OtherChildren().size(), preview ? 1u : 0u);
        CHECK(wt::PumpUntil([&] { return host.Ended(); }, ControlHost::kConversionTimeoutMs));
        wt::PumpPosted();
        CHECK_EQ(host.Count(wt::kEvError), 0);
    }
    const pt::FileFacts f = pt::ReadBack(outs[1]);
    CHECK_EQ(f.videoCodec, static_cast<int>(AV_CODEC_ID_MPEG4));
    CHECK_EQ(f.audioCodec, static_cast<int>(AV_CODEC_ID_MP3));
    CHECK_EQ(f.width, 320);
    CHECK_EQ(f.videoFrames, 50);
    CHECK(Digest(outs[0], AVMEDIA_TYPE_VIDEO) == Digest(outs[1], AVMEDIA_TYPE_VIDEO));
    CHECK(Digest(outs[0], AVMEDIA_TYPE_AUDIO) == Digest(outs[1], AVMEDIA_TYPE_AUDIO));
}

WT_TEST(Preview, ABranchThatCannotBeBuiltFailsTheStartAloud) {
    // DV takes only its own frame sizes: the tee's capture output cannot
    // reach the multiplexer through it, so the video would be lost.
    ControlHost host(true);
    const std::u16string dv = host.CodecId(0, u"DV Video");
    REQUIRE(!dv.empty());
    const std::string out = pt::OutputPath("preview_dv.avi");
    host.SetFiles(pt::Clip("preview_src.avi", ClipOf(2.0)), out);
    host.Control()->put_VideoCodec(Bstr(dv).Get());
    const std::string text = host.ExpectFailedStart("preview with a compressor that refuses the size");
    CHECK_EQ(text, std::string("The selected video compressor does not accept the video at this frame size and rate"));
    CHECK(host.OtherChildren().empty());
    // The control converts again once the compressor is taken away.
    host.Control()->put_VideoCodec(Bstr(u"").Get());
    CHECK(host.Convert());
}

namespace {

// Pixels of what IViewObject::Draw paints into a memory bitmap.
struct Canvas {
    static constexpr int kW = 50, kH = 40;
    HDC dc = CreateCompatibleDC(nullptr);
    uint32_t* bits = nullptr;
    HBITMAP bitmap;
    HGDIOBJ old;
    Canvas() {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = kW;
        bi.bmiHeader.biHeight = -kH;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < kW * kH; ++i) bits[i] = 0x00FFFFFF;
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) const { return bits[y * kW + x] & 0x00FFFFFF; }
};

}  // namespace

WT_TEST(Preview, TheIdleControlIsBlackInAGreyFrame) {
    ControlHost host(true);
    ComPtr<IViewObject> view;
    REQUIRE_HR(host.Control()->QueryInterface(IID_IViewObject, view.PutVoid()));
    Canvas c;
    const RECTL bounds{0, 0, Canvas::kW, Canvas::kH};
    CHECK_HR(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, c.dc, &bounds, nullptr, nullptr, 0));
    const uint32_t grey = 0x808080, black = 0;
    CHECK_EQ(c.At(0, 0), grey);
    CHECK_EQ(c.At(Canvas::kW - 1, Canvas::kH - 1), grey);
    CHECK_EQ(c.At(Canvas::kW / 2, 0), grey);
    CHECK_EQ(c.At(0, Canvas::kH / 2), grey);
    CHECK_EQ(c.At(1, 1), black);
    CHECK_EQ(c.At(Canvas::kW / 2, Canvas::kH / 2), black);
    CHECK_EQ(c.At(Canvas::kW - 2, Canvas::kH - 2), black);

    // The control's own window paints the same.
    const HWND own = host.ControlWindow();
    REQUIRE(own != nullptr);
    RedrawWindow(own, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    wt::PumpMessages(50);
    const HDC dc = GetDC(own);
    RECT client;
    GetClientRect(own, &client);
    CHECK_EQ(GetPixel(dc, 0, 0) & 0xFFFFFF, grey);
    CHECK_EQ(GetPixel(dc, client.right - 1, client.bottom - 1) & 0xFFFFFF, grey);
    CHECK_EQ(GetPixel(dc, client.right / 2, client.bottom / 2) & 0xFFFFFF, black);
    ReleaseDC(own, dc);
}
