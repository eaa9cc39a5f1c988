// Errors of the media core. FFmpeg's AVERROR values are read in one place
// (Check) and become a MediaError with a kind the platform layer maps to
// its own codes, and a message a user can read.
#pragma once

#include <stdexcept>
#include <string>

namespace media {

enum class ErrorKind {
    NotFound,      // no such file
    AccessDenied,  // exists but cannot be opened
    NotMedia,      // empty, a folder, or no format recognised
    Unsupported,   // a codec or format we cannot handle
    Corrupt,       // recognised but damaged beyond use
    Io,            // read or write failure
    NoMemory,
    Aborted,       // stopped by the caller
    Internal,
};

class MediaError : public std::runtime_error {
public:
    MediaError(ErrorKind kind, const std::string& message, int avError = 0)
        : std::runtime_error(message), m_kind(kind), m_avError(avError) {}
    ErrorKind Kind() const { return m_kind; }
    int AvError() const { return m_avError; }

private:
    ErrorKind m_kind;
    int m_avError;
};

// FFmpeg's text for an AVERROR value.
std::string AvErrorText(int avError);
ErrorKind KindOfAvError(int avError);

// Returns a non-negative FFmpeg result unchanged; throws MediaError with
// "<what>: <FFmpeg's text>" for a negative one.
int Check(int avError, const char* what);

[[noreturn]] void Fail(ErrorKind kind, const std::string& message);

}  // namespace media

namespace media {
// Lowers FFmpeg's own logging to errors; called by the core's entry points.
void QuietLibraryLogs();
}  // namespace media
