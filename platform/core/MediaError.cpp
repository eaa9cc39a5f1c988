#include "platform/core/MediaError.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace media {

std::string AvErrorText(int avError) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(avError, buf, sizeof buf);
    return buf;
}

ErrorKind KindOfAvError(int avError) {
    switch (avError) {
    case AVERROR(ENOENT): return ErrorKind::NotFound;
    case AVERROR(EACCES):
    case AVERROR(EPERM): return ErrorKind::AccessDenied;
    case AVERROR(EISDIR):
    case AVERROR_INVALIDDATA: return ErrorKind::NotMedia;
    case AVERROR(ENOMEM): return ErrorKind::NoMemory;
    case AVERROR(EIO): return ErrorKind::Io;
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_ENCODER_NOT_FOUND:
    case AVERROR_MUXER_NOT_FOUND:
    case AVERROR_PATCHWELCOME:
    case AVERROR(ENOSYS):
    case AVERROR(EINVAL): return ErrorKind::Unsupported;
    case AVERROR_EXIT: return ErrorKind::Aborted;
    default: return ErrorKind::Internal;
    }
}

int Check(int avError, const char* what) {
    if (avError >= 0) return avError;
    throw MediaError(KindOfAvError(avError), std::string(what) + ": " + AvErrorText(avError), avError);
}

void Fail(ErrorKind kind, const std::string& message) { throw MediaError(kind, message); }

}  // namespace media

extern "C" {
#include <libavutil/log.h>
}
#include <mutex>

namespace media {
void QuietLibraryLogs() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}
}  // namespace media
