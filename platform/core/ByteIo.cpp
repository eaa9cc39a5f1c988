#include "platform/core/ByteIo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/MediaError.h"

namespace media {

namespace {

constexpr int kIoBufferSize = 256 * 1024;

class PosixFile final : public ByteSource, public ByteSink {
public:
    explicit PosixFile(int fd) : m_fd(fd) {}
    ~PosixFile() override { close(m_fd); }

    int Read(uint8_t* buf, int size) override {
        for (;;) {
            const ssize_t n = read(m_fd, buf, static_cast<size_t>(size));
            if (n >= 0) return static_cast<int>(n);
            if (errno != EINTR) return AVERROR(errno);
        }
    }
    int Write(const uint8_t* buf, int size) override {
        while (size > 0) {
            const ssize_t n = write(m_fd, buf, static_cast<size_t>(size));
            if (n < 0) {
                if (errno == EINTR) continue;
                return AVERROR(errno);
            }
            buf += n;
            size -= static_cast<int>(n);
        }
        return 0;
    }
    int64_t Seek(int64_t offset, int whence) override {
        const off_t r = lseek(m_fd, offset, whence);
        return r < 0 ? AVERROR(errno) : r;
    }
    int64_t Size() override {
        struct stat st {};
        return fstat(m_fd, &st) == 0 ? st.st_size : AVERROR(errno);
    }

private:
    int m_fd;
};

[[noreturn]] void FailOpen(int err, const std::string& path) {
    const int av = AVERROR(err);
    const ErrorKind kind = KindOfAvError(av);
    std::string text = kind == ErrorKind::NotFound       ? "The file does not exist"
                       : kind == ErrorKind::AccessDenied ? "The file cannot be opened (access denied)"
                       : kind == ErrorKind::NotMedia     ? "The path names a folder, not a file"
                                                         : "The file cannot be opened (" + AvErrorText(av) + ")";
    throw MediaError(kind == ErrorKind::Internal ? ErrorKind::Io : kind, text + ": " + path, av);
}

int ReadCallback(void* opaque, uint8_t* buf, int size) {
    const int n = static_cast<ByteSource*>(opaque)->Read(buf, size);
    return n == 0 ? AVERROR_EOF : n;
}

int WriteCallback(void* opaque, uint8_t* buf, int size) {
    const int r = static_cast<ByteSink*>(opaque)->Write(buf, size);
    return r < 0 ? r : size;
}

int64_t SourceSeek(void* opaque, int64_t offset, int whence) {
    auto* source = static_cast<ByteSource*>(opaque);
    if (whence & AVSEEK_SIZE) return source->Size();
    return source->Seek(offset, whence & ~AVSEEK_FORCE);
}

int64_t SinkSeek(void* opaque, int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) return AVERROR(ENOSYS);
    return static_cast<ByteSink*>(opaque)->Seek(offset, whence & ~AVSEEK_FORCE);
}

IoContextPtr MakeContext(void* opaque, bool write, int (*read)(void*, uint8_t*, int),
                         int (*writeFn)(void*, uint8_t*, int), int64_t (*seek)(void*, int64_t, int)) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    IoContextPtr io(avio_alloc_context(buffer, kIoBufferSize, write ? 1 : 0, opaque, read, writeFn, seek));
    if (!io) {
        av_free(buffer);
        throw MediaError(ErrorKind::NoMemory, "Out of memory");
    }
    return io;
}

}  // namespace

FramePtr MakeFrame() {
    FramePtr f(av_frame_alloc());
    if (!f) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    return f;
}

PacketPtr MakePacket() {
    PacketPtr p(av_packet_alloc());
    if (!p) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    return p;
}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) FailOpen(errno, path);
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        FailOpen(EISDIR, path);
    }
    return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<ByteSink> CreateFileSink(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) FailOpen(errno, path);
    return std::make_unique<PosixFile>(fd);
}

SourceOpener FileOpener(const std::string& path) {
    return [path] { return OpenFileSource(path); };
}

IoContextPtr MakeReadContext(ByteSource& source) {
    return MakeContext(&source, false, &ReadCallback, nullptr, &SourceSeek);
}

IoContextPtr MakeWriteContext(ByteSink& sink) {
    return MakeContext(&sink, true, nullptr, &WriteCallback, &SinkSeek);
}

}  // namespace media
