// libFuzzer target for the whole load path of GIF data: header, extension
// blocks, frame descriptors and tables, LZW data, trailer. What loads is
// saved with both encoders and loaded again, and must give the same
// pictures and extensions: a difference stops the run as a crash would.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gif/GifImageCore.h"

namespace {

std::vector<uint8_t> Save(gif::TGIFImageCore& image) {
    forms::TMemoryStream out;
    image.SaveToStream(out);
    return out.Bytes();
}

std::vector<std::vector<uint8_t>> Pictures(gif::TGIFImageCore& image) {
    std::vector<std::vector<uint8_t>> out;
    for (int i = 0; i < image.Frames().ItemCount(); ++i) {
        gif::TGIFSubImageCore& f = image.Frames().FrameAt(i);
        if (!f.IsEmpty()) out.emplace_back(f.Pixels(), f.Pixels() + f.PixelCount());
    }
    return out;
}

int ExtensionCount(gif::TGIFImageCore& image) {
    int n = 0;
    for (int i = 0; i < image.Frames().ItemCount(); ++i) n += image.Frames().FrameAt(i).Extensions().ItemCount();
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gif::TGIFImageCore image;
    int warnings = 0;
    image.OnGIFWarning = [&warnings](forms::TObject*, uint8_t, const std::string&) { ++warnings; };
    forms::TMemoryStream in(std::vector<uint8_t>(data, data + size));
    try {
        image.LoadFromStream(in);
    } catch (const forms::Exception&) {
        if (!image.Empty()) std::abort();  // a failed load leaves nothing behind
        return 0;
    }
    // Large pictures are loaded only: encoding them twice would slow the
    // search more than it finds.
    int64_t pixels = 0;
    for (int i = 0; i < image.Frames().ItemCount(); ++i) pixels += image.Frames().FrameAt(i).PixelCount();
    if (pixels > (int64_t{1} << 16)) return 0;
    for (uint8_t encoder : {gif::kEncoderLZW, gif::kEncoderRLE}) {
        image.EncoderKind = encoder;
        std::vector<uint8_t> saved;
        try {
            saved = Save(image);
        } catch (const gif::GIFException&) {
            return 0;  // indices outside the tables, or no frames: refused, not written
        }
        gif::TGIFImageCore again;
        forms::TMemoryStream back(saved);
        again.LoadFromStream(back);  // our own output must load
        // Frames that hold only extensions may come back merged with the
        // next; the pictures and the extensions stay.
        if (Pictures(again) != Pictures(image) || ExtensionCount(again) != ExtensionCount(image)) std::abort();
    }
    return 0;
}
