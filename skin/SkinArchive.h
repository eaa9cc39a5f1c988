// Skin archives (.skn): an int32 decoded size, then the LZHUF stream of a
// small directory: int32 version 20000, int32 name-list length L, two
// reserved int32, L bytes of entry names separated by line breaks, one
// int32 size per name, then the entries back to back. Names are lowercased
// at load. TSkinReader decodes a whole archive and hands out its entries.
//
// The reader trusts nothing in the file: a directory that does not fit
// the decoded data is refused at load, so that every later lookup stays
// inside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/forms/Streams.h"

namespace skin {

enum class SkinLoadResult {
    Ok,
    OldVersion,  // the version is not 20000 (also when too short to hold one)
    Corrupt,     // the directory does not fit the decoded data
    TooLarge,    // the declared size is above kMaxOriginalSize
};

// Shown by the owner of the reader when an archive has the wrong version.
extern const char16_t kOldSkinMessage[];

class TSkinReader {
public:
    static constexpr int32_t kVersion = 20000;
    static constexpr int kMaxEntries = 1001;
    // Far above any skin; a larger declared size is refused before any
    // memory is taken for it.
    static constexpr int64_t kMaxOriginalSize = 64 << 20;

    // Decodes the whole .skn file held in source and reads its directory.
    // True on success; on failure nothing of the reader changes.
    bool LoadFromStream(forms::TMemoryStream& source);
    bool LoadFromBytes(const uint8_t* data, size_t size);
    // The same from an archive already decoded (its LZHUF stream undone).
    bool LoadDecoded(const std::vector<uint8_t>& decoded);
    SkinLoadResult LastResult() const { return m_result; }

    // Copies the entry whose lowercased name equals name, lowercased (the
    // first match), into dest at position 0; dest stays empty without one.
    void GetEntry(const std::string& name, forms::TMemoryStream& dest) const;
    // The first entry whose lowercased name contains part (taken as given);
    // entryName is left alone when there is none.
    void FindEntry(const std::string& part, forms::TMemoryStream& dest, std::string& entryName) const;

    // The same lookups without a copy: the entry's index, or -1.
    int IndexOf(const std::string& name) const;
    const uint8_t* EntryData(int index) const;
    size_t EntrySize(int index) const;

    int Count() const { return static_cast<int>(m_names.size()); }
    const std::vector<std::string>& Names() const { return m_names; }
    const int32_t* Header() const { return m_header; }
    const forms::TMemoryStream& Entries() const { return m_entries; }

    // The directory of a decoded archive, checked; false (with the reason in
    // result) when it does not fit.
    static bool ReadDirectory(const std::vector<uint8_t>& decoded, std::vector<std::string>& names,
                              std::vector<int32_t>& sizes, int32_t header[4], size_t& entryStart,
                              SkinLoadResult& result);
    // Decodes an archive file's LZHUF stream (after its int32 size).
    static bool Decode(const uint8_t* data, size_t size, std::vector<uint8_t>& decoded, SkinLoadResult& result);

private:
    std::vector<std::string> m_names;
    std::vector<int32_t> m_sizes;
    std::vector<size_t> m_offsets;
    int32_t m_header[4] = {};
    forms::TMemoryStream m_entries;
    SkinLoadResult m_result = SkinLoadResult::Ok;
};

}  // namespace skin
