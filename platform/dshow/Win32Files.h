// Files by Windows path for the media core, through the Win32 file API, so
// that any path a Windows program hands over works (drive letters, UNC,
// non-ASCII names).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/core/ByteIo.h"

namespace dshow {

// Throws media::MediaError (NotFound, AccessDenied, NotMedia for a folder).
std::unique_ptr<media::ByteSource> OpenWin32Source(const std::u16string& path);
media::SourceOpener Win32Opener(const std::u16string& path);
// CreateFileW for writing with the given disposition; a read-only file is
// refused with ERROR_ACCESS_DENIED, as Windows does.
HANDLE OpenFileForWriting(const std::u16string& path, DWORD disposition);
// Creates (or truncates) a file for writing; throws media::MediaError.
std::unique_ptr<media::ByteSink> CreateWin32Sink(const std::u16string& path);

}  // namespace dshow
