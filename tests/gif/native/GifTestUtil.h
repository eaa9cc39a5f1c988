// Helpers of the GIF tests: files and scratch folders, the independent
// tools (giflib's decoder, gifbuild, netpbm, gifsicle) as references, and
// pictures loaded with their warnings collected.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/forms/Streams.h"
#include "gif/GifImageCore.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
std::string SourcePath(const std::string& relative);

// A scratch folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Runs a shell command; its standard output, and its exit status.
std::string Run(const std::string& command, int* status = nullptr);

// One frame as an independent decoder sees it.
struct RefFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlaced = false;
    Bytes LocalMap;  // triples
    Bytes Pixels;    // rows from the top
    int Disposal = -1, Delay = -1, Transparent = -1;
};

struct RefGif {
    bool Ok = false;
    int Width = 0, Height = 0, Background = 0, Aspect = 0;
    Bytes GlobalMap;
    std::vector<RefFrame> Frames;
    int LoopCount = -1;
    std::vector<std::string> Comments;
};

// giflib's DGifSlurp over the bytes.
RefGif SlurpWithGiflib(const Bytes& gif);
// The frames' indices as `gifbuild -d` dumps them.
std::vector<RefFrame> DumpWithGifbuild(const std::string& gifPath);
// Colours of giftopnm's PPM output (first frame), 3 bytes a pixel.
Bytes ColoursWithGiftopnm(const std::string& gifPath, int* width, int* height);

// A picture that keeps its warnings.
class TestImage : public gif::TGIFImageCore {
public:
    TestImage();
    std::vector<std::string> Warnings;
};

// Loads; an error's message goes to *error (empty when none).
std::unique_ptr<TestImage> LoadGif(const Bytes& bytes, std::string* error = nullptr);
Bytes SaveGif(gif::TGIFImageCore& image);
Bytes StreamBytes(forms::TMemoryStream& stream);

// A deterministic pseudo-random sequence.
class Random {
public:
    explicit Random(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

private:
    uint32_t m_state;
};

// Pixels of a picture with areas, gradients and noise: compresses the way
// photographs reduced to a palette do.
Bytes PatternPixels(int width, int height, int colours, uint32_t seed);

}  // namespace giftest
