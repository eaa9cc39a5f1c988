// Media facts of a file through the media detector: for GetFileInfo, with a
// poster frame, and for the start of every conversion.
#include "convctl/ConversionEngine.h"

#include <cstdlib>

#include "convctl/FilterUtil.h"
#include "convctl/Trace.h"
#include "framework/com/Bstr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::Bstr;
using com::ComPtr;

namespace {

constexpr LONG kPosterWidth = 163;
constexpr LONG kPosterHeight = 112;
const char16_t kPosterName[] = u"qolp_poster.bmp";

struct StreamScan {
    bool hasVideo = false;
    bool hasAudio = false;
    LONG audioStream = -1;
    bool haveSubtype = false;
    GUID videoSubtype{};
};

// Walks the detector's streams, filling what the request asks for.
StreamScan ScanStreams(IMediaDet* det, double* frameRate, double* duration, LONG* width, LONG* height,
                       LONG* bitRate) {
    StreamScan scan;
    LONG count = 0;
    det->get_OutputStreams(&count);
    for (LONG i = 0; i < count; ++i) {
        det->put_CurrentStream(i);
        GUID type{};
        det->get_StreamType(&type);
        if (IsEqualGUID(type, MEDIATYPE_Video)) {
            scan.hasVideo = true;
            if (frameRate) det->get_FrameRate(frameRate);
            if (duration) det->get_StreamLength(duration);
            com::MediaType type;
            if (SUCCEEDED(det->get_StreamMediaType(type.Put()))) {
                const AM_MEDIA_TYPE& mt = type.Get();
                if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.pbFormat &&
                    mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
                    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
                    scan.haveSubtype = true;
                    scan.videoSubtype = mt.subtype;
                    if (width) *width = vih->bmiHeader.biWidth;
                    if (height) *height = std::labs(vih->bmiHeader.biHeight);
                    if (bitRate) *bitRate = static_cast<LONG>(vih->dwBitRate);
                } else if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2)) {
                    Trace("VideoInfo Header 2");
                } else if (IsEqualGUID(mt.formattype, FORMAT_MPEG2Video)) {
                    Trace("Mpeg2Video Header 2");
                }
            }
        } else if (IsEqualGUID(type, MEDIATYPE_Audio)) {
            scan.audioStream = i;
            scan.hasAudio = true;
        }
    }
    return scan;
}

std::u16string PosterPath() {
    WCHAR folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, folder);
    return com::U16(folder, n <= MAX_PATH ? n : 0) + kPosterName;
}

}  // namespace

void ConversionEngine::ProbeSource(SourceFacts& facts) {
    facts = SourceFacts{};
    m_sourceDuration = 0.0;
    // A file that cannot be probed counts as having audio.
    m_sourceHasAudio = VARIANT_TRUE;
    m_sourceHasVideo = true;
    ComPtr<IMediaDet> det;
    m_probeResult = m_factory->CreateMediaDetector(det.Put());
    if (FAILED(m_probeResult) || !det) return;
    Bstr name(m_inputFile);
    m_probeResult = det->put_Filename(name.Get());
    if (FAILED(m_probeResult)) return;
    m_sourceHasAudio = VARIANT_FALSE;
    const StreamScan scan = ScanStreams(det.Get(), &facts.frameRate, &m_sourceDuration, &facts.width,
                                        &facts.height, nullptr);
    if (scan.hasAudio) m_sourceHasAudio = VARIANT_TRUE;
    m_sourceHasVideo = scan.hasVideo;
}

void ConversionEngine::GetFileInfo(const std::u16string& fileName, const FileInfoRequest& r) {
    if (r.frameRate) *r.frameRate = 0.0;
    if (r.duration) *r.duration = 0.0;
    if (r.hasVideo) *r.hasVideo = VARIANT_FALSE;
    if (r.hasAudio) *r.hasAudio = VARIANT_FALSE;
    if (r.width) *r.width = 0;
    if (r.height) *r.height = 0;
    // Cleared as well, so a caller never reads an old value.
    if (r.bitRate) *r.bitRate = 0;

    ComPtr<IMediaDet> det;
    Bstr name(fileName);
    const bool opened = SUCCEEDED(m_factory->CreateMediaDetector(det.Put())) && det &&
                        SUCCEEDED(det->put_Filename(name.Get()));
    StreamScan scan;
    if (opened) {
        scan = ScanStreams(det.Get(), r.frameRate, r.duration, r.width, r.height, r.bitRate);
        if (r.hasVideo) *r.hasVideo = scan.hasVideo ? VARIANT_TRUE : VARIANT_FALSE;
        if (r.hasAudio) *r.hasAudio = scan.hasAudio ? VARIANT_TRUE : VARIANT_FALSE;
    }

    if (!r.posterPath) return;
    // The path comes back even for a file the detector cannot open, with
    // no file behind it: an earlier file's poster must never stand for it.
    const std::u16string poster = PosterPath();
    DeleteFileW(com::W(poster));
    *r.posterPath = com::AllocBstr(poster);
    if (!opened) return;
    if (scan.hasVideo) {
        const std::u16string lower = com::FromAnsi(core::AsciiLower(com::ToAnsi(fileName)));
        const bool windowsMedia = (scan.haveSubtype && IsEqualGUID(scan.videoSubtype, MEDIASUBTYPE_Asf)) ||
                                  lower.find(u"asf") != std::u16string::npos ||
                                  lower.find(u"wmv") != std::u16string::npos;
        Bstr posterName(poster);
        det->WriteBitmapBits(windowsMedia ? 0.0 : 1.0, kPosterWidth, kPosterHeight, posterName.Get());
    } else if (scan.audioStream >= 0) {
        // An audio-only file reports its audio length.
        det->put_CurrentStream(scan.audioStream);
        if (r.duration) det->get_StreamLength(r.duration);
    }
}

}  // namespace convctl
