// gifcopy: loads a GIF file through the picture registry, as the program
// does, and saves it again, optionally optimised first. For checks of the
// GIF code against other tools, outside the test suite.
//
//   gifcopy [--optimise] IN OUT
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "framework/forms/Graphics.h"
#include "gif/GifPicture.h"

int main(int argc, char** argv) {
    bool optimise = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--optimise") == 0 || std::strcmp(argv[i], "--optimize") == 0)
            optimise = true;
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() != 2) {
        std::fprintf(stderr, "usage: gifcopy [--optimise] IN OUT\n");
        return 2;
    }
    const std::string& in = paths[0];
    const std::string& out = paths[1];
    gif::TGIFImageRegistration registration;
    forms::TPicture picture;
    try {
        picture.LoadFromFile(forms::Utf8ToText(in));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gifcopy: cannot read %s: %s\n", in.c_str(), e.what());
        return 1;
    }
    auto* image = dynamic_cast<gif::TGIFImage*>(picture.Graphic());
    if (!image) {
        std::fprintf(stderr, "gifcopy: cannot read %s: not a GIF picture\n", in.c_str());
        return 1;
    }
    try {
        if (optimise) image->OptimizeFrames(gif::kAllOptimizeSteps, 0, 0, 8);
        picture.SaveToFile(forms::Utf8ToText(out));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gifcopy: cannot write %s: %s\n", out.c_str(), e.what());
        return 1;
    }
    return 0;
}
