// The media detector as the control uses it, reached through the registry
// under the system's class identifier: a clip's streams, their types,
// rates, lengths and formats; poster bitmaps; and a detector given nothing
// it can open.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <cmath>
#include <vector>

#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;

namespace {

ComPtr<IMediaDet> CreateDetector() {
    ComPtr<IMediaDet> det;
    CHECK_HR(CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, det.PutVoid()));
    return det;
}

std::u16string ClipOf(const char* name, bool video, bool audio) {
    clipgen::ClipSpec s;
    s.width = 176;
    s.height = 144;
    s.seconds = 1.0;
    s.video = video;
    s.audio = audio;
    return pt::Clip(name, s);
}

}  // namespace

WT_TEST(MediaDet, StreamsOfAClip) {
    ComPtr<IMediaDet> det = CreateDetector();
    REQUIRE(det);
    const std::u16string clip = ClipOf("det.avi", true, true);
    REQUIRE_HR(det->put_Filename(Bstr(clip).Get()));
    Bstr name;
    CHECK_HR(det->get_Filename(name.Put()));
    CHECK_EQ(name.Text(), clip);
    LONG count = 0;
    CHECK_HR(det->get_OutputStreams(&count));
    REQUIRE(count == 2);
    int videos = 0, audios = 0;
    for (LONG i = 0; i < count; ++i) {
        CHECK_HR(det->put_CurrentStream(i));
        GUID type{};
        CHECK_HR(det->get_StreamType(&type));
        Bstr typeText;
        CHECK_HR(det->get_StreamTypeB(typeText.Put()));
        CHECK_EQ(typeText.Text(), com::GuidToString(type));
        double length = 0, rate = -1;
        CHECK_HR(det->get_StreamLength(&length));
        CHECK(std::fabs(length - 1.0) < 0.1);
        com::MediaType owner;
        CHECK_HR(det->get_StreamMediaType(owner.Put()));
        const AM_MEDIA_TYPE& mt = owner.Get();
        CHECK_EQ(mt.majortype, type);
        if (IsEqualGUID(type, MEDIATYPE_Video)) {
            ++videos;
            CHECK_HR(det->get_FrameRate(&rate));
            CHECK_EQ(rate, 25.0);
            REQUIRE(IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER));
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
            CHECK_EQ(vih->bmiHeader.biWidth, 176);
            CHECK_EQ(vih->bmiHeader.biHeight, 144);
            CHECK(vih->dwBitRate > 100000);
            CHECK_EQ(vih->AvgTimePerFrame, 400000LL);
        } else {
            ++audios;
            CHECK_EQ(type, MEDIATYPE_Audio);
            CHECK(FAILED(det->get_FrameRate(&rate)));
            REQUIRE(IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) && mt.cbFormat >= sizeof(WAVEFORMATEX));
            const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
            CHECK_EQ(wfx->nSamplesPerSec, 44100u);
            CHECK_EQ(wfx->nChannels, 2);
        }
    }
    CHECK_EQ(videos, 1);
    CHECK_EQ(audios, 1);
    // A stream beyond the last is refused and the current one stays.
    CHECK_HR(det->put_CurrentStream(1));
    CHECK_HR_EQ(det->put_CurrentStream(2), E_INVALIDARG);
    CHECK_HR_EQ(det->put_CurrentStream(-1), E_INVALIDARG);
    LONG current = -1;
    CHECK_HR(det->get_CurrentStream(&current));
    CHECK_EQ(current, 1);
    CHECK_EQ(det.Detach()->Release(), 0u);
}

WT_TEST(MediaDet, PosterBitmaps) {
    ComPtr<IMediaDet> det = CreateDetector();
    REQUIRE(det);
    REQUIRE_HR(det->put_Filename(Bstr(ClipOf("det.avi", true, true)).Get()));
    LONG size = 0;
    CHECK_HR(det->GetBitmapBits(0.5, &size, nullptr, 163, 112));
    const LONG stride = (163 * 3 + 3) & ~3;
    CHECK_EQ(size, static_cast<LONG>(sizeof(BITMAPINFOHEADER)) + stride * 112);
    std::vector<char> buffer(static_cast<size_t>(size));
    CHECK_HR(det->GetBitmapBits(0.5, nullptr, buffer.data(), 163, 112));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(buffer.data());
    CHECK_EQ(header->biWidth, 163);
    CHECK_EQ(header->biHeight, 112);
    CHECK_EQ(header->biBitCount, 24);

    // Sizes whose bitmap would not fit a 32-bit count are refused, never
    // answered with a size that wrapped around.
    size = 0;
    CHECK_HR_EQ(det->GetBitmapBits(0.5, &size, nullptr, 70000, 70000), E_INVALIDARG);
    CHECK_HR_EQ(det->GetBitmapBits(0.5, &size, nullptr, 0, 112), E_INVALIDARG);
    CHECK_HR_EQ(det->WriteBitmapBits(0.5, 70000, 70000, Bstr(u"C:\\never.bmp").Get()), E_INVALIDARG);
    CHECK(GetFileAttributesW(L"C:\\never.bmp") == INVALID_FILE_ATTRIBUTES);

    const std::u16string out = pt::WindowsPath(pt::OutputPath("det_poster.bmp"));
    CHECK_HR(det->WriteBitmapBits(0.5, 163, 112, Bstr(out).Get()));
    CHECK(GetFileAttributesW(com::W(out)) != INVALID_FILE_ATTRIBUTES);
    CHECK(FAILED(det->WriteBitmapBits(0.5, 163, 112, Bstr(out + u"\\in\\no\\folder.bmp").Get())));

    // Sound only: no picture to take.
    REQUIRE_HR(det->put_Filename(Bstr(ClipOf("det_tone.avi", false, true)).Get()));
    const std::u16string none = pt::WindowsPath(pt::OutputPath("det_no_poster.bmp"));
    DeleteFileW(com::W(none));
    CHECK(FAILED(det->WriteBitmapBits(0.0, 163, 112, Bstr(none).Get())));
    CHECK(GetFileAttributesW(com::W(none)) == INVALID_FILE_ATTRIBUTES);
}

WT_TEST(MediaDet, NothingToOpen) {
    ComPtr<IMediaDet> det = CreateDetector();
    REQUIRE(det);
    LONG count = 7;
    GUID type{};
    double value = 0;
    // Before a file and after one that cannot be opened, every question fails.
    for (const char16_t* name : {static_cast<const char16_t*>(nullptr), u"", u"Z:\\no\\such\\file.avi"}) {
        if (name) CHECK(FAILED(det->put_Filename(Bstr(name).Get())));
        CHECK(FAILED(det->get_OutputStreams(&count)));
        CHECK_EQ(count, 0);
        CHECK(FAILED(det->put_CurrentStream(0)));
        CHECK(FAILED(det->get_StreamType(&type)));
        CHECK(FAILED(det->get_StreamLength(&value)));
        CHECK(FAILED(det->get_FrameRate(&value)));
        CHECK(FAILED(det->WriteBitmapBits(0.0, 163, 112, Bstr(u"C:\\never.bmp").Get())));
    }
    // A good file after a bad one opens.
    CHECK_HR(det->put_Filename(Bstr(ClipOf("det.avi", true, true)).Get()));
    CHECK_HR(det->get_OutputStreams(&count));
    CHECK_EQ(count, 2);
}
