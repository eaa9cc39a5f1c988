#include "platform/dshow/MediaResult.h"

#include <dshow.h>
#include <vfwmsgs.h>

namespace dshow {

HRESULT ResultOf(const media::MediaError& e) {
    using media::ErrorKind;
    switch (e.Kind()) {
    case ErrorKind::NotFound: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ErrorKind::AccessDenied: return E_ACCESSDENIED;
    case ErrorKind::NotMedia: return VFW_E_UNKNOWN_FILE_TYPE;
    case ErrorKind::Unsupported: return VFW_E_UNSUPPORTED_STREAM;
    case ErrorKind::Corrupt: return VFW_E_INVALID_FILE_FORMAT;
    case ErrorKind::Io: return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    case ErrorKind::NoMemory: return E_OUTOFMEMORY;
    case ErrorKind::Aborted: return E_ABORT;
    case ErrorKind::Internal: break;
    }
    return E_FAIL;
}

}  // namespace dshow
