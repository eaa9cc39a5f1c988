// The encoders of GIF frame data: ordinary LZW with a hash table, and a
// run-length coder whose output any GIF decoder reads as LZW but which
// keeps no string table. Both write the minimum code size byte, data
// sub-blocks of at most 255 bytes and the zero-length terminator.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gif/GifCommon.h"

namespace gif {

class TGIFSubImageCore;

using TEncodeWarning = std::function<void(const std::string& message)>;

// A write-only stream in front of another stream.
class TGIFStream : public forms::TStream {
public:
    FORMS_CLASS(TGIFStream)
    TGIFStream(forms::TStream& target, TEncodeWarning warn) : m_target(target), m_warn(std::move(warn)) {}
    // Reading and seeking raise "Invalid stream operation"; so does writing
    // unless a derived stream takes it over.
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, forms::TSeekOrigin origin) override;
    std::function<void(int, int)> OnProgress;
    void Progress(int a, int b) {
        if (OnProgress) OnProgress(a, b);
    }

protected:
    forms::TStream& m_target;
    TEncodeWarning m_warn;
};

// Gathers bytes into data sub-blocks: count byte, then up to 255 bytes.
class TGIFWriter : public TGIFStream {
public:
    FORMS_CLASS(TGIFWriter)
    using TGIFStream::TGIFStream;
    // Writes what is still buffered when an error cut the data short.
    ~TGIFWriter() override;
    int64_t Write(const void* buffer, int64_t count) override;
    void PutByte(uint8_t b) {
        m_dirty = true;
        m_block[m_pos++] = b;
        if (m_pos == 256) FlushBlock();
    }
    void FlushBlock();
    // Writes the last partial sub-block; errors of the target go on.
    void Finish() {
        if (m_dirty) FlushBlock();
    }

private:
    std::array<uint8_t, 256> m_block{};
    int m_pos = 1;
    bool m_dirty = false;
};

// Codes already met, by (prefix code << 8 | pixel): 8009 slots of
// key << 12 | code; all ones is an empty slot.
class THashTable {
public:
    static constexpr int kSize = 8009;
    THashTable() { EmptyTable(); }
    void EmptyTable();
    void StoreCode(uint32_t key, int code);
    int FindCode(uint32_t key) const {  // -1 when absent
        int slot = SlotFor(key);
        const int step = StepFor(slot);
        for (int probes = 0; probes < kSize; ++probes) {
            const uint32_t v = m_slots[static_cast<size_t>(slot)];
            if (IsEmpty(v)) return -1;
            if ((v >> 12) == key) return static_cast<int>(v & 0xFFF);
            slot = NextSlot(slot, step);
        }
        return -1;
    }
    static int SlotFor(uint32_t key) { return static_cast<int>((key ^ (key >> 4)) % kSize); }
    // Probing steps by a distance fixed by the first slot; the table size
    // is prime, so every slot is visited before one comes round again.
    static int StepFor(int firstSlot) { return firstSlot == 0 ? 1 : kSize - firstSlot; }
    static int NextSlot(int slot, int step) {
        slot -= step;
        return slot < 0 ? slot + kSize : slot;
    }

private:
    static bool IsEmpty(uint32_t v) { return v >= 0xFFFFF000u; }
    std::array<uint32_t, kSize> m_slots;
};

class TGIFEncoder {
public:
    explicit TGIFEncoder(TEncodeWarning warn) : m_warn(std::move(warn)) {}
    virtual ~TGIFEncoder() = default;
    // `pixels` is width x height bytes; indices must stay below colourCount.
    void Encode(forms::TStream& stream, int bitsPerPixel, int colourCount, const uint8_t* pixels,
                bool interlaced, int height, int width);

protected:
    virtual void EmitCode(int code);
    virtual void EmitClear();
    virtual void CompressPixels() = 0;
    // Moves to the next pixel in file order; false after the last one.
    bool StepPixel() {
        if (--m_left > 0) {
            ++m_pixel;
            return true;
        }
        return NextRow();
    }
    bool NextRow();
    uint8_t CurrentPixel() const { return *m_pixel; }
    void CheckPixel(int p) const {
        if (p >= m_colourCount) RaiseGIFError(msg::ColourNotInTable);
    }

    int m_bits = 0, m_colourCount = 0, m_width = 0, m_height = 0;
    bool m_interlaced = false;
    const uint8_t* m_pixels = nullptr;
    const uint8_t* m_pixel = nullptr;
    int64_t m_left = 0;  // pixels left in the row (interlaced) or the image
    int m_row = 0, m_pass = 0;
    int m_startWidth = 0, m_codeWidth = 0, m_codeLimit = 0;
    int m_clearCode = 0, m_endCode = 0, m_firstFree = 0;
    uint32_t m_bucket = 0;
    int m_bitCount = 0;
    bool m_restarted = false;
    TGIFWriter* m_writer = nullptr;
    TEncodeWarning m_warn;
};

class TLZWEncoder : public TGIFEncoder {
public:
    using TGIFEncoder::TGIFEncoder;

protected:
    void EmitCode(int code) override;
    void EmitClear() override;
    void CompressPixels() override;

private:
    std::unique_ptr<THashTable> m_table;
    int m_nextCode = 0;
};

class TRLEEncoder : public TGIFEncoder {
public:
    using TGIFEncoder::TGIFEncoder;

protected:
    void EmitClear() override;
    void CompressPixels() override;

private:
    int RunCode(int k) const { return m_firstFree + k - 2; }
    void EmitRunCode(int code);
    void FlushRun(int n);
    void FlushAfterClear(int n);
    void FlushByClearOrRepeat(int n);
    void FlushFromTable(int n);
    void RestoreClearLimit();
    int TriangleRuns(int n) const;

    int m_outputCount = 0;
    int m_widenAt = 0, m_widenAtStart = 0;
    int m_clearAt = 0, m_clearAtStart = 0;
    int m_codeSpace = 0;
    int m_runPixel = -1;
    int m_tableLength = 0;
    int m_tablePixel = -1;
};

int IntSqrt(int x);

// Writes one frame's data with the picture's encoder (1 run-length, else
// LZW). Bits per pixel and the colour count come from the frame's own
// table, or from the picture when it has none.
void EncodeFrameData(TGIFSubImageCore& frame, forms::TStream& stream);

}  // namespace gif
