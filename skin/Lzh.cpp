#include "skin/Lzh.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace skin {

// ---- The tree ----------------------------------------------------------------------

void LzhTree::Start() {
    for (int i = 0; i < kLzhSymbols; ++i) {
        freq[i] = 1;
        son[i] = static_cast<uint16_t>(i + kLzhTreeSize);
        prnt[i + kLzhTreeSize] = static_cast<uint16_t>(i);
    }
    for (int i = 0, j = kLzhSymbols; j <= kLzhRoot; i += 2, ++j) {
        freq[j] = static_cast<uint16_t>(freq[i] + freq[i + 1]);
        son[j] = static_cast<uint16_t>(i);
        prnt[i] = prnt[i + 1] = static_cast<uint16_t>(j);
    }
    freq[kLzhTreeSize] = 0xFFFF;
    prnt[kLzhRoot] = 0;
}

void LzhTree::Rebuild() {
    // Leaves to the front, in node order, at half their frequency.
    int j = 0;
    for (int i = 0; i < kLzhTreeSize; ++i)
        if (son[i] >= kLzhTreeSize) {
            freq[j] = static_cast<uint16_t>((freq[i] + 1) / 2);
            son[j] = son[i];
            ++j;
        }
    // Inner nodes: each pair's sum goes in behind every node of equal or
    // smaller frequency.
    for (int i = 0, n = kLzhSymbols; n < kLzhTreeSize; i += 2, ++n) {
        const unsigned f = freq[i] + freq[i + 1];
        int k = n - 1;
        while (f < freq[k]) --k;
        ++k;
        const size_t moved = static_cast<size_t>(n - k) * sizeof(uint16_t);
        std::memmove(&freq[k + 1], &freq[k], moved);
        freq[k] = static_cast<uint16_t>(f);
        std::memmove(&son[k + 1], &son[k], moved);
        son[k] = static_cast<uint16_t>(i);
    }
    for (int i = 0; i < kLzhTreeSize; ++i) {
        const int k = son[i];
        if (k >= kLzhTreeSize) prnt[k] = static_cast<uint16_t>(i);
        else prnt[k] = prnt[k + 1] = static_cast<uint16_t>(i);
    }
}

void LzhTree::Update(int symbol) {
    if (freq[kLzhRoot] == kLzhMaxFreq) Rebuild();
    int c = prnt[symbol + kLzhTreeSize];
    do {
        const unsigned k = ++freq[c];
        int l = c + 1;
        if (k > freq[l]) {
            // Move c behind the last node of smaller frequency, taking its
            // subtree along; the sentinel stops the scan.
            while (k > freq[++l]) {
            }
            --l;
            freq[c] = freq[l];
            freq[l] = static_cast<uint16_t>(k);
            const int i = son[c];
            prnt[i] = static_cast<uint16_t>(l);
            if (i < kLzhTreeSize) prnt[i + 1] = static_cast<uint16_t>(l);
            const int j = son[l];
            son[l] = static_cast<uint16_t>(i);
            prnt[j] = static_cast<uint16_t>(c);
            if (j < kLzhTreeSize) prnt[j + 1] = static_cast<uint16_t>(c);
            son[c] = static_cast<uint16_t>(j);
            c = l;
        }
        c = prnt[c];
    } while (c != 0);
}

// ---- The position code ---------------------------------------------------------------

namespace {

LzhPositionCode MakePositionCode() {
    LzhPositionCode t{};
    // (first upper value, count, code length, first code, code step)
    struct Band {
        int first, count, length, code, step;
    };
    const Band bands[] = {{0, 1, 3, 0x00, 0},     {1, 3, 4, 0x20, 0x10}, {4, 8, 5, 0x50, 8},
                          {12, 12, 6, 0x90, 4}, {24, 24, 7, 0xC0, 2},  {48, 16, 8, 0xF0, 1}};
    for (const Band& b : bands)
        for (int n = 0; n < b.count; ++n) {
            const int u = b.first + n;
            t.code[u] = static_cast<uint8_t>(b.code + n * b.step);
            t.length[u] = static_cast<uint8_t>(b.length);
            // Every byte that starts with this code.
            const int span = 1 << (8 - b.length);
            for (int v = 0; v < span; ++v) {
                t.upperOf[t.code[u] + v] = static_cast<uint8_t>(u);
                t.lengthOf[t.code[u] + v] = static_cast<uint8_t>(b.length);
            }
        }
    return t;
}

}  // namespace

const LzhPositionCode& PositionCode() {
    static const LzhPositionCode table = MakePositionCode();
    return table;
}

// ---- The decoder ---------------------------------------------------------------------

void LzhDecoder::Init(int64_t originalSize) {
    m_tree.Start();
    std::memset(m_ring, ' ', kLzhStartPosition);
    std::memset(m_ring + kLzhStartPosition, 0, kLzhRingSize - kLzhStartPosition);
    m_write = kLzhStartPosition;
    m_size = originalSize;
    m_produced = 0;
    m_bits = 0;
    m_bitCount = 0;
    m_node = -1;
    m_copyLeft = 0;
    m_phase = originalSize > 0 ? Phase::Symbol : Phase::Done;
}

LzhStatus LzhDecoder::Decode(const uint8_t* in, size_t* inSize, uint8_t* out, size_t* outSize, bool inputEnd) {
    const LzhPositionCode& pc = PositionCode();
    size_t inPos = 0, outPos = 0;
    const size_t inEnd = *inSize, outEnd = *outSize;
    LzhStatus status = LzhStatus::Finished;

    // Makes at least n bits available; false when the input has run out
    // (and more may come).
    auto need = [&](int n) {
        while (m_bitCount < n) {
            uint8_t byte = 0;
            if (inPos < inEnd) byte = in[inPos++];
            else if (!inputEnd) return false;
            m_bits |= static_cast<uint32_t>(byte) << (24 - m_bitCount);
            m_bitCount += 8;
        }
        return true;
    };
    auto take = [&](int n) {
        const uint32_t v = m_bits >> (32 - n);
        m_bits <<= n;
        m_bitCount -= n;
        return static_cast<int>(v);
    };

    for (;;) {
        if (m_phase == Phase::Done) {
            status = LzhStatus::Finished;
            break;
        }
        if (m_phase == Phase::Symbol) {
            if (m_node < 0) {
                if (m_produced >= m_size) {
                    m_phase = Phase::Done;
                    continue;
                }
                if (outPos == outEnd) {
                    status = LzhStatus::OutputFull;
                    break;
                }
                m_node = m_tree.son[kLzhRoot];
            }
            while (m_node < kLzhTreeSize) {
                if (!need(1)) break;
                m_node = m_tree.son[m_node + take(1)];
            }
            if (m_node < kLzhTreeSize) {
                status = LzhStatus::NeedsInput;
                break;
            }
            const int c = m_node - kLzhTreeSize;
            m_node = -1;
            m_tree.Update(c);
            if (c < 256) {
                const uint8_t b = static_cast<uint8_t>(c);
                out[outPos++] = b;
                m_ring[m_write] = b;
                m_write = (m_write + 1) & (kLzhRingSize - 1);
                ++m_produced;
            } else {
                m_matchLength = c - 255 + kLzhThreshold;
                m_phase = Phase::PositionHigh;
            }
            continue;
        }
        if (m_phase == Phase::PositionHigh) {
            if (!need(8)) {
                status = LzhStatus::NeedsInput;
                break;
            }
            const int byte = take(8);
            m_positionValue = byte;
            m_positionBitsLeft = pc.lengthOf[byte] - 2;
            m_copyFrom = pc.upperOf[byte] << 6;  // upper bits, until the lower ones are in
            m_phase = Phase::PositionLow;
            continue;
        }
        if (m_phase == Phase::PositionLow) {
            while (m_positionBitsLeft > 0 && need(1)) {
                m_positionValue = (m_positionValue << 1) + take(1);
                --m_positionBitsLeft;
            }
            if (m_positionBitsLeft > 0) {
                status = LzhStatus::NeedsInput;
                break;
            }
            const int position = m_copyFrom | (m_positionValue & 0x3F);
            m_copyFrom = (m_write - position - 1) & (kLzhRingSize - 1);
            m_copyLeft = m_matchLength;
            m_phase = Phase::Copy;
            continue;
        }
        // Phase::Copy: byte by byte, so that a match may overlap itself.
        while (m_copyLeft > 0 && outPos < outEnd) {
            const uint8_t b = m_ring[m_copyFrom];
            m_copyFrom = (m_copyFrom + 1) & (kLzhRingSize - 1);
            out[outPos++] = b;
            m_ring[m_write] = b;
            m_write = (m_write + 1) & (kLzhRingSize - 1);
            ++m_produced;
            --m_copyLeft;
        }
        if (m_copyLeft > 0) {
            status = LzhStatus::OutputFull;
            break;
        }
        m_phase = Phase::Symbol;
    }
    *inSize = inPos;
    *outSize = outPos;
    return status;
}

// ---- Decoding through callbacks ------------------------------------------------------

void TLZH::Decode(int64_t originalSize, const BlockFunction& readBlock, const BlockFunction& writeBlock) {
    std::unique_ptr<LzhDecoder> decoder(new (std::nothrow) LzhDecoder);
    std::unique_ptr<uint8_t[]> inBuffer(new (std::nothrow) uint8_t[4096]);
    std::unique_ptr<uint8_t[]> outBuffer(new (std::nothrow) uint8_t[16384]);
    if (!decoder || !inBuffer || !outBuffer) throw ElzhException(u"LZH : Cannot get memory for dictionary tables");
    decoder->Init(originalSize);
    size_t have = 0, at = 0;
    bool inputEnd = false;
    for (;;) {
        if (at == have && !inputEnd) {
            int actual = 0;
            readBlock(inBuffer.get(), 4096, actual);
            at = 0;
            have = actual > 0 ? static_cast<size_t>(actual) : 0;
            inputEnd = have == 0;
        }
        size_t inSize = have - at, outSize = 16384;
        const LzhStatus status = decoder->Decode(inBuffer.get() + at, &inSize, outBuffer.get(), &outSize, inputEnd);
        at += inSize;
        if (outSize > 0) {
            int written = 0;
            writeBlock(outBuffer.get(), static_cast<int>(outSize), written);
        }
        if (status == LzhStatus::Finished) break;
    }
}

}  // namespace skin
