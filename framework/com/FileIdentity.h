// Which file a path names, whatever its spelling: a folder reached through
// a symbolic link, a "\\?\" or "\\.\" prefix, an 8.3 short name, another
// drive letter for the same folder. Paths are compared by what they open:
// the volume's serial number and the file's index on it.
#pragma once

#include <string>

namespace com {

// "vvvvvvvv:hhhhhhhhllllllll" for an existing file or folder; empty when
// the path opens nothing.
std::string FileIdentity(const std::u16string& path);

// True when both paths open one and the same existing file.
bool SameExistingFile(const std::u16string& a, const std::u16string& b);

}  // namespace com
