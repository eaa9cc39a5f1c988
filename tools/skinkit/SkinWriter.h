// Making skin archives: the LZHUF encoder and the archive writer. Only the
// build's generators, the archive tool and the tests use them; the program
// itself only reads archives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skinkit {

// LZHUF-codes data as the program's decoder reads it: greedy matches of 3
// to 60 bytes found through hash chains, or literals only (streams that can
// be checked by hand). No size prefix.
std::vector<uint8_t> LzhEncode(const std::vector<uint8_t>& data, bool literalsOnly = false);

struct SkinEntry {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Ways to spoil an archive on purpose, for the reader's failure cases.
struct WriterFaults {
    int32_t version = 20000;
    // The break after each name, and whether the last name has one.
    std::string lineBreak = "\r\n";
    bool finalBreak = true;
    int32_t sizeSkew = 0;          // added to the last entry's size
    int64_t originalSize = -2;     // the declared size; -2 means the true one
    int64_t truncateTo = -1;       // cut the file to this length
    bool allowManyNames = false;   // let more than 1001 names through
    bool literalsOnly = false;
};

// The decoded archive: header, name list, sizes, entries. Throws
// std::invalid_argument for a name that is empty, repeated (without regard
// to case) or holds a path separator or line break, and for more than 1001
// names.
std::vector<uint8_t> BuildDirectory(const std::vector<SkinEntry>& entries, const WriterFaults& faults = {});
// The whole .skn file.
std::vector<uint8_t> WriteSkinArchive(const std::vector<SkinEntry>& entries, const WriterFaults& faults = {});
// An archive as a skin component keeps it in a stored form: its length
// (4 bytes, little-endian), then the archive.
std::vector<uint8_t> StoredSkinArchive(const std::vector<uint8_t>& archive);

}  // namespace skinkit

namespace skinkit {

// The same stream as the one member of an LHA archive (level-0 header,
// method "-lh1-", whose coding is the same LZHUF), so that an independent
// archiver can check it and race the decoder.
std::vector<uint8_t> WrapAsLhaArchive(const std::string& memberName, const std::vector<uint8_t>& original,
                                      const std::vector<uint8_t>& stream);

}  // namespace skinkit
