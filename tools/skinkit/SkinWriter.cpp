#include "tools/skinkit/SkinWriter.h"

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>

#include "skin/Lzh.h"

namespace skinkit {

using namespace skin;

namespace {

class BitWriter {
public:
    // The low count bits of value, most significant first.
    void Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = static_cast<uint8_t>(m_byte << 1 | ((value >> i) & 1));
            if (++m_used == 8) {
                m_out.push_back(m_byte);
                m_byte = 0;
                m_used = 0;
            }
        }
    }
    // The last partial byte, padded with zero bits.
    std::vector<uint8_t> Finish() {
        if (m_used) m_out.push_back(static_cast<uint8_t>(m_byte << (8 - m_used)));
        m_used = 0;
        return std::move(m_out);
    }

private:
    std::vector<uint8_t> m_out;
    uint8_t m_byte = 0;
    int m_used = 0;
};

struct Encoder {
    LzhTree tree;
    BitWriter bits;

    void Symbol(int c) {
        // From the leaf up to the root's child; the root's end goes first.
        uint8_t path[kLzhTreeSize];
        int depth = 0;
        for (int k = tree.prnt[c + kLzhTreeSize]; k != kLzhRoot; k = tree.prnt[k]) path[depth++] = k & 1;
        while (depth > 0) bits.Put(path[--depth], 1);
        tree.Update(c);
    }

    void Position(int p) {
        const LzhPositionCode& pc = PositionCode();
        const int upper = p >> 6;
        bits.Put(pc.code[upper] >> (8 - pc.length[upper]), pc.length[upper]);
        bits.Put(static_cast<uint32_t>(p & 0x3F), 6);
    }
};

}  // namespace

std::vector<uint8_t> LzhEncode(const std::vector<uint8_t>& data, bool literalsOnly) {
    auto e = std::make_unique<Encoder>();
    e->tree.Start();
    const size_t n = data.size();
    constexpr int kHashSize = 1 << 15;
    constexpr int kChainLimit = 256;
    std::vector<int64_t> head(kHashSize, -1);
    std::vector<int64_t> prev(kLzhRingSize, -1);
    auto hash = [&](size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
    };
    auto insert = [&](size_t i) {
        if (i + 2 >= n) return;
        const int h = hash(i);
        prev[i & (kLzhRingSize - 1)] = head[h];
        head[h] = static_cast<int64_t>(i);
    };

    size_t pos = 0;
    while (pos < n) {
        int bestLength = 0;
        size_t bestDistance = 0;
        const size_t maxLength = std::min<size_t>(kLzhLookahead, n - pos);
        if (!literalsOnly && maxLength > static_cast<size_t>(kLzhThreshold)) {
            int chain = 0;
            for (int64_t cand = head[hash(pos)]; cand >= 0 && chain < kChainLimit;
                 cand = prev[cand & (kLzhRingSize - 1)], ++chain) {
                const size_t distance = pos - static_cast<size_t>(cand);
                // Only bytes still in the decoder's ring; older chain links
                // may have been overwritten.
                if (distance > static_cast<size_t>(kLzhRingSize)) break;
                size_t len = 0;
                while (len < maxLength && data[cand + len] == data[pos + len]) ++len;
                if (static_cast<int>(len) > bestLength) {
                    bestLength = static_cast<int>(len);
                    bestDistance = distance;
                    if (len == maxLength) break;
                }
            }
        }
        if (bestLength > kLzhThreshold) {
            e->Symbol(bestLength + 255 - kLzhThreshold);
            e->Position(static_cast<int>(bestDistance - 1));
            for (int i = 0; i < bestLength; ++i) insert(pos + i);
            pos += static_cast<size_t>(bestLength);
        } else {
            e->Symbol(data[pos]);
            insert(pos);
            ++pos;
        }
    }
    return e->bits.Finish();
}

namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> BuildDirectory(const std::vector<SkinEntry>& entries, const WriterFaults& faults) {
    if (entries.size() > 1001 && !faults.allowManyNames) throw std::invalid_argument("more than 1001 entries");
    std::set<std::string> seen;
    std::string list;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::string lower = entries[i].name;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (lower.empty() || lower.find_first_of("\\/:\r\n") != std::string::npos)
            throw std::invalid_argument("bad entry name: " + entries[i].name);
        if (!seen.insert(lower).second) throw std::invalid_argument("repeated entry name: " + entries[i].name);
        list += entries[i].name;
        if (i + 1 < entries.size() || faults.finalBreak) list += faults.lineBreak;
    }
    std::vector<uint8_t> out;
    PutInt32(out, faults.version);
    PutInt32(out, static_cast<int32_t>(list.size()));
    PutInt32(out, 0);
    PutInt32(out, 0);
    out.insert(out.end(), list.begin(), list.end());
    for (size_t i = 0; i < entries.size(); ++i) {
        int32_t size = static_cast<int32_t>(entries[i].bytes.size());
        if (i + 1 == entries.size()) size += faults.sizeSkew;
        PutInt32(out, size);
    }
    for (const SkinEntry& e : entries) out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    return out;
}

std::vector<uint8_t> WriteSkinArchive(const std::vector<SkinEntry>& entries, const WriterFaults& faults) {
    const std::vector<uint8_t> directory = BuildDirectory(entries, faults);
    std::vector<uint8_t> file;
    PutInt32(file, static_cast<int32_t>(faults.originalSize == -2 ? static_cast<int64_t>(directory.size())
                                                                   : faults.originalSize));
    const std::vector<uint8_t> stream = LzhEncode(directory, faults.literalsOnly);
    file.insert(file.end(), stream.begin(), stream.end());
    if (faults.truncateTo >= 0 && static_cast<size_t>(faults.truncateTo) < file.size())
        file.resize(static_cast<size_t>(faults.truncateTo));
    return file;
}

}  // namespace skinkit

namespace skinkit {

std::vector<uint8_t> WrapAsLhaArchive(const std::string& memberName, const std::vector<uint8_t>& original,
                                      const std::vector<uint8_t>& stream) {
    uint16_t crc = 0;  // CRC-16, reflected polynomial 0xA001
    for (uint8_t b : original) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    std::vector<uint8_t> body = {'-', 'l', 'h', '1', '-'};
    PutInt32(body, static_cast<int32_t>(stream.size()));
    PutInt32(body, static_cast<int32_t>(original.size()));
    PutInt32(body, 0x5A2B0000);  // a DOS time stamp
    body.push_back(0x20);        // archive attribute
    body.push_back(0);           // header level
    body.push_back(static_cast<uint8_t>(memberName.size()));
    body.insert(body.end(), memberName.begin(), memberName.end());
    body.push_back(static_cast<uint8_t>(crc));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    uint8_t sum = 0;
    for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
    std::vector<uint8_t> out;
    out.reserve(2 + body.size() + stream.size() + 1);
    out.push_back(static_cast<uint8_t>(body.size()));
    out.push_back(sum);
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), stream.begin(), stream.end());
    out.push_back(0);
    return out;
}

std::vector<uint8_t> StoredSkinArchive(const std::vector<uint8_t>& archive) {
    const uint32_t n = static_cast<uint32_t>(archive.size());
    std::vector<uint8_t> s(archive.size() + 4);
    for (int i = 0; i < 4; ++i) s[i] = static_cast<uint8_t>(n >> (8 * i));
    std::copy(archive.begin(), archive.end(), s.begin() + 4);
    return s;
}

}  // namespace skinkit
