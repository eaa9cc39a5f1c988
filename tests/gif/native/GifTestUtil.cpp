#include "tests/gif/native/GifTestUtil.h"

#include <gif_lib.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace giftest {

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string SourcePath(const std::string& relative) { return std::string(SOURCE_ROOT) + "/" + relative; }

TempDir::TempDir() {
    char pattern[] = "/tmp/giftest.XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    const std::string command = "rm -rf '" + m_path + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", m_path.c_str());
}

std::string Run(const std::string& command, int* status) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

// ---- giflib ------------------------------------------------------------------------

namespace {

struct MemoryInput {
    const Bytes* Data;
    size_t At;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), in->Data->size() - in->At);
    std::memcpy(buffer, in->Data->data() + in->At, n);
    in->At += n;
    return static_cast<int>(n);
}

Bytes MapBytes(const ColorMapObject* map) {
    Bytes out;
    if (!map) return out;
    for (int i = 0; i < map->ColorCount; ++i) {
        out.push_back(map->Colors[i].Red);
        out.push_back(map->Colors[i].Green);
        out.push_back(map->Colors[i].Blue);
    }
    return out;
}

void CollectExtensions(RefGif& ref, const ExtensionBlock* blocks, int count) {
    for (int i = 0; i < count; ++i) {
        const ExtensionBlock& b = blocks[i];
        if (b.Function == COMMENT_EXT_FUNC_CODE) {
            // Further sub-blocks of the comment follow as continuations.
            std::string text(reinterpret_cast<const char*>(b.Bytes), static_cast<size_t>(b.ByteCount));
            for (int k = i + 1; k < count && blocks[k].Function == CONTINUE_EXT_FUNC_CODE; ++k)
                text.append(reinterpret_cast<const char*>(blocks[k].Bytes), static_cast<size_t>(blocks[k].ByteCount));
            ref.Comments.push_back(text);
        } else if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                   (std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 || std::memcmp(b.Bytes, "ANIMEXTS1.0", 11) == 0) &&
                   i + 1 < count && blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE &&
                   blocks[i + 1].ByteCount >= 3 && blocks[i + 1].Bytes[0] == 1) {
            ref.LoopCount = blocks[i + 1].Bytes[1] | (blocks[i + 1].Bytes[2] << 8);
        }
    }
}

}  // namespace

RefGif SlurpWithGiflib(const Bytes& bytes) {
    RefGif ref;
    MemoryInput in{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadMemory, &error);
    if (!gif) return ref;
    if (DGifSlurp(gif) == GIF_OK) {
        ref.Ok = true;
        ref.Width = gif->SWidth;
        ref.Height = gif->SHeight;
        ref.Background = gif->SBackGroundColor;
        ref.Aspect = gif->AspectByte;
        ref.GlobalMap = MapBytes(gif->SColorMap);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& s = gif->SavedImages[i];
            RefFrame f;
            f.Left = s.ImageDesc.Left;
            f.Top = s.ImageDesc.Top;
            f.Width = s.ImageDesc.Width;
            f.Height = s.ImageDesc.Height;
            f.Interlaced = s.ImageDesc.Interlace;
            f.LocalMap = MapBytes(s.ImageDesc.ColorMap);
            f.Pixels.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(f.Width) * f.Height);
            GraphicsControlBlock gcb;
            if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
                f.Disposal = gcb.DisposalMode;
                f.Delay = gcb.DelayTime;
                f.Transparent = gcb.TransparentColor;
            }
            CollectExtensions(ref, s.ExtensionBlocks, s.ExtensionBlockCount);
            ref.Frames.push_back(std::move(f));
        }
        CollectExtensions(ref, gif->ExtensionBlocks, gif->ExtensionBlockCount);
    }
    DGifCloseFile(gif, &error);
    return ref;
}

// ---- gifbuild -d -----------------------------------------------------------------------

std::vector<RefFrame> DumpWithGifbuild(const std::string& gifPath) {
    int status = 0;
    const std::string text = Run("gifbuild -d '" + gifPath + "' 2>/dev/null", &status);
    if (status != 0) throw std::runtime_error("gifbuild -d failed on " + gifPath);
    std::istringstream in(text);
    std::string line;
    std::map<char, int> screenKeys, imageKeys, *keys = nullptr;
    std::vector<RefFrame> frames;
    auto trim = [](std::string s) {
        const size_t a = s.find_first_not_of(" \t");
        return a == std::string::npos ? std::string() : s.substr(a);
    };
    while (std::getline(in, line)) {
        line = trim(line);
        if (line == "screen map") {
            keys = &screenKeys;
            keys->clear();
        } else if (line == "image map") {
            keys = &imageKeys;
            keys->clear();
        } else if (line == "end") {
            keys = nullptr;
        } else if (keys && line.rfind("rgb ", 0) == 0) {
            // Maps of more than 94 colours have no keys; their rasters are hex.
            const size_t is = line.find(" is ");
            if (is != std::string::npos && is + 4 < line.size()) (*keys)[line[is + 4]] = static_cast<int>(keys->size());
        } else if (line.rfind("image # ", 0) == 0) {
            frames.emplace_back();
            imageKeys.clear();
        } else if (line.rfind("image left ", 0) == 0 && !frames.empty()) {
            frames.back().Left = std::stoi(line.substr(11));
        } else if (line.rfind("image top ", 0) == 0 && !frames.empty()) {
            frames.back().Top = std::stoi(line.substr(10));
        } else if (line == "image interlaced" && !frames.empty()) {
            frames.back().Interlaced = true;
        } else if (line.rfind("image bits ", 0) == 0 && !frames.empty()) {
            RefFrame& f = frames.back();
            std::istringstream words(line.substr(11));
            std::string by, mode;
            words >> f.Width >> by >> f.Height >> mode;
            const bool hex = mode == "hex";
            const std::map<char, int>& k = imageKeys.empty() ? screenKeys : imageKeys;
            for (int y = 0; y < f.Height; ++y) {
                std::string row;
                std::getline(in, row);
                for (int x = 0; x < f.Width; ++x) {
                    if (hex) {
                        f.Pixels.push_back(static_cast<uint8_t>(std::stoi(row.substr(2 * x, 2), nullptr, 16)));
                    } else {
                        const auto it = k.find(row.at(static_cast<size_t>(x)));
                        if (it == k.end()) throw std::runtime_error("unknown key in gifbuild dump");
                        f.Pixels.push_back(static_cast<uint8_t>(it->second));
                    }
                }
            }
        }
    }
    return frames;
}

Bytes ColoursWithGiftopnm(const std::string& gifPath, int* width, int* height) {
    int status = 0;
    const std::string ppm = Run("giftopnm '" + gifPath + "' 2>/dev/null | ppmtoppm 2>/dev/null", &status);
    if (status != 0 || ppm.size() < 2 || ppm.compare(0, 2, "P6") != 0)
        throw std::runtime_error("giftopnm failed on " + gifPath);
    std::istringstream in(ppm);
    std::string magic;
    int maxval = 0;
    in >> magic >> *width >> *height >> maxval;
    in.get();
    const size_t offset = static_cast<size_t>(in.tellg());
    return Bytes(ppm.begin() + static_cast<std::ptrdiff_t>(offset), ppm.end());
}

// ---- Pictures ----------------------------------------------------------------------------

TestImage::TestImage() {
    OnGIFWarning = [this](forms::TObject*, uint8_t, const std::string& message) { Warnings.push_back(message); };
}

std::unique_ptr<TestImage> LoadGif(const Bytes& bytes, std::string* error) {
    auto image = std::make_unique<TestImage>();
    forms::TMemoryStream stream(bytes);
    if (error) error->clear();
    try {
        image->LoadFromStream(stream);
    } catch (const std::exception& e) {
        if (!error) throw;
        *error = e.what();
    }
    return image;
}

Bytes StreamBytes(forms::TMemoryStream& stream) { return stream.Bytes(); }

Bytes SaveGif(gif::TGIFImageCore& image) {
    forms::TMemoryStream stream;
    image.SaveToStream(stream);
    return stream.Bytes();
}

Bytes PatternPixels(int width, int height, int colours, uint32_t seed) {
    Random random(seed);
    Bytes pixels(static_cast<size_t>(width) * height);
    const int cx = random.Below(width + 1), cy = random.Below(height + 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int v;
            if (x < width / 3)
                v = (y / 8) % colours;  // bands
            else if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < width * height / 9)
                v = ((x + y) / 3 + (random.Below(4) == 0 ? random.Below(3) : 0)) % colours;  // gradient with noise
            else
                v = random.Below(8) == 0 ? random.Below(colours) : (x / 16 + y / 16) % colours;  // blocks, speckled
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(v);
        }
    }
    return pixels;
}

}  // namespace giftest
