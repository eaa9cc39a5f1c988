// Fuzz target: a skin description against an archive of bitmaps. The input
// is the description text, then a zero byte, then the bytes of one more
// bitmap entry ("x.bmp") that the text may name.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "skin/SkinArchive.h"
#include "skin/SkinDescription.h"
#include "tools/skinkit/DefaultSkin.h"

namespace {

std::vector<skinkit::SkinEntry> Bitmaps() {
    auto entries = skinkit::BuildSkinEntries(skinkit::DefaultPalette());
    entries.erase(entries.begin());  // the description comes from the input
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<skinkit::SkinEntry> bitmaps = Bitmaps();
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = zero ? static_cast<size_t>(zero - data) : size;
    std::vector<skinkit::SkinEntry> entries = bitmaps;
    if (zero) entries.push_back({"x.bmp", std::vector<uint8_t>(zero + 1, data + size)});
    skin::TSkinReader reader;
    if (!reader.LoadDecoded(skinkit::BuildDirectory(entries))) __builtin_trap();
    skin::SkinElements elements;
    skin::ParseSkinDescription(std::string(reinterpret_cast<const char*>(data), textSize), reader, elements);
    // Every frame count is a divisor.
    for (const auto& b : elements.SysButtons)
        if (b->FrameCount < 1) __builtin_trap();
    if (elements.Buttons->CheckFrameCount < 1 || elements.BorderTop->FrameCount < 1) __builtin_trap();
    return 0;
}

std::vector<std::vector<uint8_t>> FuzzSeeds() {
    const auto entries = skinkit::BuildSkinEntries(skinkit::DefaultPalette());
    std::vector<uint8_t> seed = entries[0].bytes;
    const std::string extra = "[MDICONTROLS]\r\nImage=x.bmp\r\n[Button.X]\r\nButtonImage=x.bmp\r\n";
    seed.insert(seed.end(), extra.begin(), extra.end());
    seed.push_back(0);
    const auto& bmp = entries[5].bytes;
    seed.insert(seed.end(), bmp.begin(), bmp.end());
    return {entries[0].bytes, seed};
}
