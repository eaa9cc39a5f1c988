// LZHUF: LZSS over a 4096-byte ring with an adaptive Huffman code for the
// literals and match lengths, and a fixed prefix code for the upper bits of
// the match position. Skin archives are compressed with it as a whole.
//
// LzhDecoder is a resumable codec in the manner of a stream decoder: the
// caller owns every buffer and feeds input and output space in pieces of
// any size. Nothing in the stream is checked (the format carries no check):
// input that ends early reads as zero bits, and the output is whatever the
// codes yield, up to the declared size plus the rest of a last match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "framework/forms/SysUtils.h"

namespace skin {

constexpr int kLzhRingSize = 4096;   // N
constexpr int kLzhLookahead = 60;    // F, the longest match
constexpr int kLzhThreshold = 2;     // matches are longer than this
constexpr int kLzhSymbols = 314;     // 256 literals + 58 match lengths
constexpr int kLzhTreeSize = 627;    // T = 2 * symbols - 1
constexpr int kLzhRoot = 626;        // R
constexpr unsigned kLzhMaxFreq = 0x8000;
// Where the first decoded byte goes in the ring; the ring holds spaces
// below it and zeros above it.
constexpr int kLzhStartPosition = kLzhRingSize - kLzhLookahead;

// The adaptive Huffman tree. Nodes 0..T-1, leaves hold son >= T (symbol =
// son - T); prnt[T + symbol] is a leaf's node. Shared by the decoder and
// the encoder, which must agree to the bit.
struct LzhTree {
    uint16_t freq[kLzhTreeSize + 1];  // the last is a 0xFFFF sentinel
    uint16_t prnt[kLzhTreeSize + kLzhSymbols];
    uint16_t son[kLzhTreeSize];

    // Every leaf at frequency 1, inner nodes paired from the leaves upward.
    void Start();
    // Counts one more use of the symbol (rebuilding first when the root
    // has reached kLzhMaxFreq), keeping the frequencies sorted.
    void Update(int symbol);
    // Halves every leaf frequency (rounding up) and rebuilds the inner nodes.
    void Rebuild();
};

// The fixed prefix code of a position's upper 6 bits: its code (left
// aligned in a byte) and length in bits, and for the decoder, per leading
// byte, the upper bits it stands for and the code's length.
struct LzhPositionCode {
    uint8_t code[64];
    uint8_t length[64];
    uint8_t upperOf[256];
    uint8_t lengthOf[256];
};
const LzhPositionCode& PositionCode();

enum class LzhStatus {
    Finished,    // the declared size has been reached (and a last match copied whole)
    NeedsInput,  // all input is used; call again with more, or with inputEnd
    OutputFull,  // the output space is used; call again with more
};

class LzhDecoder {
public:
    // Starts a stream that decodes to originalSize bytes; 0 or less yields
    // nothing.
    void Init(int64_t originalSize);

    // Decodes from in[0, *inSize) into out[0, *outSize). On return *inSize
    // and *outSize hold how many bytes were taken and written. With
    // inputEnd, bytes past the input read as zero and NeedsInput never
    // comes back.
    LzhStatus Decode(const uint8_t* in, size_t* inSize, uint8_t* out, size_t* outSize, bool inputEnd);

    bool Finished() const { return m_phase == Phase::Done; }
    int64_t Produced() const { return m_produced; }
    const LzhTree& Tree() const { return m_tree; }

private:
    enum class Phase { Symbol, PositionHigh, PositionLow, Copy, Done };

    LzhTree m_tree;
    uint8_t m_ring[kLzhRingSize];
    int m_write = 0;
    int64_t m_size = 0;
    int64_t m_produced = 0;
    Phase m_phase = Phase::Done;
    uint32_t m_bits = 0;  // the next m_bitCount bits, most significant first
    int m_bitCount = 0;
    int m_node = 0;       // the walk from the root, between calls
    int m_matchLength = 0;
    int m_positionValue = 0;
    int m_positionBitsLeft = 0;
    int m_copyFrom = 0;
    int m_copyLeft = 0;
};

// Decoding through callbacks, for callers that hold the data in streams.
// Each callback takes (buffer, requested count, actual count).
class ElzhException : public forms::Exception {
public:
    using forms::Exception::Exception;
};

class TLZH {
public:
    using BlockFunction = std::function<void(void* buffer, int count, int& actual)>;
    // Reads input until the declared size is out; input that runs short
    // reads as zero. Raises ElzhException when the tables cannot be had.
    void Decode(int64_t originalSize, const BlockFunction& readBlock, const BlockFunction& writeBlock);
};

}  // namespace skin
