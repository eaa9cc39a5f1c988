#include "shellbrowse/ShellText.h"

namespace shellbrowse {

forms::String SizeText(std::uint64_t bytes) {
    if (bytes > 0 && bytes < 1024) bytes = 1024;
    return forms::IntToStr(static_cast<long long>(bytes / 1024)) + u" KB";
}

}  // namespace shellbrowse
