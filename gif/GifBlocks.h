// The block model of GIF data: the common block base and the owning block
// list, the colour tables (global and local) and the header with the
// logical screen descriptor. Every block belongs to one picture
// (TGIFImageCore), which receives its warnings and answers the
// picture-wide values the header needs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/forms/Component.h"
#include "gif/GifCommon.h"

namespace gif {

class TGIFImageCore;
class TGIFHeader;
class TGIFSubImageCore;

class TGIFItem : public forms::TObject {
public:
    FORMS_CLASS(TGIFItem)
    explicit TGIFItem(TGIFImageCore* image) : m_image(image) {}

    TGIFImageCore* Image() const { return m_image; }
    // 1 for GIF87a, 2 when the block needs GIF89a.
    virtual int RequiredVersion() const { return 1; }
    // To the picture's warning operation, with this block as the sender.
    virtual void Warn(uint8_t severity, const std::string& message);
    virtual void SaveToStream(forms::TStream& stream) = 0;
    virtual void LoadFromStream(forms::TStream& stream) = 0;
    void SaveToFileName(const forms::String& path);
    void LoadFromFileName(const forms::String& path);

protected:
    TGIFImageCore* m_image;
};

// An ordered list that owns its blocks.
class TGIFList : public forms::TObject {
public:
    FORMS_CLASS(TGIFList)
    explicit TGIFList(TGIFImageCore* image) : m_image(image) {}
    ~TGIFList() override;

    TGIFImageCore* Image() const { return m_image; }
    // A bad index raises the list error.
    TGIFItem& ItemAt(int index) const;
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    int Append(std::unique_ptr<TGIFItem> item);
    void Insert(int index, std::unique_ptr<TGIFItem> item);
    void DeleteAt(int index);
    void RemoveAll();
    // Takes the item out of the list and hands it to the caller.
    std::unique_ptr<TGIFItem> Detach(TGIFItem* item);
    int IndexOf(const TGIFItem* item) const;
    virtual void Warn(uint8_t severity, const std::string& message);
    virtual void SaveToStream(forms::TStream& stream);

private:
    TGIFImageCore* m_image;
    std::vector<std::unique_ptr<TGIFItem>> m_items;
};

// A GIF colour table: packed red-green-blue triples as they stand in a file.
class TGIFColorMap : public forms::TObject {
public:
    FORMS_CLASS(TGIFColorMap)
    ~TGIFColorMap() override = default;

    const uint8_t* Entries() const { return m_entries.data(); }
    int EntryCount() const { return m_count; }
    int Room() const { return m_room; }
    bool UsageSorted() const { return m_usageSorted; }
    void SetUsageSorted(bool sorted) { m_usageSorted = sorted; }

    void Reset();
    void EnsureRoom(int n);
    // Reads n triples ("Premature end of data" when they are not all there).
    void LoadFromStream(forms::TStream& stream, int n);
    // The triples, padded with black to 2^BitsPerEntry entries.
    void SaveToStream(forms::TStream& stream) const;
    // Exact match: from the first entry when the table is sorted by use,
    // else from the last; -1 when absent.
    int FindColour(TColor colour) const;
    int AppendColour(TColor colour);
    int AppendIfMissing(TColor colour);
    void RemoveAt(int index);
    // An index outside the table warns and falls back to entry 0.
    TColor ColourAt(int index);
    // From a device-independent bitmap's colour table (blue first).
    void FromRGBQuads(const TRGBQuad* quads, int n);
    // From palette entries (red first); the flags are ignored.
    void FromPaletteEntries(const TPaletteEntry* entries, int n);
    std::vector<TPaletteEntry> ToPaletteEntries(uint8_t flags) const;
    int BitsPerEntry() const { return BitsForColourCount(m_count); }
    // Orders the entries by falling use and remaps the pixels that use
    // them; false when there is nothing to sort.
    bool SortByUsage();
    void Assign(const TGIFColorMap& source);

    virtual void Warn(uint8_t severity, const std::string& message) = 0;
    // Pixel count of each entry (256 counters).
    virtual void CountUsage(std::array<uint32_t, 256>& counts) = 0;
    virtual void RemapPixels(const std::array<uint8_t, 256>& translation) = 0;
    virtual bool TrySortByUsage() = 0;
    virtual void NotifyChanged() = 0;

protected:
    TGIFColorMap() = default;

private:
    // Reset, then the red, green and blue of up to 256 colours.
    template <class Colour>
    void TakeColours(const Colour* colours, int n);
    std::vector<uint8_t> m_entries;  // m_room triples
    int m_count = 0;
    int m_room = 0;
    bool m_usageSorted = false;
};

// The frames' shared table, held by the header.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    FORMS_CLASS(TGIFGlobalColorMap)
    explicit TGIFGlobalColorMap(TGIFHeader& header) : m_header(header) {}

    void Warn(uint8_t severity, const std::string& message) override;
    // Over every frame that draws with this table. The background colour
    // counts as used, so that sorting keeps its entry.
    void CountUsage(std::array<uint32_t, 256>& counts) override;
    // Those frames' pixels and transparent indices, and the background index.
    void RemapPixels(const std::array<uint8_t, 256>& translation) override;
    bool TrySortByUsage() override;
    void NotifyChanged() override;

private:
    TGIFHeader& m_header;
};

// One frame's own table.
class TGIFLocalColorMap : public TGIFColorMap {
public:
    FORMS_CLASS(TGIFLocalColorMap)
    explicit TGIFLocalColorMap(TGIFSubImageCore& frame) : m_frame(frame) {}

    void Warn(uint8_t severity, const std::string& message) override;
    void CountUsage(std::array<uint32_t, 256>& counts) override;
    void RemapPixels(const std::array<uint8_t, 256>& translation) override;
    bool TrySortByUsage() override;
    void NotifyChanged() override;

private:
    TGIFSubImageCore& m_frame;
};

// The logical screen descriptor (7 bytes as stored) and the global table.
class TGIFHeader : public TGIFItem {
public:
    FORMS_CLASS(TGIFHeader)
    explicit TGIFHeader(TGIFImageCore* image);

    void Reset();
    void Assign(const TGIFHeader& source);
    void Assign(const TGIFColorMap& table);
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromStream(forms::TStream& stream) override;
    // 2 when the table is sorted by use or an aspect ratio is given.
    int RequiredVersion() const override;

    TGIFGlobalColorMap& ColourMap() { return m_colourMap; }
    const TGIFGlobalColorMap& ColourMap() const { return m_colourMap; }
    int Width() const { return m_descriptor[0] | (m_descriptor[1] << 8); }
    int Height() const { return m_descriptor[2] | (m_descriptor[3] << 8); }
    void SetWidth(int width);
    void SetHeight(int height);
    uint8_t PackedFields() const { return m_descriptor[4]; }
    uint8_t BackgroundIndex() const { return m_descriptor[5]; }
    void SetBackgroundIndex(uint8_t index) { m_descriptor[5] = index; }
    uint8_t AspectRatio() const { return m_descriptor[6]; }
    void SetAspectRatio(uint8_t ratio) { m_descriptor[6] = ratio; }
    const std::array<uint8_t, 7>& Descriptor() const { return m_descriptor; }

    TColor BackgroundColour() { return m_colourMap.ColourAt(BackgroundIndex()); }
    int TableBits() const { return m_colourMap.BitsPerEntry(); }
    int ResolutionBits() const { return TableBits() - 1; }
    // Builds the packed byte from the table and the picture.
    void PreparePackedFields();

private:
    TGIFGlobalColorMap m_colourMap;
    std::array<uint8_t, 7> m_descriptor{};
};

}  // namespace gif
