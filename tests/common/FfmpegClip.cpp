#include "tests/common/FfmpegClip.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "tests/common/UnixProcess.h"

namespace ffclip {

namespace {

std::string Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

}  // namespace

long long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::vector<std::string> MakeMany(const std::vector<std::string>& inputs,
                                  const std::vector<std::pair<std::string, std::vector<std::string>>>& outputs) {
    static std::vector<std::string> made;
    auto isMade = [](const std::string& p) {
        for (const std::string& m : made)
            if (m == p) return true;
        return false;
    };
    std::vector<std::string> paths, temps;
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), inputs.begin(), inputs.end());
    for (const auto& [path, args] : outputs) {
        paths.push_back(path);
        if (isMade(path)) continue;
        // Test programs run side by side: no reader may see a half-written clip.
        const size_t slash = path.rfind('/');
        temps.push_back(path.substr(0, slash + 1) + "part" + std::to_string(getpid()) + "_" + path.substr(slash + 1));
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(temps.back());
    }
    if (temps.empty()) return paths;
    const bool ok = unixproc::Spawn(argv, "").exitCode == 0;  // ffmpeg's errors to our stderr
    size_t t = 0;
    for (const auto& [path, args] : outputs) {
        if (isMade(path)) continue;
        const std::string& temp = temps[t++];
        if (!ok || FileSize(temp) < 0) {
            std::remove(temp.c_str());
            throw std::runtime_error("ffmpeg could not make " + path);
        }
        if (std::rename(temp.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot rename to " + path);
        made.push_back(path);
    }
    return paths;
}

std::string Make(const std::string& path, const std::vector<std::string>& args) {
    return MakeMany({}, {{path, args}}).front();
}

namespace {

// The encoders of a container, by the path's extension, and a size they take.
std::vector<std::string> EncoderArgs(const std::string& path, int& width, int& height, bool audio) {
    const std::string ext = Extension(path);
    std::string video = "mpeg4", sound = "libmp3lame", format;
    if (ext == "wmv") {
        // The WMV encoders work on whole macroblock pairs of pixels.
        video = "wmv2";
        sound = "wmav2";
        width += width & 1;
        height += height & 1;
    } else if (ext == "mpg") {
        video = "mpeg1video";
        sound = "mp2";
        format = "mpeg";
    } else if (ext == "mpeg") {
        video = "mpeg2video";
        sound = "mp2";
        format = "vob";
    }
    std::vector<std::string> args{"-c:v", video, "-pix_fmt", "yuv420p"};
    if (audio) args.insert(args.end(), {"-c:a", sound, "-ac", "2"});
    else args.push_back("-an");
    if (!format.empty()) args.insert(args.end(), {"-f", format});
    return args;
}

// Inputs limited to the length, so every output of a run gets it.
std::vector<std::string> PatternInputs(int width, int height, double seconds, int fps, bool audio) {
    const std::string t = std::to_string(seconds);
    std::vector<std::string> in{"-t", t, "-f", "lavfi", "-i",
                                "testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) +
                                    ":rate=" + std::to_string(fps)};
    if (audio) in.insert(in.end(), {"-t", t, "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"});
    return in;
}

}  // namespace

std::string Pattern(const std::string& path, int width, int height, double seconds, int fps, bool audio) {
    std::vector<std::string> args = EncoderArgs(path, width, height, audio);
    std::vector<std::string> in = PatternInputs(width, height, seconds, fps, audio);
    in.insert(in.end(), args.begin(), args.end());
    return Make(path, in);
}

std::vector<std::string> Patterns(const std::vector<SizedPath>& clips, double seconds, bool audio) {
    // One run of ffmpeg: the pattern is drawn large and scaled per output.
    std::vector<std::pair<std::string, std::vector<std::string>>> outputs;
    for (SizedPath c : clips) {
        std::vector<std::string> args{"-map", "0:v"};
        if (audio) args.insert(args.end(), {"-map", "1:a"});
        const std::vector<std::string> enc = EncoderArgs(c.path, c.width, c.height, audio);
        args.insert(args.end(), {"-s", std::to_string(c.width) + "x" + std::to_string(c.height)});
        args.insert(args.end(), enc.begin(), enc.end());
        outputs.emplace_back(c.path, args);
    }
    return MakeMany(PatternInputs(64, 64, seconds, 25, audio), outputs);
}

}  // namespace ffclip
