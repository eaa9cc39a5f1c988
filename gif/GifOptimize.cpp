// Frame optimisation: cropping transparent borders, merging pixels that
// repeat the previous frame into transparency, and cleaning out what
// carries nothing, each keeping what a viewer shows.
#include <algorithm>
#include <array>

#include "gif/GifExtensions.h"
#include "gif/GifImageCore.h"

namespace gif {

namespace {

constexpr const char* kOptimizing = "Optimizing...";

// The frame's control extension, made when it has none.
TGIFGraphicControlExtension& RequireControlExtension(TGIFSubImageCore& frame) {
    if (TGIFGraphicControlExtension* gce = frame.ControlExtension()) return *gce;
    auto made = std::make_unique<TGIFGraphicControlExtension>(frame);
    TGIFGraphicControlExtension& gce = *made;
    frame.Extensions().Append(std::move(made));
    return gce;
}

// Colours of a table by index; indices beyond it have none.
struct TableColours {
    explicit TableColours(const TGIFColorMap& table) : Count(table.EntryCount()) {
        for (int i = 0; i < Count; ++i)
            Colours[static_cast<size_t>(i)] = TripleToColour(table.Entries()[3 * i], table.Entries()[3 * i + 1],
                                                             table.Entries()[3 * i + 2]);
    }
    bool Has(int index) const { return index < Count; }
    std::array<TColor, 256> Colours{};
    int Count;
};

}  // namespace

void TGIFSubImageCore::CropToOpaque() {
    const int t = TransparentIndex();
    if (t < 0 || IsEmpty()) return;
    const int w = Width(), h = Height();
    auto opaque = [&](int x, int y) { return m_pixels[static_cast<size_t>(y) * w + x] != t; };
    int left = -1, right = -1;
    for (int x = 0; x < w && left < 0; ++x)
        for (int y = 0; y < h; ++y)
            if (opaque(x, y)) {
                left = x;
                break;
            }
    if (left < 0) {
        Reset();
        return;
    }
    for (int x = w - 1; x >= left && right < 0; --x)
        for (int y = 0; y < h; ++y)
            if (opaque(x, y)) {
                right = x;
                break;
            }
    auto rowOpaque = [&](int y) {
        for (int x = left; x <= right; ++x)
            if (opaque(x, y)) return true;
        return false;
    };
    int top = 0, bottom = h - 1;
    while (!rowOpaque(top)) ++top;
    while (!rowOpaque(bottom)) --bottom;
    const int cw = right - left + 1, ch = bottom - top + 1;
    std::vector<uint8_t> cropped(static_cast<size_t>(cw) * ch);
    for (int y = 0; y < ch; ++y)
        std::copy_n(&m_pixels[static_cast<size_t>(top + y) * w + left], cw, &cropped[static_cast<size_t>(y) * cw]);
    m_pixels.swap(cropped);
    SetLeft(Left() + left);
    SetTop(Top() + top);
    SetWidth(cw);
    SetHeight(ch);
    DiscardRendering();
}

void TGIFSubImageCore::MergeWithPrevious(TGIFSubImageCore* previous) {
    if (IsEmpty() || !previous || previous->IsEmpty()) return;
    if (previous->Disposal() == 2 || previous->Disposal() == 3) return;
    const TGIFRect common = IntersectRects(FrameBounds(), previous->FrameBounds());
    if (common.IsEmpty()) return;

    std::array<bool, 256> used{};
    for (uint8_t p : m_pixels) used[p] = true;
    TGIFColorMap& mine = ActiveColourTable();
    int merge = TransparentIndex();
    const bool wasTransparent = merge >= 0;
    // Where a frame that is not transparent would get its new index: an
    // index it uses already (through a damaged pixel) would hide that pixel.
    int candidate = -1;
    if (!wasTransparent) {
        const int local = m_colourMap.EntryCount();
        const int global = m_image ? m_image->GlobalColourTable().EntryCount() : 0;
        const bool room = local > 0 ? local < 256 : (global >= 1 && global < 256);
        if (!room) return;
        if (local == 0 && m_image) {
            // Another frame's transparent index of the shared table, when
            // this frame never uses it as a colour.
            TGIFImageList& frames = m_image->Frames();
            for (int i = 0; i < frames.ItemCount() && candidate < 0; ++i) {
                TGIFSubImageCore& other = frames.FrameAt(i);
                const int t = other.TransparentIndex();
                if (&other != this && t >= 0 && other.ColourMap().EntryCount() == 0 && !used[t]) candidate = t;
            }
        }
        if (candidate < 0 && used[mine.EntryCount()]) return;
    }

    const TableColours myColours(mine);
    const TableColours theirColours(previous->ActiveColourTable());
    const bool sameTable = &mine == &previous->ActiveColourTable();
    const int previousTransparent = previous->TransparentIndex();
    const int pw = previous->Width();
    for (int y = common.Top; y < common.Bottom; ++y) {
        uint8_t* row = m_pixels.data() + static_cast<size_t>(y - Top()) * Width();
        const uint8_t* below = previous->m_pixels.data() + static_cast<size_t>(y - previous->Top()) * pw;
        for (int x = common.Left; x < common.Right; ++x) {
            uint8_t& pixel = row[x - Left()];
            const int p = pixel, q = below[x - previous->Left()];
            if (p == merge || q == previousTransparent) continue;
            const bool same = (sameTable && p == q) ||
                              (myColours.Has(p) && theirColours.Has(q) && myColours.Colours[p] == theirColours.Colours[q]);
            if (!same) continue;
            if (merge < 0) merge = candidate >= 0 ? candidate : mine.AppendColour(0);
            pixel = static_cast<uint8_t>(merge);
        }
    }
    if (merge >= 0 && !wasTransparent) {
        TGIFGraphicControlExtension& gce = RequireControlExtension(*this);
        gce.StoreTransparentIndex(static_cast<uint8_t>(merge));
        gce.SetTransparent(true);
    }
    DiscardRendering();
}

void TGIFImageCore::OptimizeFrames(uint8_t steps, uint8_t reductionMethod, uint8_t ditherKind, int reductionBits) {
    if (Empty()) return;
    TGIFImageList& frames = Frames();
    ReportProgress(this, TGIFProgressStage::Starting, 0, false, kOptimizing);
    int counter = 0;
    const int units = frames.ItemCount() * 6;
    auto running = [&] {
        ReportProgress(this, TGIFProgressStage::Running, MulDivRound(counter, 100, units), false, kOptimizing);
    };
    try {
        if (steps & osSortColours) {
            if (GlobalColourTable().EntryCount() > 0) GlobalColourTable().TrySortByUsage();
            for (int i = 0; i < frames.ItemCount(); ++i) {
                ++counter;
                TGIFSubImageCore& frame = frames.FrameAt(i);
                if (frame.ColourMap().EntryCount() == 0) continue;
                frame.ColourMap().TrySortByUsage();
                running();
            }
        } else {
            counter += frames.ItemCount();
        }

        if (steps & osCleanup) {
            for (int i = 0; i < frames.ItemCount(); ++i) {
                ++counter;
                TGIFSubImageCore& frame = frames.FrameAt(i);
                const int t = frame.TransparentIndex();
                if (t < 0 || frame.IsEmpty()) continue;
                const uint8_t* p = frame.Pixels();
                if (std::find(p, p + frame.PixelCount(), static_cast<uint8_t>(t)) != p + frame.PixelCount())
                    continue;
                frame.ControlExtension()->SetTransparent(false);
                running();
            }
            // A restore after a frame is needless when the next frame paints
            // over all of it. It is kept when the next frame restores to what
            // was there before it, which this restore decides.
            for (int i = 0; i + 1 < frames.ItemCount(); ++i) {
                ++counter;
                TGIFSubImageCore& frame = frames.FrameAt(i);
                TGIFSubImageCore& next = frames.FrameAt(i + 1);
                const int disposal = frame.Disposal();
                if (!frame.ControlExtension() || (disposal != 2 && disposal != 3) || next.Transparent()) continue;
                const TGIFRect common = IntersectRects(frame.FrameBounds(), next.FrameBounds());
                if (common.IsEmpty()) continue;
                if (common == frame.FrameBounds() && !next.IsEmpty() && next.Disposal() != 3)
                    frame.ControlExtension()->SetDisposalMethod(0);
                running();
            }
        } else {
            counter += frames.ItemCount() * 2;
        }

        if (steps & osMerge) {
            for (int i = frames.ItemCount() - 1; i >= 1; --i) {
                ++counter;
                int j = i - 1;
                while (j > 0 && frames.FrameAt(j).ControlExtension() && frames.FrameAt(j).Disposal() == 3) --j;
                frames.FrameAt(i).MergeWithPrevious(&frames.FrameAt(j));
                running();
            }
        } else {
            counter += frames.ItemCount();
        }

        if (steps & osCrop) {
            for (int i = frames.ItemCount() - 1; i >= 0; --i) {
                ++counter;
                TGIFSubImageCore& frame = frames.FrameAt(i);
                if (frame.IsEmpty() || !frame.Transparent()) continue;
                // A frame restored to the background clears its whole
                // rectangle after it shows: its borders matter.
                if (frame.Disposal() == 2) continue;
                if (frame.IsAllTransparent()) {
                    // It shows nothing, but its delay and loop extension
                    // must live on in the frames around it.
                    const int delay = frame.Delay();
                    TGIFAppExtNSLoop* loop = frame.LoopExtension();
                    const bool hasNext = i + 1 < frames.ItemCount();
                    if ((delay > 0 && i == 0) || (loop && !hasNext)) continue;
                    if (delay > 0) {
                        TGIFGraphicControlExtension& gce = RequireControlExtension(frames.FrameAt(i - 1));
                        gce.SetDelay(std::min(0xFFFF, gce.Delay() + delay));
                    }
                    if (loop) {
                        TGIFSubImageCore& next = frames.FrameAt(i + 1);
                        if (!next.LoopExtension()) {
                            auto moved = std::make_unique<TGIFAppExtNSLoop>(next);
                            moved->SetIdentifier(loop->Identifier());
                            moved->SetLoops(loop->Loops());
                            moved->SetBufferSize(loop->BufferSize());
                            next.Extensions().Insert(0, std::move(moved));
                        }
                    }
                    frames.DeleteAt(i);
                } else {
                    frame.CropToOpaque();
                }
                running();
            }
        } else {
            counter += frames.ItemCount();
        }
        counter += frames.ItemCount();

        if (steps & osCleanup) {
            for (int i = frames.ItemCount() - 1; i >= 0; --i) {
                TGIFSubImageCore& frame = frames.FrameAt(i);
                TGIFExtensionList& extensions = frame.Extensions();
                const bool single = frames.ItemCount() == 1;
                for (int e = extensions.ItemCount() - 1; e >= 0; --e) {
                    TGIFExtension& ext = extensions.ExtensionAt(e);
                    const bool carriesNothing = dynamic_cast<TGIFCommentExtension*>(&ext) ||
                                                dynamic_cast<TGIFTextExtension*>(&ext) ||
                                                dynamic_cast<TGIFUnknownAppExtension*>(&ext) ||
                                                (dynamic_cast<TGIFAppExtNSLoop*>(&ext) && (i != 0 || single));
                    if (carriesNothing) extensions.DeleteAt(e);
                }
                if (TGIFGraphicControlExtension* gce = frame.ControlExtension()) {
                    if (!gce->Transparent() && !gce->UserInput() &&
                        ((gce->Delay() == 0 && gce->DisposalMethod() < 2) || single))
                        extensions.DeleteAt(extensions.IndexOf(gce));
                }
                if (frame.IsEmpty() && extensions.ItemCount() == 0) frames.DeleteAt(i);
            }
            running();
        } else if ((steps & osReduceColours) && reductionMethod == 9) {
            RaiseGIFError(msg::InvalidReduction);
        }
    } catch (...) {
        ReportProgress(this, TGIFProgressStage::Ending, 0, false, kOptimizing);
        throw;
    }
    ReportProgress(this, TGIFProgressStage::Ending, 100, false, kOptimizing);
}

}  // namespace gif
