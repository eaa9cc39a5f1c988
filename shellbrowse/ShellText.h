// Texts the explorer's file list shows. No platform headers.
#pragma once

#include <cstdint>

#include "framework/forms/SysUtils.h"

namespace shellbrowse {

// A file's size in whole KB, at least 1 KB for any non-empty file: "0 KB",
// "1 KB", "1024 KB". Sizes are 64-bit: files of 2 GiB and more show their
// real size, never a negative one (the task list takes an item whose size
// text starts with a digit for a file).
forms::String SizeText(std::uint64_t bytes);

}  // namespace shellbrowse
