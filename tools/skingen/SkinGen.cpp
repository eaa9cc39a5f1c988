// Draws the skins at build time: the built-in default skin (as an archive
// and as the main window's stored skin stream, a C++ byte array), the
// skins shipped in the program's Skins folder, and the system-menu glyphs.
//
//   skingen <folder>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "tools/skinkit/DefaultSkin.h"

namespace {

// Each file appears whole: several targets of a parallel build may run
// this generator at once, and a compiler must never read a half-written
// file.
bool Publish(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary);
        out << bytes;
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return Publish(path, std::string(bytes.begin(), bytes.end()));
}

// The stored form of the skin data component's SkinStream property: the
// int32 byte count, then the archive.
bool WriteStoredStream(const std::string& path, const std::vector<uint8_t>& archive) {
    std::vector<uint8_t> stream;
    const uint32_t n = static_cast<uint32_t>(archive.size());
    for (int i = 0; i < 4; ++i) stream.push_back(static_cast<uint8_t>(n >> (8 * i)));
    stream.insert(stream.end(), archive.begin(), archive.end());
    std::ostringstream out;
    out << "// Drawn by tools/skingen at build time: the main window's built-in skin,\n"
           "// as the skin data component's stored SkinStream property.\n"
           "#include <cstddef>\n\nnamespace app {\n\nextern const unsigned char kStoredSkinStream[];\n"
           "extern const size_t kStoredSkinStreamSize;\n\nconst unsigned char kStoredSkinStream[] = {";
    for (size_t i = 0; i < stream.size(); ++i) {
        if (i % 24 == 0) out << "\n   ";
        out << ' ' << static_cast<unsigned>(stream[i]) << ',';
    }
    out << "\n};\nconst size_t kStoredSkinStreamSize = sizeof kStoredSkinStream;\n\n}  // namespace app\n";
    return Publish(path, out.str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: skingen <folder>\n";
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    try {
        const auto archive = skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette()));
        bool ok = WriteFile(dir + "default.skn", archive) && WriteStoredStream(dir + "DefaultSkinStream.cpp", archive);
        for (const std::string& name : skinkit::ShippedSkinNames())
            ok = ok && WriteFile(dir + name + ".skn",
                                 skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::ShippedPalette(name))));
        ok = ok && WriteFile(dir + "pelimormenu.bmp", skinkit::EncodeBmp(skinkit::MenuGlyphs()));
        if (!ok) {
            std::cerr << "skingen: cannot write into " << dir << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "skingen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
