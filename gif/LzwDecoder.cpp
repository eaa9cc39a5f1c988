#include "gif/LzwDecoder.h"

#include <algorithm>
#include <cstring>

#include "gif/GifFrame.h"
#include "gif/GifImageCore.h"

namespace gif {

namespace {

constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;
constexpr int kMaxCodeSize = 11;  // 12-bit codes leave no room for larger alphabets

// The state of one frame's decoding; it lives on the caller's stack.
class LzwDecoder {
public:
    LzwDecoder(forms::TStream& stream, const TDecodeWarning& warn) : m_stream(stream), m_warn(warn) {}

    // False when the stream holds no code size byte.
    bool Start() {
        uint8_t size;
        if (!ReadByteFrom(m_stream, size)) return false;
        if (size > kMaxCodeSize) RaiseGIFError(msg::InvalidData);
        m_setCodeSize = size;
        m_clear = 1 << size;
        m_end = m_clear + 1;
        m_codeWidth = size + 1;
        m_nextCode = m_clear + 2;
        m_widthLimit = 2 * m_clear;
        return true;
    }

    // >= 0 a pixel index, -1 the data ran out, -2 the end code.
    int ReadDecodedIndex() {
        if (m_sp > 0) return m_stack[--m_sp];
        return NextDecodedIndex();
    }

    // Pops up to `room` pending indices into `out` in order; used by the
    // row loop to move whole strings at once.
    int TakePending(uint8_t* out, int room) {
        const int n = std::min(room, m_sp);
        for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(m_stack[--m_sp]);
        return n;
    }

    void SkipToTerminator() {
        if (m_terminatorSeen) return;
        SkipSubBlocks(m_stream);
        m_terminatorSeen = true;
        m_finished = true;
    }

private:
    int FetchCode(int width) {
        if (m_pendingClear) {
            m_pendingClear = false;
            return m_clear;
        }
        if (m_curBit + width >= m_lastBit) {
            if (m_finished) {
                if (m_curBit >= m_lastBit) m_warn(msg::BitBufferUnderrun);
                return -1;
            }
            m_buffer[0] = m_buffer[m_byteCount - 2];
            m_buffer[1] = m_buffer[m_byteCount - 1];
            uint8_t count;
            if (!ReadByteFrom(m_stream, count)) return -1;
            if (count > 0) {
                const int64_t left = BytesLeft(m_stream);
                if (left < count) {
                    m_warn(msg::PrematureEnd);
                    count = static_cast<uint8_t>(left);
                }
                if (count > 0) m_stream.ReadBuffer(m_buffer + 2, count);
            } else {
                m_terminatorSeen = true;
                m_finished = true;
            }
            m_byteCount = 2 + count;
            m_curBit = m_curBit - m_lastBit + 16;
            m_lastBit = m_byteCount * 8;
            // A code cut off by the end of the data is no code: the bytes
            // beyond it are left over from the sub-block before.
            if (m_curBit + width > m_lastBit) return -1;
        }
        const int at = m_curBit >> 3;
        const uint32_t bits = m_buffer[at] | (m_buffer[at + 1] << 8) | (static_cast<uint32_t>(m_buffer[at + 2]) << 16);
        m_curBit += width;
        return static_cast<int>((bits >> (m_curBit - width - at * 8)) & ((1u << width) - 1));
    }

    void Push(int index) {
        if (m_sp >= kStackSize) RaiseGIFError(msg::CircularEntry);
        m_stack[m_sp++] = static_cast<uint16_t>(index);
    }

    int NextDecodedIndex() {
        for (;;) {
            int c = FetchCode(m_codeWidth);
            if (c < 0) return c;
            if (c == m_clear) {
                for (int i = 0; i < m_clear; ++i) {
                    m_prefix[i] = 0;
                    m_suffix[i] = static_cast<uint16_t>(i);
                }
                std::memset(m_prefix + m_clear, 0, sizeof(m_prefix[0]) * (kTableSize - m_clear));
                std::memset(m_suffix + m_clear, 0, sizeof(m_suffix[0]) * (kTableSize - m_clear));
                m_codeWidth = m_setCodeSize + 1;
                m_widthLimit = 2 * m_clear;
                m_nextCode = m_clear + 2;
                m_sp = 0;
                do {
                    c = FetchCode(m_codeWidth);
                } while (c == m_clear);
                // The data ran out, or ended, right after a clear.
                if (c < 0) return c;
                if (c != m_end) {
                    m_firstCode = m_prevCode = c;
                    return c;
                }
            }
            if (c == m_end) {
                // The frame's data ends here: whatever follows up to the
                // terminator is skipped, and nothing after it is read.
                SkipToTerminator();
                return -2;
            }
            const int incoming = c;
            if (c >= m_nextCode) {
                Push(m_firstCode);
                c = m_prevCode;
            }
            while (c >= m_clear) {
                Push(m_suffix[c]);
                if (m_prefix[c] == c) RaiseGIFError(msg::CircularEntry);
                c = m_prefix[c];
            }
            m_firstCode = m_suffix[c];
            Push(m_firstCode);
            if (m_nextCode < kTableSize) {
                m_prefix[m_nextCode] = static_cast<uint16_t>(m_prevCode);
                m_suffix[m_nextCode] = static_cast<uint16_t>(m_firstCode);
                ++m_nextCode;
                if (m_nextCode >= m_widthLimit && m_widthLimit < kTableSize) {
                    m_widthLimit *= 2;
                    ++m_codeWidth;
                }
            }
            m_prevCode = incoming;
            if (m_sp > 0) return m_stack[--m_sp];
        }
    }

    forms::TStream& m_stream;
    const TDecodeWarning& m_warn;
    int m_setCodeSize = 0, m_codeWidth = 0, m_clear = 0, m_end = 0;
    int m_nextCode = 0, m_widthLimit = 0;
    int m_firstCode = 0, m_prevCode = 0;
    uint16_t m_prefix[kTableSize];
    uint16_t m_suffix[kTableSize];
    uint16_t m_stack[kStackSize];
    int m_sp = 0;
    // Two bytes carried from the last sub-block, up to 255 new ones, and
    // slack so that a code read past the data stays inside the buffer.
    uint8_t m_buffer[2 + 255 + 3] = {};
    int m_curBit = 0, m_lastBit = 0, m_byteCount = 2;
    bool m_pendingClear = true;
    bool m_terminatorSeen = false;
    bool m_finished = false;
};

// Decodes one row; the result of the last read (>= 0 when the row is full).
inline int DecodeRow(LzwDecoder& decoder, uint8_t* row, int width) {
    int x = 0;
    while (x < width) {
        x += decoder.TakePending(row + x, width - x);
        if (x == width) break;
        const int v = decoder.ReadDecodedIndex();
        if (v < 0) return v;
        row[x++] = static_cast<uint8_t>(v);
    }
    return 0;
}

}  // namespace

void DecodeLzwData(forms::TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                   const TDecodeWarning& warn) {
    LzwDecoder decoder(stream, warn);
    if (!decoder.Start()) return;
    int last = 0;
    if (width > 0 && height > 0) {
        if (!interlaced) {
            for (int y = 0; y < height && last >= 0; ++y)
                last = DecodeRow(decoder, pixels + static_cast<int64_t>(y) * width, width);
        } else {
            static const int kStart[4] = {0, 4, 2, 1};
            static const int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4 && last >= 0; ++pass)
                for (int y = kStart[pass]; y < height && last >= 0; y += kStep[pass])
                    last = DecodeRow(decoder, pixels + static_cast<int64_t>(y) * width, width);
        }
    }
    // Intact data ends with the end code, which is read here. Codes beyond
    // the image are skipped up to the terminator, so that the next block
    // is read where it starts.
    if (last != -2) decoder.ReadDecodedIndex();
    decoder.SkipToTerminator();
}

void DecodeFrameData(TGIFSubImageCore& frame, forms::TStream& stream) {
    // No code stands for more than 4096 pixels, and codes take at least a
    // bit each below that: a frame far larger than the data left could
    // fill is refused before its pixels are allocated, so that a few bytes
    // cannot claim gigabytes.
    const int64_t pixels = static_cast<int64_t>(frame.Width()) * frame.Height();
    const bool fillable = pixels <= kPlausibleFramePixels || pixels / 4096 <= BytesLeft(stream);
    if (!fillable || (frame.Image() && !frame.Image()->ClaimFramePixels(pixels))) RaiseGIFError(msg::PrematureEnd);
    const int t = frame.TransparentIndex();
    frame.FillPixels(static_cast<uint8_t>(t >= 0 ? t : 0));
    const TDecodeWarning warn = [&frame](const std::string& message) { frame.Warn(kWarningSeverity, message); };
    DecodeLzwData(stream, frame.Pixels(), frame.PixelCount() > 0 ? frame.Width() : 0, frame.Height(),
                  frame.Interlaced(), warn);
}

}  // namespace gif
