#include "gif/GifBlocks.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "framework/forms/FileStore.h"
#include "gif/GifExtensions.h"
#include "gif/GifImageCore.h"

namespace gif {

// ---- TGIFItem --------------------------------------------------------------------

void TGIFItem::Warn(uint8_t severity, const std::string& message) {
    if (m_image) m_image->ReportWarning(this, severity, message);
}

void TGIFItem::SaveToFileName(const forms::String& path) {
    forms::TMemoryStream stream;
    SaveToStream(stream);
    const auto& bytes = stream.Bytes();
    if (!forms::DefaultFileStore().Write(path, std::string(bytes.begin(), bytes.end())))
        throw forms::EFCreateError("Cannot create file " + forms::TextToUtf8(path));
}

void TGIFItem::LoadFromFileName(const forms::String& path) {
    std::string bytes;
    if (forms::DefaultFileStore().Read(path, bytes, size_t{1} << 31) != forms::FileReadResult::Ok)
        throw forms::EFOpenError("Cannot open file " + forms::TextToUtf8(path));
    forms::TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    LoadFromStream(stream);
}

// ---- TGIFList --------------------------------------------------------------------

TGIFList::~TGIFList() { RemoveAll(); }

TGIFItem& TGIFList::ItemAt(int index) const {
    if (index < 0 || index >= ItemCount())
        throw forms::EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *m_items[static_cast<size_t>(index)];
}

int TGIFList::Append(std::unique_ptr<TGIFItem> item) {
    m_items.push_back(std::move(item));
    return ItemCount() - 1;
}

void TGIFList::Insert(int index, std::unique_ptr<TGIFItem> item) {
    index = std::max(0, std::min(index, ItemCount()));
    m_items.insert(m_items.begin() + index, std::move(item));
}

void TGIFList::DeleteAt(int index) {
    ItemAt(index);
    // Out of the list first: an item's destructor may look at the list.
    std::unique_ptr<TGIFItem> item = std::move(m_items[static_cast<size_t>(index)]);
    m_items.erase(m_items.begin() + index);
}

void TGIFList::RemoveAll() {
    while (!m_items.empty()) DeleteAt(0);
}

std::unique_ptr<TGIFItem> TGIFList::Detach(TGIFItem* item) {
    const int at = IndexOf(item);
    if (at < 0) return nullptr;
    std::unique_ptr<TGIFItem> owned = std::move(m_items[static_cast<size_t>(at)]);
    m_items.erase(m_items.begin() + at);
    return owned;
}

int TGIFList::IndexOf(const TGIFItem* item) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item) return static_cast<int>(i);
    return -1;
}

void TGIFList::Warn(uint8_t severity, const std::string& message) {
    if (m_image) m_image->ReportWarning(this, severity, message);
}

void TGIFList::SaveToStream(forms::TStream& stream) {
    for (auto& item : m_items) item->SaveToStream(stream);
}

// ---- TGIFColorMap -------------------------------------------------------------------

void TGIFColorMap::Reset() {
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_count = 0;
    m_room = 0;
    m_usageSorted = false;
}

void TGIFColorMap::EnsureRoom(int n) {
    if (n < m_room) return;
    m_room = n <= 16 ? 16 : std::min(256, (n + 31) / 32 * 32);
    m_entries.resize(static_cast<size_t>(m_room) * 3);
}

void TGIFColorMap::LoadFromStream(forms::TStream& stream, int n) {
    Reset();
    EnsureRoom(n);
    ReadExactly(stream, m_entries.data(), int64_t{3} * n);
    m_count = n;
}

void TGIFColorMap::SaveToStream(forms::TStream& stream) const {
    if (m_count == 0) return;
    const int padded = 1 << BitsPerEntry();
    std::vector<uint8_t> bytes(static_cast<size_t>(padded) * 3, 0);
    std::memcpy(bytes.data(), m_entries.data(), static_cast<size_t>(m_count) * 3);
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

int TGIFColorMap::FindColour(TColor colour) const {
    const TRGBTriple c = ColourToTriple(colour);
    auto matches = [&](int i) {
        const uint8_t* e = &m_entries[static_cast<size_t>(i) * 3];
        return e[0] == c.Red && e[1] == c.Green && e[2] == c.Blue;
    };
    if (m_usageSorted) {
        for (int i = 0; i < m_count; ++i)
            if (matches(i)) return i;
    } else {
        for (int i = m_count - 1; i >= 0; --i)
            if (matches(i)) return i;
    }
    return -1;
}

int TGIFColorMap::AppendColour(TColor colour) {
    if (m_count >= 256) RaiseGIFError(msg::TableOverflow);
    EnsureRoom(m_count + 1);
    const TRGBTriple c = ColourToTriple(colour);
    uint8_t* e = &m_entries[static_cast<size_t>(m_count) * 3];
    e[0] = c.Red;
    e[1] = c.Green;
    e[2] = c.Blue;
    ++m_count;
    m_usageSorted = false;
    NotifyChanged();
    return m_count - 1;
}

int TGIFColorMap::AppendIfMissing(TColor colour) {
    const int at = FindColour(colour);
    return at >= 0 ? at : AppendColour(colour);
}

void TGIFColorMap::RemoveAt(int index) {
    if (index < 0 || index >= m_count) RaiseGIFError(msg::InvalidColourIndex);
    std::memmove(&m_entries[static_cast<size_t>(index) * 3], &m_entries[static_cast<size_t>(index + 1) * 3],
                 static_cast<size_t>(m_count - 1 - index) * 3);
    --m_count;
    m_usageSorted = false;
    NotifyChanged();
}

TColor TGIFColorMap::ColourAt(int index) {
    if (index < 0 || index >= m_count) {
        Warn(kWarningSeverity, msg::InvalidColourIndex);
        if (m_count == 0) RaiseGIFError(msg::TableEmpty);
        index = 0;
    }
    const uint8_t* e = &m_entries[static_cast<size_t>(index) * 3];
    return TripleToColour(e[0], e[1], e[2]);
}

template <class Colour>
void TGIFColorMap::TakeColours(const Colour* colours, int n) {
    Reset();
    n = std::min(n, 256);
    if (n <= 0) return;
    EnsureRoom(n);
    for (int i = 0; i < n; ++i) {
        m_entries[static_cast<size_t>(i) * 3] = colours[i].Red;
        m_entries[static_cast<size_t>(i) * 3 + 1] = colours[i].Green;
        m_entries[static_cast<size_t>(i) * 3 + 2] = colours[i].Blue;
    }
    m_count = n;
}

void TGIFColorMap::FromRGBQuads(const TRGBQuad* quads, int n) {
    TakeColours(quads, n);
    if (n > 0) NotifyChanged();
}

void TGIFColorMap::FromPaletteEntries(const TPaletteEntry* entries, int n) {
    TakeColours(entries, n);
    NotifyChanged();
}

std::vector<TPaletteEntry> TGIFColorMap::ToPaletteEntries(uint8_t flags) const {
    std::vector<TPaletteEntry> out(static_cast<size_t>(m_count));
    for (int i = 0; i < m_count; ++i) {
        const uint8_t* e = &m_entries[static_cast<size_t>(i) * 3];
        out[static_cast<size_t>(i)] = TPaletteEntry{e[0], e[1], e[2], flags};
    }
    return out;
}

namespace {

struct UsageCount {
    uint32_t Count;
    int Index;
};

// Quicksort by falling count; ties end in whatever order it leaves them.
void SortCounts(UsageCount* pairs, int first, int last) {
    int i, j;
    do {
        i = first;
        j = last;
        const uint32_t pivot = pairs[(first + last) / 2].Count;
        do {
            while (pairs[i].Count > pivot) ++i;
            while (pairs[j].Count < pivot) --j;
            if (i <= j) {
                std::swap(pairs[i], pairs[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (first < j) SortCounts(pairs, first, j);
        first = i;
    } while (i < last);
}

}  // namespace

bool TGIFColorMap::SortByUsage() {
    if (m_count <= 1) return false;
    m_usageSorted = true;
    std::array<uint32_t, 256> counts{};
    CountUsage(counts);
    std::array<UsageCount, 256> pairs;
    for (int i = 0; i < m_count; ++i) pairs[static_cast<size_t>(i)] = UsageCount{counts[static_cast<size_t>(i)], i};
    SortCounts(pairs.data(), 0, m_count - 1);
    bool moved = false;
    for (int i = 0; i < m_count; ++i) moved = moved || pairs[static_cast<size_t>(i)].Index != i;
    if (!moved) return true;

    std::array<uint8_t, 256> translation;
    for (int i = 0; i < 256; ++i) translation[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 0; i < m_count; ++i)
        translation[static_cast<size_t>(pairs[static_cast<size_t>(i)].Index)] = static_cast<uint8_t>(i);
    RemapPixels(translation);
    std::vector<uint8_t> sorted(m_entries.size(), 0);
    int used = 0;
    for (int i = 0; i < m_count; ++i) {
        std::memcpy(&sorted[static_cast<size_t>(i) * 3],
                    &m_entries[static_cast<size_t>(pairs[static_cast<size_t>(i)].Index) * 3], 3);
        if (pairs[static_cast<size_t>(i)].Count != 0) ++used;
    }
    m_entries.swap(sorted);
    if (used != 0) m_count = used;
    NotifyChanged();
    return true;
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
    if (&source == this) return;
    m_room = source.m_room;
    m_count = source.m_count;
    m_usageSorted = source.m_usageSorted;
    m_entries = source.m_entries;
    m_entries.resize(static_cast<size_t>(m_room) * 3);
    NotifyChanged();
}

// ---- The two tables ----------------------------------------------------------------

namespace {

void CountFramePixels(const TGIFSubImageCore& frame, std::array<uint32_t, 256>& counts) {
    const uint8_t* p = frame.Pixels();
    const int64_t n = frame.PixelCount();
    for (int64_t i = 0; i < n; ++i) ++counts[p[i]];
}

void RemapFrame(TGIFSubImageCore& frame, const std::array<uint8_t, 256>& translation) {
    uint8_t* p = frame.Pixels();
    const int64_t n = frame.PixelCount();
    for (int64_t i = 0; i < n; ++i) p[i] = translation[p[i]];
    TGIFGraphicControlExtension* gce = frame.ControlExtension();
    if (frame.Transparent() && gce) gce->StoreTransparentIndex(translation[gce->TransparentIndex()]);
}

}  // namespace

void TGIFGlobalColorMap::Warn(uint8_t severity, const std::string& message) {
    if (TGIFImageCore* image = m_header.Image()) image->ReportWarning(this, severity, message);
}

void TGIFGlobalColorMap::CountUsage(std::array<uint32_t, 256>& counts) {
    TGIFImageCore* image = m_header.Image();
    if (!image) return;
    for (int i = 0; i < image->Frames().ItemCount(); ++i) {
        TGIFSubImageCore& frame = image->Frames().FrameAt(i);
        if (&frame.ActiveColourTable() == this) CountFramePixels(frame, counts);
    }
    if (m_header.BackgroundIndex() < EntryCount()) ++counts[m_header.BackgroundIndex()];
}

void TGIFGlobalColorMap::RemapPixels(const std::array<uint8_t, 256>& translation) {
    TGIFImageCore* image = m_header.Image();
    if (!image) return;
    for (int i = 0; i < image->Frames().ItemCount(); ++i) {
        TGIFSubImageCore& frame = image->Frames().FrameAt(i);
        if (&frame.ActiveColourTable() == this) RemapFrame(frame, translation);
    }
    m_header.SetBackgroundIndex(translation[m_header.BackgroundIndex()]);
}

bool TGIFGlobalColorMap::TrySortByUsage() {
    TGIFImageCore* image = m_header.Image();
    if (!image || image->Frames().ItemCount() == 0) return false;
    return SortByUsage();
}

void TGIFGlobalColorMap::NotifyChanged() {
    if (TGIFImageCore* image = m_header.Image()) image->GlobalColoursChanged();
}

void TGIFLocalColorMap::Warn(uint8_t severity, const std::string& message) {
    if (TGIFImageCore* image = m_frame.Image()) image->ReportWarning(this, severity, message);
}

void TGIFLocalColorMap::CountUsage(std::array<uint32_t, 256>& counts) { CountFramePixels(m_frame, counts); }

void TGIFLocalColorMap::RemapPixels(const std::array<uint8_t, 256>& translation) {
    RemapFrame(m_frame, translation);
}

bool TGIFLocalColorMap::TrySortByUsage() { return SortByUsage(); }

void TGIFLocalColorMap::NotifyChanged() {
    if (TGIFImageCore* image = m_frame.Image()) image->FrameColoursChanged(m_frame);
}

// ---- TGIFHeader ----------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImageCore* image) : TGIFItem(image), m_colourMap(*this) {}

void TGIFHeader::Reset() {
    m_colourMap.Reset();
    m_descriptor.fill(0);
}

void TGIFHeader::Assign(const TGIFHeader& source) {
    if (&source == this) return;
    m_colourMap.Assign(source.m_colourMap);
    m_descriptor = source.m_descriptor;
}

void TGIFHeader::Assign(const TGIFColorMap& table) {
    Reset();
    m_colourMap.Assign(table);
}

void TGIFHeader::SetWidth(int width) {
    m_descriptor[0] = static_cast<uint8_t>(width);
    m_descriptor[1] = static_cast<uint8_t>(width >> 8);
}

void TGIFHeader::SetHeight(int height) {
    m_descriptor[2] = static_cast<uint8_t>(height);
    m_descriptor[3] = static_cast<uint8_t>(height >> 8);
}

void TGIFHeader::LoadFromStream(forms::TStream& stream) {
    const int64_t start = stream.Position();
    uint8_t signature[6];
    ReadExactly(stream, signature, 6);
    auto isGif = [&] {
        return std::toupper(signature[0]) == 'G' && std::toupper(signature[1]) == 'I' &&
               std::toupper(signature[2]) == 'F';
    };
    if (!isGif()) {
        // Stored form data puts a 4-byte length before the picture.
        stream.SetPosition(start + 4);
        ReadExactly(stream, signature, 6);
        if (!isGif()) RaiseGIFError(msg::InvalidSignature);
    }
    ReadExactly(stream, m_descriptor.data(), 7);
    if (PackedFields() & 0x80)
        m_colourMap.LoadFromStream(stream, 2 << (PackedFields() & 7));
    else
        m_colourMap.Reset();
}

void TGIFHeader::PreparePackedFields() {
    uint8_t packed = 0;
    if (m_colourMap.EntryCount() > 0) {
        packed |= 0x80;
        if (m_colourMap.UsageSorted()) packed |= 0x08;
    }
    const int resolution = m_image ? m_image->ImageColourResolution() : ResolutionBits();
    packed |= static_cast<uint8_t>((resolution & 7) << 4);
    // The size field describes the table as written: its own size, not the
    // deepest table of the picture.
    const int bits = m_colourMap.EntryCount() > 0 ? TableBits() : (m_image ? m_image->ImageBitsPerPixel() : 0);
    packed |= static_cast<uint8_t>((bits - 1) & 7);
    m_descriptor[4] = packed;
}

void TGIFHeader::SaveToStream(forms::TStream& stream) {
    const int version = m_image ? m_image->ImageVersion() : RequiredVersion();
    if (version == 1)
        stream.WriteBuffer("GIF87a", 6);
    else if (version == 2)
        stream.WriteBuffer("GIF89a", 6);
    else
        RaiseGIFError(msg::UnsupportedVersion);
    PreparePackedFields();
    stream.WriteBuffer(m_descriptor.data(), 7);
    if (PackedFields() & 0x80) m_colourMap.SaveToStream(stream);
}

int TGIFHeader::RequiredVersion() const {
    return m_colourMap.UsageSorted() || AspectRatio() != 0 ? 2 : 1;
}

}  // namespace gif
