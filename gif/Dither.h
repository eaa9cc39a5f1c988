// Dithering: the 24-bit pixels of a picture, row by row in serpentine
// order (left to right, then right to left, ...), turned into palette
// indices through a colour lookup, each pixel's colour error spread over
// pixels not yet visited.
//
// The caller drives every kind alike, for each row: from CurrentColumn(),
// while the column lies inside the row, read the source pixel at that
// column, call DitherPixel and store the index at that column; then
// AdvanceRow().
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/ColourLookup.h"

namespace gif {

// The kinds, as the colour reduction numbers them.
enum TDitherKind : uint8_t {
    DitherNone = 0,
    DitherFloydSteinberg = 1,
    DitherStucki = 2,
    DitherSierra = 3,
    DitherJarvisJudiceNinke = 4,
    DitherStevensonArce = 5,
    DitherBurkes = 6,
};

// No dithering: each pixel gets the lookup's nearest index.
class TDitherEngine {
public:
    // The lookup is not owned.
    TDitherEngine(int rowWidth, TColorLookup& lookup) : m_lookup(lookup), m_rowWidth(rowWidth) {}
    virtual ~TDitherEngine() = default;

    int RowWidth() const { return m_rowWidth; }
    int RowDirection() const { return m_direction; }
    int CurrentColumn() const { return m_column; }
    bool InRow() const { return m_column >= 0 && m_column < m_rowWidth; }
    // The index for the pixel at the current column; the column moves on.
    virtual uint8_t DitherPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb);
    virtual void AdvanceRow();
    // Leaves the pixel at the current column as it is (no error spreads).
    void SkipPixel() { AdvanceColumn(); }

protected:
    void AdvanceColumn() { m_column += m_direction; }
    TColorLookup& m_lookup;
    int m_rowWidth;
    int m_direction = 1;
    int m_column = 0;
};

// One place of an error kernel: rows below (0 is the current row), columns
// ahead in the direction of the walk (negative: behind), and a weight.
struct TKernelTap {
    int Row, Column, Weight;
};

// Error diffusion with a kernel: each pixel gets its source colour plus
// the errors that reached it, rounded (error + divisor / 2) / divisor and
// truncated toward zero, clamped to 0..255; what the lookup leaves over is
// spread to the kernel's places. One error row per kernel row and channel,
// with spare entries at both ends for the places outside the picture.
class TErrorDiffusionDitherer : public TDitherEngine {
public:
    uint8_t DitherPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) override;
    void AdvanceRow() override;
    // The error waiting for row `row` below the current one at `column`
    // (channel 0 red, 1 green, 2 blue); for tests.
    int PendingError(int channel, int row, int column) const;

protected:
    TErrorDiffusionDitherer(int rowWidth, TColorLookup& lookup, int divisor, std::vector<TKernelTap> kernel);

private:
    void PlaceTaps();
    int m_divisor;
    std::vector<TKernelTap> m_kernel;
    int m_rowCount = 1;
    int m_spare = 0;
    // Per kernel row, the three channels' errors side by side for each
    // column, with the spare places at both ends.
    std::vector<std::vector<int>> m_rows;
    // Per tap: its error row and its distance in ints for this walk direction.
    std::vector<std::pair<int, int>> m_taps;
};

class TFloydSteinbergDitherer : public TErrorDiffusionDitherer {
public:
    TFloydSteinbergDitherer(int rowWidth, TColorLookup& lookup);
};

// The kinds with a kernel five wide and three high.
class T5by3Ditherer : public TErrorDiffusionDitherer {
protected:
    using TErrorDiffusionDitherer::TErrorDiffusionDitherer;
};

class TStuckiDitherer : public T5by3Ditherer {
public:
    TStuckiDitherer(int rowWidth, TColorLookup& lookup);
};

class TSierraDitherer : public T5by3Ditherer {
public:
    TSierraDitherer(int rowWidth, TColorLookup& lookup);
};

class TJaJuNiDitherer : public T5by3Ditherer {
public:
    TJaJuNiDitherer(int rowWidth, TColorLookup& lookup);
};

class TSteveArcheDitherer : public TErrorDiffusionDitherer {
public:
    TSteveArcheDitherer(int rowWidth, TColorLookup& lookup);
};

class TBurkesDitherer : public TErrorDiffusionDitherer {
public:
    TBurkesDitherer(int rowWidth, TColorLookup& lookup);
};

// The ditherer of a kind; nullptr for a kind above 6.
std::unique_ptr<TDitherEngine> CreateDitherer(uint8_t kind, int rowWidth, TColorLookup& lookup);

// Dithers a whole picture of 24-bit rows into index rows (`indices` holds
// width bytes per row, `stride` apart).
void DitherRows(TDitherEngine& ditherer, TRowSource& rows, uint8_t* indices, int64_t stride);

}  // namespace gif
