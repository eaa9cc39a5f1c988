// Source clips made by the FFmpeg command line, for tests that must not
// measure the system against files it wrote itself. Plain POSIX: native
// tests and winelib tests share it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ffclip {

// Runs "ffmpeg -nostdin -v error -y <args> <path>" once per process for the
// path (written aside, then renamed into place) and returns the path.
// Throws std::runtime_error when ffmpeg fails or leaves no file.
std::string Make(const std::string& path, const std::vector<std::string>& args);

// A test pattern of the size and rate with a tone, for the given number of
// seconds, in the container of the path's extension (.avi: MPEG-4 and MP3;
// .wmv: WMV2 and WMA2; .mpg: MPEG-1 and MP2; .mpeg: MPEG-2 program stream
// and MP2). Sizes the codec refuses are rounded up to what it takes.
std::string Pattern(const std::string& path, int width, int height, double seconds, int fps = 25,
                    bool audio = true);

// Several outputs of one run: the shared inputs, then each path with its
// own output options.
std::vector<std::string> MakeMany(const std::vector<std::string>& inputs,
                                  const std::vector<std::pair<std::string, std::vector<std::string>>>& outputs);

// Patterns of several sizes (each as Pattern makes it) in one run.
struct SizedPath {
    std::string path;
    int width, height;
};
std::vector<std::string> Patterns(const std::vector<SizedPath>& clips, double seconds, bool audio = true);

// The file's size in bytes; -1 when it does not exist.
long long FileSize(const std::string& path);

}  // namespace ffclip
