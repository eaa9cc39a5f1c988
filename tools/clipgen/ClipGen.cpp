// clipgen: writes a short synthetic clip.
//   clipgen OUT [--format avi|mpg|mpeg2|wmv] [--size WxH] [--rate N[/D]]
//               [--seconds S] [--no-audio] [--no-video] [--vcodec NAME] [--acodec NAME]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/core/MediaError.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: clipgen OUT [--format avi|mpg|mpeg2|wmv] [--size WxH] [--rate N[/D]] [--seconds S]\n"
                 "               [--no-audio] [--no-video] [--vcodec NAME] [--acodec NAME]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    clipgen::ClipSpec desc;
    const std::string out = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--no-audio") desc.audio = false;
        else if (a == "--no-video") desc.video = false;
        else if (!next) return Usage();
        else if (a == "--format") desc.container = argv[++i];
        else if (a == "--size") {
            if (std::sscanf(argv[++i], "%dx%d", &desc.width, &desc.height) != 2) return Usage();
        } else if (a == "--rate") {
            int num = 0, den = 1;
            if (std::sscanf(argv[++i], "%d/%d", &num, &den) < 1 || num <= 0 || den <= 0) return Usage();
            desc.rate = AVRational{num, den};
        } else if (a == "--seconds") desc.seconds = std::atof(argv[++i]);
        else if (a == "--vcodec") desc.videoEncoder = argv[++i];
        else if (a == "--acodec") desc.audioEncoder = argv[++i];
        else return Usage();
    }
    try {
        clipgen::WriteClip(out, desc);
    } catch (const media::MediaError& e) {
        std::fprintf(stderr, "clipgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
