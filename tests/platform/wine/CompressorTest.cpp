// The compressors as the control reaches them: listed by the system device
// enumerator with their friendly names, bound again from their display
// names, converting in the AVI graph into streams FFmpeg reads back with
// the right codec and tag; settings through the compress-dialogs state and
// the property page, kept for the next filter bound.
#include <windows.h>
#include <dshow.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "convctl/FilterUtil.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "platform/core/CodecCatalog.h"
#include "platform/core/Muxer.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavformat/avformat.h>
}

using com::ComPtr;

namespace {

// A compressor bound again from its display name, as the engine binds it.
ComPtr<IBaseFilter> Bind(const std::u16string& display) {
    ComPtr<IBaseFilter> filter;
    convctl::BindFilterByDisplayName(display, filter);
    return filter;
}

std::u16string Source() {
    clipgen::ClipSpec s;
    s.seconds = 0.4;
    return pt::Clip("compress-src.avi", s);
}

// The video packets of a file as FFmpeg's own reader gives them.
std::vector<std::string> VideoPackets(const std::string& path) {
    std::vector<std::string> packets;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return packets;
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* pkt = av_packet_alloc();
    while (stream >= 0 && pkt && av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream) packets.emplace_back(reinterpret_cast<const char*>(pkt->data), pkt->size);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return packets;
}

}  // namespace

WT_TEST(Compressors, ListedAndBoundAgainByDisplayName) {
    const auto video = pt::ListedCompressors(CLSID_VideoCompressorCategory);
    const auto audio = pt::ListedCompressors(CLSID_AudioCompressorCategory);
    for (const auto& c : media::VideoCodecs()) {
        const auto it = video.find(c.friendlyName);
        REQUIRE(it != video.end());
        ComPtr<IBaseFilter> f = Bind(it->second);
        REQUIRE(f);
        ComPtr<IAMVfwCompressDialogs> dialogs;
        ComPtr<ISpecifyPropertyPages> pages;
        CHECK_HR(f.As(IID_IAMVfwCompressDialogs, dialogs));
        CHECK_HR(f.As(IID_ISpecifyPropertyPages, pages));
        if (dialogs) {
            CHECK_HR_EQ(dialogs->ShowDialog(VfwCompressDialog_QueryConfig, nullptr), S_OK);
            CHECK_HR_EQ(dialogs->ShowDialog(VfwCompressDialog_QueryAbout, nullptr), S_OK);
        }
    }
    for (const auto& c : media::AudioCodecs()) {
        const auto it = audio.find(c.friendlyName);
        REQUIRE(it != audio.end());
        CHECK(Bind(it->second));
    }
}

// Twice through the same filters: the encoders opened to describe the
// outputs serve the first run only; a second run, after a stop, must get
// fresh ones, not the first run's finished encoders.
WT_TEST(Compressors, Mpeg4AndMp3ThroughTheGraphTwice) {
    ComPtr<IBaseFilter> v = pt::BindCompressor(CLSID_VideoCompressorCategory, "MPEG-4 Part 2 Video Compressor");
    ComPtr<IBaseFilter> a = pt::BindCompressor(CLSID_AudioCompressorCategory, "MPEG Layer-3 (MP3) Audio Compressor");
    REQUIRE(v && a);
    const std::string out = pt::OutputPath("mpeg4-mp3-graph.avi");
    auto checkFile = [&] {
        const pt::FileFacts f = pt::ReadBack(out);
        CHECK_EQ(f.videoCodec, static_cast<int>(AV_CODEC_ID_MPEG4));
        CHECK_EQ(f.videoTag, media::Fourcc('X', 'V', 'I', 'D'));
        CHECK_EQ(f.width, 160);
        CHECK_EQ(f.videoFrames, 10LL);
        CHECK_EQ(f.audioCodec, static_cast<int>(AV_CODEC_ID_MP3));
        CHECK_EQ(f.audioTag, 0x55u);
    };
    pt::AviGraph g(Source(), out, 160, 120, 25.0, 0.4, v.Get(), a.Get());
    ComPtr<IMediaSeeking> seeking = g.MuxSeeking();
    LONGLONG duration = 0, position = 0;
    CHECK_HR(seeking->GetDuration(&duration));
    CHECK_EQ(duration, 4000000LL);
    for (int run = 0; run < 2; ++run) {
        REQUIRE_HR(g.Control()->Run());
        CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        seeking->GetCurrentPosition(&position);
        CHECK(position >= duration - 400000);
        REQUIRE_HR(g.Control()->Stop());
        checkFile();
    }
}

WT_TEST(Compressors, EveryCompressorWritesItsFormat) {
    for (const auto& c : media::VideoCodecs()) {
        ComPtr<IBaseFilter> v = pt::BindCompressor(CLSID_VideoCompressorCategory, c.friendlyName);
        REQUIRE(v);
        const std::string out = pt::OutputPath(std::string("graph-") + c.key + ".avi");
        {
            pt::AviGraph g(Source(), out, c.dvSizes ? 720 : 96, c.dvSizes ? 576 : 64, 25.0, 0.2, v.Get(), nullptr);
            REQUIRE_HR(g.Control()->Run());
            CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        }
        const pt::FileFacts f = pt::ReadBack(out);
        if (f.videoTag != c.fourcc || f.videoFrames != 5) std::printf("  %s: tag %08x, %lld frames\n", c.key, f.videoTag, f.videoFrames);
        CHECK_EQ(f.videoTag, c.fourcc);
        CHECK_EQ(f.videoCodec, static_cast<int>(media::CodecOfFourcc(c.fourcc)));
        CHECK_EQ(f.videoFrames, 5LL);
    }
    for (const auto& c : media::AudioCodecs()) {
        ComPtr<IBaseFilter> a = pt::BindCompressor(CLSID_AudioCompressorCategory, c.friendlyName);
        REQUIRE(a);
        const std::string out = pt::OutputPath(std::string("graph-") + c.key + ".avi");
        {
            pt::AviGraph g(Source(), out, 64, 48, 25.0, 0.2, nullptr, a.Get());
            REQUIRE_HR(g.Control()->Run());
            CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        }
        const pt::FileFacts f = pt::ReadBack(out);
        if (f.audioTag != c.formatTag) std::printf("  %s: tag %04x\n", c.key, f.audioTag);
        CHECK_EQ(f.audioTag, static_cast<unsigned>(c.formatTag));
        CHECK_EQ(f.channels, 2);
        // Fixed-size samples are whole blocks; a header that says otherwise
        // puts players that go by the header out of step.
        if (f.audioSampleSize != 0 && f.audioSampleSize != f.audioBlockAlign)
            std::printf("  %s: sample size %lld, block %lld\n", c.key, f.audioSampleSize, f.audioBlockAlign);
        CHECK(f.audioBlockAlign > 0);
        CHECK(f.audioSampleSize == 0 || f.audioSampleSize == f.audioBlockAlign);
    }
}

WT_TEST(Compressors, DvRefusesOtherSizes) {
    ComPtr<IBaseFilter> dv = pt::BindCompressor(CLSID_VideoCompressorCategory, media::VideoCodecs().back().friendlyName);
    REQUIRE(dv);
    pt::FrontEnd fe = pt::BuildFrontEnd(Source(), 320, 240, 25.0, 0.2);
    REQUIRE(fe.graph);
    CHECK_HR(fe.graph->AddFilter(dv.Get(), L"DV"));
    ComPtr<IPin> video;
    fe.engine->GetGroupOutputPin(0, video.Put());
    CHECK(FAILED(fe.graph->ConnectDirect(video.Get(), convctl::FindUnconnectedPin(dv.Get(), PINDIR_INPUT).Get(), nullptr)));
    fe.engine->ScrapIt();
}

WT_TEST(Compressors, SettingsStateAndPageAreKept) {
    const char* name = "MPEG-4 Part 2 Video Compressor";
    ComPtr<IBaseFilter> f = pt::BindCompressor(CLSID_VideoCompressorCategory, name);
    REQUIRE(f);
    ComPtr<IAMVfwCompressDialogs> dialogs;
    REQUIRE_HR(f.As(IID_IAMVfwCompressDialogs, dialogs));
    int size = 0;
    CHECK_HR(dialogs->GetState(nullptr, &size));
    CHECK(size > 0);
    char junk[4] = {1, 2, 3, 4};
    CHECK_HR_EQ(dialogs->SetState(junk, sizeof junk), E_INVALIDARG);

    ComPtr<ISpecifyPropertyPages> specify;
    REQUIRE_HR(f.As(IID_ISpecifyPropertyPages, specify));
    CAUUID pages{};
    REQUIRE_HR(specify->GetPages(&pages));
    REQUIRE(pages.cElems == 2);
    ComPtr<IPropertyPage> about;
    CHECK_HR(CoCreateInstance(pages.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, about.PutVoid()));
    ComPtr<IPropertyPage> page;
    CHECK_HR(CoCreateInstance(pages.pElems[1], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.PutVoid()));
    CoTaskMemFree(pages.pElems);
    REQUIRE(page);

    IUnknown* objects[] = {f.Get()};
    REQUIRE_HR(page->SetObjects(1, objects));
    PROPPAGEINFO info{};
    CHECK_HR(page->GetPageInfo(&info));
    CHECK(info.size.cx > 100 && info.size.cy > 50);
    CoTaskMemFree(info.pszTitle);

    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
    RECT r{0, 0, info.size.cx, info.size.cy};
    REQUIRE_HR(page->Activate(parent, &r, TRUE));
    const HWND dlg = GetWindow(parent, GW_CHILD);
    REQUIRE(dlg);
    CHECK_EQ(page->IsPageDirty(), S_FALSE);
    SetDlgItemInt(dlg, 1002, 2345, FALSE);  // the bit-rate box
    CHECK_EQ(page->IsPageDirty(), S_OK);
    CHECK_HR(page->Apply());
    CHECK_EQ(page->IsPageDirty(), S_FALSE);
    CHECK_HR(page->Deactivate());
    page->SetObjects(0, nullptr);
    DestroyWindow(parent);

    // A filter bound afresh starts with what the page applied.
    ComPtr<IBaseFilter> again = pt::BindCompressor(CLSID_VideoCompressorCategory, name);
    ComPtr<IAMVfwCompressDialogs> d2;
    REQUIRE_HR(again.As(IID_IAMVfwCompressDialogs, d2));
    std::string bytes(64, '\0');
    size = 64;
    REQUIRE_HR(d2->GetState(bytes.data(), &size));
    media::VideoSettings s;
    REQUIRE(media::Deserialize(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<size_t>(size), s));
    CHECK_EQ(s.bitRateKbps, 2345);
    CHECK_EQ(s.useQuality, false);
}

// The engine's preview puts a Smart Tee between the source and the
// compressor, with a renderer on its preview pin; such filters share the
// source's buffers, so the source must keep none of them waiting. The
// tee reads every picture's bytes, so what it passes on is the source's
// RGB, which the compressor converts (or finds the planes of) as ever.
WT_TEST(Compressors, ThroughASmartTeeWithAPreview) {
    ComPtr<IBaseFilter> v = pt::BindCompressor(CLSID_VideoCompressorCategory, "MPEG-4 Part 2 Video Compressor");
    REQUIRE(v);
    clipgen::ClipSpec desc;
    desc.seconds = 2.0;
    const std::u16string source = pt::Clip("compress-tee-src.avi", desc);
    const std::string out = pt::OutputPath("mpeg4-tee.avi");
    {
        pt::FrontEnd fe = pt::BuildFrontEnd(source, 160, 120, 25.0, 2.0);
        REQUIRE(fe.graph);
        ComPtr<ICaptureGraphBuilder2> builder;
        ComPtr<IBaseFilter> mux, tee, renderer;
        REQUIRE_HR(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICaptureGraphBuilder2, builder.PutVoid()));
        REQUIRE_HR(builder->SetFiltergraph(fe.graph.Get()));
        DeleteFileW(com::W(pt::WindowsPath(out)));
        REQUIRE_HR(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, com::W(pt::WindowsPath(out)), mux.Put(), nullptr));
        REQUIRE_HR(CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, tee.PutVoid()));
        REQUIRE_HR(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    renderer.PutVoid()));
        REQUIRE_HR(fe.graph->AddFilter(tee.Get(), L"Smart Tee"));
        REQUIRE_HR(fe.graph->AddFilter(renderer.Get(), L"Video Renderer"));
        REQUIRE_HR(fe.graph->AddFilter(v.Get(), L"Video Compressor"));
        ComPtr<IPin> video, audio, capture, preview;
        REQUIRE_HR(fe.engine->GetGroupOutputPin(0, video.Put()));
        REQUIRE_HR(fe.engine->GetGroupOutputPin(1, audio.Put()));
        REQUIRE_HR(fe.graph->Connect(audio.Get(), convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get()));
        REQUIRE_HR(fe.graph->Connect(video.Get(), convctl::FindUnconnectedPin(tee.Get(), PINDIR_INPUT).Get()));
        REQUIRE_HR(builder->FindPin(tee.Get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0, capture.Put()));
        REQUIRE_HR(builder->FindPin(tee.Get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, preview.Put()));
        REQUIRE_HR(fe.graph->Connect(capture.Get(), convctl::FindUnconnectedPin(v.Get(), PINDIR_INPUT).Get()));
        REQUIRE_HR(fe.graph->Connect(convctl::FindUnconnectedPin(v.Get(), PINDIR_OUTPUT).Get(), convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get()));
        REQUIRE_HR(builder->RenderStream(nullptr, nullptr, preview.Get(), nullptr, renderer.Get()));
        ComPtr<IMediaControl> control;
        REQUIRE_HR(fe.graph.As(IID_IMediaControl, control));
        REQUIRE(SUCCEEDED(control->Run()));  // S_FALSE while the renderer waits for a picture
        CHECK_EQ(pt::WaitForEnd(fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        control->Stop();
        fe.engine->ScrapIt();
    }
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK_EQ(f.videoCodec, static_cast<int>(AV_CODEC_ID_MPEG4));
    CHECK_EQ(f.videoFrames, 50LL);

    // Straight from the source the compressor takes the decoded planes
    // instead of the bytes the tee passed on: the same stream, packet for
    // packet.
    ComPtr<IBaseFilter> direct = pt::BindCompressor(CLSID_VideoCompressorCategory, "MPEG-4 Part 2 Video Compressor");
    REQUIRE(direct);
    const std::string straight = pt::OutputPath("mpeg4-straight.avi");
    {
        pt::AviGraph g(source, straight, 160, 120, 25.0, 2.0, direct.Get());
        REQUIRE_HR(g.Control()->Run());
        CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
    }
    const std::vector<std::string> teed = VideoPackets(out), taken = VideoPackets(straight);
    CHECK_EQ(teed.size(), 50u);
    CHECK(teed == taken);
}
