// POSIX files for native builds: paths are UTF-8 Unix paths.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "framework/forms/FileStore.h"

namespace forms {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

class StdFileStore final : public FileStore {
public:
    FileReadResult Read(const String& path, std::string& bytes, size_t limit) const override {
        bytes.clear();
        const std::string p = TextToUtf8(path);
        struct stat st {};
        if (stat(p.c_str(), &st) != 0) return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
        if (!S_ISREG(st.st_mode)) return FileReadResult::Failed;
        if (static_cast<unsigned long long>(st.st_size) > limit) return FileReadResult::TooLarge;
        FILE* f = std::fopen(p.c_str(), "rb");
        if (!f) return FileReadResult::Failed;
        bytes.resize(static_cast<size_t>(st.st_size));
        const size_t n = bytes.empty() ? 0 : std::fread(&bytes[0], 1, bytes.size(), f);
        const bool ok = n == bytes.size() && !std::ferror(f);
        std::fclose(f);
        if (!ok) bytes.clear();
        return ok ? FileReadResult::Ok : FileReadResult::Failed;
    }

    // The new contents go to a file beside the old one, which they replace
    // only once they are complete: a failed write (a full disk) leaves the
    // old file as it was.
    bool Write(const String& path, const std::string& bytes) const override {
        std::string p = TextToUtf8(path);
        struct stat st {};
        const bool exists = stat(p.c_str(), &st) == 0;
        if (exists) {
            // The owner's write bit stands for the read-only attribute, also for root.
            if (!S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR)) return false;
            // Replace the file a link points to, not the link.
            char real[PATH_MAX];
            if (realpath(p.c_str(), real)) p = real;
        }
        std::string temp = p + ".XXXXXX";
        const int fd = mkstemp(&temp[0]);
        if (fd < 0) return false;
        fchmod(fd, exists ? (st.st_mode & 07777) : 0644);
        const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
        if (::close(fd) != 0 || !written || std::rename(temp.c_str(), p.c_str()) != 0) {
            unlink(temp.c_str());
            return false;
        }
        return true;
    }
};

}  // namespace

const FileStore& DefaultFileStore() {
    static const StdFileStore store;
    return store;
}

}  // namespace forms
