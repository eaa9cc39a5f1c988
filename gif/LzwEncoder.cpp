#include "gif/LzwEncoder.h"

#include <cstring>

#include "gif/GifFrame.h"
#include "gif/GifImageCore.h"

namespace gif {

// ---- Streams ---------------------------------------------------------------------

int64_t TGIFStream::Read(void*, int64_t) { throw forms::Exception(std::string(msg::InvalidStreamOperation)); }

int64_t TGIFStream::Write(const void*, int64_t) {
    throw forms::Exception(std::string(msg::InvalidStreamOperation));
}

int64_t TGIFStream::Seek(int64_t, forms::TSeekOrigin) {
    throw forms::Exception(std::string(msg::InvalidStreamOperation));
}

TGIFWriter::~TGIFWriter() {
    if (!m_dirty) return;
    try {
        FlushBlock();
    } catch (...) {
        // An error is on its way out already; it is the one reported.
    }
}

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) PutByte(p[i]);
    return count;
}

void TGIFWriter::FlushBlock() {
    m_block[0] = static_cast<uint8_t>(m_pos - 1);
    m_dirty = false;
    const int n = m_pos;
    m_pos = 1;
    m_target.WriteBuffer(m_block.data(), n);
}

// ---- THashTable --------------------------------------------------------------------

void THashTable::EmptyTable() { std::memset(m_slots.data(), 0xFF, sizeof(m_slots)); }

void THashTable::StoreCode(uint32_t key, int code) {
    int slot = SlotFor(key);
    const int step = StepFor(slot);
    while (!IsEmpty(m_slots[static_cast<size_t>(slot)])) slot = NextSlot(slot, step);
    m_slots[static_cast<size_t>(slot)] = key << 12 | static_cast<uint32_t>(code);
}

// ---- TGIFEncoder ---------------------------------------------------------------------

void TGIFEncoder::Encode(forms::TStream& stream, int bitsPerPixel, int colourCount, const uint8_t* pixels,
                         bool interlaced, int height, int width) {
    m_bits = bitsPerPixel < 2 ? 2 : bitsPerPixel;
    m_colourCount = colourCount;
    m_pixels = m_pixel = pixels;
    m_interlaced = interlaced;
    m_height = height;
    m_width = width;
    WriteByteTo(stream, static_cast<uint8_t>(m_bits));
    m_startWidth = m_codeWidth = m_bits + 1;
    m_codeLimit = (1 << m_codeWidth) - 1;
    m_clearCode = 1 << m_bits;
    m_endCode = m_clearCode + 1;
    m_firstFree = m_clearCode + 2;
    m_bucket = 0;
    m_bitCount = 0;
    m_left = interlaced ? width : static_cast<int64_t>(width) * height;
    m_row = 0;
    m_pass = 0;
    {
        TGIFWriter writer(stream, m_warn);
        m_writer = &writer;
        try {
            if (pixels && width > 0 && height > 0) CompressPixels();
            EmitCode(m_endCode);
            writer.Finish();
        } catch (...) {
            m_writer = nullptr;
            throw;
        }
        m_writer = nullptr;
    }
    WriteByteTo(stream, 0);
}

void TGIFEncoder::EmitCode(int code) {
    m_bucket = (m_bitCount > 0 ? m_bucket & ((1u << m_bitCount) - 1) : 0) | static_cast<uint32_t>(code) << m_bitCount;
    m_bitCount += m_codeWidth;
    while (m_bitCount > 7) {
        m_writer->PutByte(static_cast<uint8_t>(m_bucket));
        m_bucket >>= 8;
        m_bitCount -= 8;
    }
    if (code == m_endCode) {
        while (m_bitCount > 0) {
            m_writer->PutByte(static_cast<uint8_t>(m_bucket));
            m_bucket >>= 8;
            m_bitCount -= 8;
        }
        m_bitCount = 0;
    }
}

void TGIFEncoder::EmitClear() {
    m_restarted = true;
    EmitCode(m_clearCode);
}

bool TGIFEncoder::NextRow() {
    if (!m_interlaced) return false;
    m_left = m_width;
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    m_row += kStep[m_pass];
    while (m_row >= m_height) {
        if (++m_pass > 3) return false;
        m_row = kStart[m_pass];
    }
    m_pixel = m_pixels + static_cast<int64_t>(m_row) * m_width;
    return true;
}

// ---- LZW ------------------------------------------------------------------------------

void TLZWEncoder::EmitCode(int code) {
    TGIFEncoder::EmitCode(code);
    if (m_nextCode > m_codeLimit || m_restarted) {
        if (m_restarted) {
            m_codeWidth = m_startWidth;
            m_codeLimit = (1 << m_codeWidth) - 1;
            m_restarted = false;
        } else {
            ++m_codeWidth;
            m_codeLimit = m_codeWidth == 12 ? 4096 : (1 << m_codeWidth) - 1;
        }
    }
}

void TLZWEncoder::EmitClear() {
    TGIFEncoder::EmitClear();
    m_table->EmptyTable();
    m_nextCode = m_clearCode + 2;
}

void TLZWEncoder::CompressPixels() {
    m_table = std::make_unique<THashTable>();
    m_nextCode = m_clearCode + 2;
    EmitClear();
    int prefix = CurrentPixel();
    CheckPixel(prefix);
    while (StepPixel()) {
        const int c = CurrentPixel();
        CheckPixel(c);
        const uint32_t key = static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(c);
        const int code = m_table->FindCode(key);
        if (code >= 0) {
            prefix = code;
            continue;
        }
        TLZWEncoder::EmitCode(prefix);
        prefix = c;
        if (m_nextCode > 4094) {
            EmitClear();
        } else {
            m_table->StoreCode(key, m_nextCode);
            ++m_nextCode;
        }
    }
    EmitCode(prefix);
    m_table.reset();
}

// ---- Run-length ------------------------------------------------------------------------

int IntSqrt(int x) {
    if (x < 2) return x;
    int r = 1;
    for (int v = x; v; v >>= 2) r <<= 1;
    for (;;) {
        const int v = (x / r + r) / 2;
        if (v == r || v == r + 1) return r;
        r = v;
    }
}

int TRLEEncoder::TriangleRuns(int n) const {
    const int s = m_codeSpace;
    const int perRound = s * (s + 1) / 2;
    int cost = 0;
    while (n >= perRound) {
        cost += s;
        n -= perRound;
    }
    if (n > 0) {
        int k = IntSqrt(n);
        while (k * (k + 1) >= 2 * n) --k;
        while (k * (k + 1) < 2 * n) ++k;
        cost += k;
    }
    return cost;
}

void TRLEEncoder::EmitClear() {
    m_widenAt = m_widenAtStart;
    m_clearAt = m_clearAtStart;
    m_outputCount = 0;
    m_tableLength = 0;
    TGIFEncoder::EmitClear();
    m_codeWidth = m_startWidth;
}

void TRLEEncoder::EmitRunCode(int code) {
    m_restarted = false;
    EmitCode(code);
    ++m_outputCount;
    if (m_outputCount >= m_widenAt) {
        m_widenAt += 1 << m_codeWidth;
        ++m_codeWidth;
    }
    if (m_outputCount >= m_clearAt) EmitClear();
}

void TRLEEncoder::RestoreClearLimit() {
    m_clearAt = m_clearAtStart;
    if (m_outputCount >= m_clearAt) EmitClear();
}

void TRLEEncoder::FlushAfterClear(int n) {
    m_clearAt = m_codeSpace;
    m_tablePixel = m_runPixel;
    int k = 1;
    while (n > 0) {
        if (k == 1) {
            m_tableLength = 1;
            EmitRunCode(m_runPixel);
            --n;
        } else if (n < k) {
            ++m_tableLength;
            EmitRunCode(n == 1 ? m_runPixel : RunCode(n));
            n = 0;
        } else {
            m_tableLength = k;
            EmitRunCode(RunCode(k));
            n -= k;
        }
        k = m_outputCount == 0 ? 1 : k + 1;
    }
    RestoreClearLimit();
}

void TRLEEncoder::FlushByClearOrRepeat(int n) {
    if (TriangleRuns(n) + 1 < n) {
        EmitClear();
        FlushAfterClear(n);
        return;
    }
    for (; n > 0; --n) EmitRunCode(m_runPixel);
}

void TRLEEncoder::FlushFromTable(int n) {
    int q = n / m_tableLength;
    int r = n % m_tableLength;
    int extra = r > 0 ? 1 : 0;
    if (q + m_outputCount + extra > m_codeSpace) {
        q = m_codeSpace - m_outputCount;
        r = n - m_tableLength * q;
        extra = TriangleRuns(r) + 1;
    }
    if (TriangleRuns(n) + 1 < q + extra) {
        EmitClear();
        FlushAfterClear(n);
        return;
    }
    m_clearAt = m_codeSpace;
    for (; q > 0; --q) EmitRunCode(RunCode(m_tableLength));
    if (r > 0) {
        if (m_restarted)
            FlushAfterClear(r);
        else
            EmitRunCode(r == 1 ? m_runPixel : RunCode(r));
    }
    RestoreClearLimit();
}

void TRLEEncoder::FlushRun(int n) {
    if (n == 1) {
        EmitRunCode(m_runPixel);
    } else if (m_restarted) {
        FlushAfterClear(n);
    } else if (m_tableLength > 1 && m_tablePixel == m_runPixel) {
        FlushFromTable(n);
    } else {
        FlushByClearOrRepeat(n);
    }
}

void TRLEEncoder::CompressPixels() {
    m_widenAtStart = m_clearCode - 1;
    m_clearAtStart = m_bits > 3 ? m_clearCode - 2 : 9;
    m_codeSpace = 4095 - m_firstFree;
    EmitClear();
    m_runPixel = -1;
    int run = 0;
    do {
        const int p = CurrentPixel();
        CheckPixel(p);
        if (run > 0 && p != m_runPixel) {
            FlushRun(run);
            run = 0;
        }
        if (p == m_runPixel) {
            ++run;
        } else {
            m_runPixel = p;
            run = 1;
        }
    } while (StepPixel());
    FlushRun(run);
}

// ---- Frames ----------------------------------------------------------------------------

void EncodeFrameData(TGIFSubImageCore& frame, forms::TStream& stream) {
    TGIFImageCore* image = frame.Image();
    int bits = frame.ColourMap().BitsPerEntry();
    int colours = frame.ColourMap().EntryCount();
    if (colours == 0) {
        bits = image ? image->ImageBitsPerPixel() : 8;
        colours = 1 << bits;
    }
    TEncodeWarning warn = [&frame](const std::string& message) { frame.Warn(kWarningSeverity, message); };
    const bool rle = image && image->EncoderKind == kEncoderRLE;
    std::unique_ptr<TGIFEncoder> encoder;
    if (rle)
        encoder = std::make_unique<TRLEEncoder>(warn);
    else
        encoder = std::make_unique<TLZWEncoder>(warn);
    encoder->Encode(stream, bits, colours, frame.Pixels(), frame.Interlaced(), frame.Height(), frame.Width());
}

}  // namespace gif
