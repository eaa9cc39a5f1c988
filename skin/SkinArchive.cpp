#include "skin/SkinArchive.h"

#include <cstring>
#include <memory>

#include "framework/core/Utf.h"
#include "skin/Lzh.h"

namespace skin {

const char16_t kOldSkinMessage[] = u"This is Older Skin File\rPlease update to new version !";

namespace {

int32_t ReadInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool TSkinReader::Decode(const uint8_t* data, size_t size, std::vector<uint8_t>& decoded, SkinLoadResult& result) {
    decoded.clear();
    if (size < 4) {
        result = SkinLoadResult::Corrupt;
        return false;
    }
    const int32_t originalSize = ReadInt32(data);
    if (originalSize > kMaxOriginalSize) {
        result = SkinLoadResult::TooLarge;
        return false;
    }
    if (originalSize > 0) {
        auto decoder = std::make_unique<LzhDecoder>();
        decoder->Init(originalSize);
        // A last match may run past the declared size.
        decoded.resize(static_cast<size_t>(originalSize) + kLzhLookahead);
        size_t inSize = size - 4, outSize = decoded.size();
        decoder->Decode(data + 4, &inSize, decoded.data(), &outSize, true);
        decoded.resize(outSize);
    }
    result = SkinLoadResult::Ok;
    return true;
}

bool TSkinReader::ReadDirectory(const std::vector<uint8_t>& decoded, std::vector<std::string>& names,
                                std::vector<int32_t>& sizes, int32_t header[4], size_t& entryStart,
                                SkinLoadResult& result) {
    const size_t length = decoded.size();
    // The version first: an archive too short to hold one fails it.
    const int32_t version = length >= 4 ? ReadInt32(decoded.data()) : 0;
    if (version != kVersion) {
        result = SkinLoadResult::OldVersion;
        return false;
    }
    result = SkinLoadResult::Corrupt;
    if (length < 16) return false;
    for (int i = 0; i < 4; ++i) header[i] = ReadInt32(decoded.data() + 4 * i);
    const int32_t listLength = header[1];
    if (listLength < 0 || static_cast<size_t>(listLength) > length - 16) return false;

    names.clear();
    const char* list = reinterpret_cast<const char*>(decoded.data() + 16);
    size_t start = 0;
    const size_t end = static_cast<size_t>(listLength);
    while (start < end) {
        size_t stop = start;
        while (stop < end && list[stop] != '\r' && list[stop] != '\n') ++stop;
        if (names.size() == kMaxEntries) return false;
        names.push_back(core::AsciiLower(std::string_view(list + start, stop - start)));
        if (stop < end && list[stop] == '\r') ++stop;
        if (stop < end && list[stop] == '\n') ++stop;
        start = stop;
    }

    const size_t tableStart = 16 + end;
    const size_t count = names.size();
    if (count * 4 > length - tableStart) return false;
    entryStart = tableStart + count * 4;
    sizes.resize(count);
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        sizes[i] = ReadInt32(decoded.data() + tableStart + 4 * i);
        if (sizes[i] < 0) return false;
        total += static_cast<uint32_t>(sizes[i]);
    }
    if (total > length - entryStart) return false;
    result = SkinLoadResult::Ok;
    return true;
}

bool TSkinReader::LoadFromStream(forms::TMemoryStream& source) {
    source.SetPosition(0);
    return LoadFromBytes(source.Memory(), static_cast<size_t>(source.Size()));
}

bool TSkinReader::LoadFromBytes(const uint8_t* data, size_t size) {
    std::vector<uint8_t> decoded;
    return Decode(data, size, decoded, m_result) && LoadDecoded(decoded);
}

bool TSkinReader::LoadDecoded(const std::vector<uint8_t>& decoded) {
    std::vector<std::string> names;
    std::vector<int32_t> sizes;
    int32_t header[4] = {};
    size_t entryStart = 0;
    if (!ReadDirectory(decoded, names, sizes, header, entryStart, m_result)) return false;

    m_names = std::move(names);
    m_sizes = std::move(sizes);
    std::memcpy(m_header, header, sizeof m_header);
    m_offsets.resize(m_sizes.size());
    size_t offset = 0;
    for (size_t i = 0; i < m_sizes.size(); ++i) {
        m_offsets[i] = offset;
        offset += static_cast<size_t>(m_sizes[i]);
    }
    m_entries.Clear();
    m_entries.WriteBuffer(decoded.data() + entryStart, static_cast<int64_t>(decoded.size() - entryStart));
    m_entries.SetPosition(0);
    return true;
}

int TSkinReader::IndexOf(const std::string& name) const {
    const std::string key = core::AsciiLower(name);
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == key) return static_cast<int>(i);
    return -1;
}

const uint8_t* TSkinReader::EntryData(int index) const { return m_entries.Memory() + m_offsets[index]; }

size_t TSkinReader::EntrySize(int index) const { return static_cast<size_t>(m_sizes[index]); }

void TSkinReader::GetEntry(const std::string& name, forms::TMemoryStream& dest) const {
    dest.Clear();
    const int i = IndexOf(name);
    if (i < 0) return;
    if (m_sizes[i] > 0) dest.WriteBuffer(EntryData(i), m_sizes[i]);
    dest.SetPosition(0);
}

void TSkinReader::FindEntry(const std::string& part, forms::TMemoryStream& dest, std::string& entryName) const {
    dest.Clear();
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i].find(part) == std::string::npos) continue;
        if (m_sizes[i] > 0) dest.WriteBuffer(EntryData(static_cast<int>(i)), m_sizes[i]);
        dest.SetPosition(0);
        entryName = m_names[i];
        return;
    }
}

}  // namespace skin
