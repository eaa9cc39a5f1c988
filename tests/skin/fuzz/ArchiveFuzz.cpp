// Fuzz target: a whole .skn file through the decoder and the archive
// reader, then every lookup on what loaded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/Lzh.h"
#include "skin/SkinArchive.h"
#include "tools/skinkit/DefaultSkin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Declared sizes between 256 KiB and the reader's limit only cost time.
    if (size >= 4) {
        const int32_t declared = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
        if (declared > (256 << 10) && declared <= skin::TSkinReader::kMaxOriginalSize) return 0;
    }
    skin::TSkinReader reader;
    if (reader.LoadFromBytes(data, size)) {
        forms::TMemoryStream entry;
        for (const std::string& name : reader.Names()) reader.GetEntry(name, entry);
        std::string name;
        reader.FindEntry(".ini", entry, name);
        reader.FindEntry("", entry, name);
    }
    // The same stream again, fed in pieces whose sizes come from the data.
    if (size >= 4 && size < 4096) {
        skin::LzhDecoder decoder;
        decoder.Init(static_cast<int64_t>(data[0]) * 37);
        uint8_t out[97];
        size_t at = 4;
        for (int guard = 0; guard < 100000; ++guard) {
            size_t in = std::min<size_t>(size - at, 1 + data[at % size] % 13), room = 1 + data[(at * 7) % size] % 97;
            const auto s = decoder.Decode(data + at, &in, out, &room, at + in == size);
            at += in;
            if (s == skin::LzhStatus::Finished) break;
        }
    }
    return 0;
}

// The seeds: the built-in skin and small archives of every shape.
std::vector<std::vector<uint8_t>> FuzzSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette())));
    const std::vector<skinkit::SkinEntry> small = {{"a.ini", {'[', 'x', ']'}}, {"b.bmp", {'B', 'M'}}};
    seeds.push_back(skinkit::WriteSkinArchive(small));
    skinkit::WriterFaults f;
    f.literalsOnly = true;
    seeds.push_back(skinkit::WriteSkinArchive(small, f));
    f.lineBreak = "\n";
    f.finalBreak = false;
    f.sizeSkew = 1;
    seeds.push_back(skinkit::WriteSkinArchive(small, f));
    seeds.push_back({0x08, 0, 0, 0, 0xE6, 0xF3, 0xA3, 0xC0, 0x20});
    return seeds;
}
