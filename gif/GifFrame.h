// One frame of a GIF picture (its image descriptor, local colour table,
// preceding extensions and index pixels), the list of frames and the list
// of a frame's extensions, with their reading and writing, and the
// optimiser's work on a frame's pixels. The frame that renders and draws
// itself (TGIFSubImage) builds on this one.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GifBlocks.h"

namespace gif {

class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFAppExtNSLoop;

// The extensions that precede one frame.
class TGIFExtensionList : public TGIFList {
public:
    FORMS_CLASS(TGIFExtensionList)
    TGIFExtensionList(TGIFImageCore* image, TGIFSubImageCore& frame) : TGIFList(image), m_frame(frame) {}
    TGIFExtension& ExtensionAt(int index) const;
    // Reads extension blocks up to an image separator, the trailer or a
    // byte that starts no extension, which is left in the stream.
    void LoadFromStream(forms::TStream& stream);

private:
    TGIFSubImageCore& m_frame;
};

class TGIFSubImageCore : public TGIFItem {
public:
    FORMS_CLASS(TGIFSubImageCore)
    explicit TGIFSubImageCore(TGIFImageCore* image);
    ~TGIFSubImageCore() override;

    // Drops extensions, table and pixels; the size becomes 0 x 0.
    virtual void Reset();
    bool IsEmpty() const;

    // The image descriptor, 10 bytes as stored (separator first).
    const std::array<uint8_t, 10>& Descriptor() const { return m_descriptor; }
    int Left() const { return Word(1); }
    int Top() const { return Word(3); }
    int Width() const { return Word(5); }
    int Height() const { return Word(7); }
    void SetLeft(int v) { SetWord(1, v); }
    void SetTop(int v) { SetWord(3, v); }
    // Sizes change the descriptor only; AllocatePixels gives pixels to match.
    void SetWidth(int v) { SetWord(5, v); }
    void SetHeight(int v) { SetWord(7, v); }
    uint8_t PackedFields() const { return m_descriptor[9]; }
    void SetPackedFields(uint8_t packed) { m_descriptor[9] = packed; }
    bool Interlaced() const { return (m_descriptor[9] & 0x40) != 0; }
    void SetInterlaced(bool on);

    TGIFLocalColorMap& ColourMap() { return m_colourMap; }
    // The local table when it has colours, else the picture's global table
    // when that has colours, else the (empty) local table.
    TGIFColorMap& ActiveColourTable();
    TGIFExtensionList& Extensions() { return m_extensions; }
    int RequiredVersion() const override;
    int FrameBitsPerPixel() const { return m_colourMap.BitsPerEntry(); }
    int FrameColourResolution() const { return FrameBitsPerPixel() - 1; }

    // Width x height index bytes, row after row from the top.
    uint8_t* Pixels() { return m_pixels.data(); }
    const uint8_t* Pixels() const { return m_pixels.data(); }
    int64_t PixelCount() const { return static_cast<int64_t>(m_pixels.size()); }
    // New pixels of the descriptor's size, all zero.
    void AllocatePixels();
    // Pixels when there are none; "Image is empty" for a size of 0.
    void RequirePixels();
    void ReleasePixels();
    uint8_t* RowAt(int y);
    uint8_t PixelAt(int x, int y);

    // Set from the graphic control extension.
    bool Transparent() const { return m_transparent; }
    void SetTransparentFlag(bool on) { m_transparent = on; }
    TGIFGraphicControlExtension* ControlExtension() const { return m_controlExtension; }
    void SetControlExtension(TGIFGraphicControlExtension* gce) { m_controlExtension = gce; }
    // The transparent index, or -1 when the frame is not transparent.
    int TransparentIndex() const;
    // Delay in hundredths of a second and disposal method of the control
    // extension; 0 without one.
    int Delay() const;
    int Disposal() const;
    // The frame's loop extension, if it has one.
    TGIFAppExtNSLoop* LoopExtension() const;
    // (left, top, left + width, top + height) on the logical screen.
    TGIFRect FrameBounds() const { return TGIFRect{Left(), Top(), Left() + Width(), Top() + Height()}; }
    // True when the frame has pixels and every one is the transparent index.
    bool IsAllTransparent() const;

    // Optimisation. Cuts the transparent borders off a transparent frame;
    // one that is all transparent becomes empty.
    void CropToOpaque();
    // Makes the pixels that show the same colour as the previous frame
    // beneath them transparent.
    void MergeWithPrevious(TGIFSubImageCore* previous);
    // The pixels or colours changed: a frame that renders itself lets its
    // rendering and mask go.
    virtual void DiscardRendering() {}

    void ReadExtensions(forms::TStream& stream) { m_extensions.LoadFromStream(stream); }
    // The table's presence, sort flag and size from the table; the
    // interlace flag is kept.
    void PreparePackedFields();
    // Extensions, then (unless empty) descriptor, local table and data.
    void SaveToStream(forms::TStream& stream) override;
    // Extensions, then descriptor, local table and data when they follow.
    void LoadFromStream(forms::TStream& stream) override;

protected:
    // Gives the frame pixels of its size, filled with `fill`.
    void FillPixels(uint8_t fill);

private:
    friend void DecodeFrameData(TGIFSubImageCore& frame, forms::TStream& stream);
    int Word(int at) const { return m_descriptor[at] | (m_descriptor[at + 1] << 8); }
    void SetWord(int at, int v) {
        m_descriptor[at] = static_cast<uint8_t>(v);
        m_descriptor[at + 1] = static_cast<uint8_t>(v >> 8);
    }

    std::array<uint8_t, 10> m_descriptor{};
    TGIFLocalColorMap m_colourMap;
    TGIFExtensionList m_extensions;
    std::vector<uint8_t> m_pixels;
    bool m_transparent = false;
    TGIFGraphicControlExtension* m_controlExtension = nullptr;
};

// The frames of a picture, in stream order.
class TGIFImageList : public TGIFList {
public:
    FORMS_CLASS(TGIFImageList)
    using TGIFList::TGIFList;
    TGIFSubImageCore& FrameAt(int index) const { return static_cast<TGIFSubImageCore&>(ItemAt(index)); }
    // Frames up to the trailer (left in the stream) or a byte that starts
    // no block (warned, left in the stream).
    void LoadFromStream(forms::TStream& stream);
};

}  // namespace gif
