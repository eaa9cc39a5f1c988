// Whole-file reads and writes for the ini files and string lists. Two
// builds: POSIX files for the native tests, Win32 files in the program.
#pragma once

#include <cstddef>
#include <string>

#include "framework/forms/SysUtils.h"

namespace forms {

enum class FileReadResult { Ok, Missing, TooLarge, Failed };

class FileStore {
public:
    virtual ~FileStore() = default;
    // Reads the whole file if it holds at most limit bytes.
    virtual FileReadResult Read(const String& path, std::string& bytes, size_t limit) const = 0;
    // Replaces the file's contents as a whole. A file marked read-only is
    // refused; on any failure the file keeps what it held and the caller
    // still has its data.
    virtual bool Write(const String& path, const std::string& bytes) const = 0;
};

// The store of this build.
const FileStore& DefaultFileStore();

}  // namespace forms
