// POSIX files for native builds: paths are UTF-8 Unix paths.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "framework/forms/FileStore.h"

namespace forms {
namespace {

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

    bool Write(const String& path, const std::string& bytes) const override {
        const std::string p = TextToUtf8(path);
        struct stat st {};
        // The owner's write bit stands for the read-only attribute, also for root.
        if (stat(p.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) return false;
        FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) return false;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }
};

}  // namespace

const FileStore& DefaultFileStore() {
    static const StdFileStore store;
    return store;
}

}  // namespace forms
