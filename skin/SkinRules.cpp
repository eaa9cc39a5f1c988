#include "skin/SkinRules.h"

#include <algorithm>
#include <cctype>

namespace skin {

SkinRect FrameOf(int stripWidth, int stripHeight, int frameCount, int frameIndex, bool vertical) {
    const int n = SafeFrameCount(frameCount);
    if (vertical) {
        const int h = stripHeight / n;
        return {0, (frameIndex - 1) * h, stripWidth, frameIndex * h};
    }
    const int w = stripWidth / n;
    return {(frameIndex - 1) * w, 0, frameIndex * w, stripHeight};
}

SkinMargins CollapseMargins(SkinMargins m, int width, int height) {
    if (width < m.left + m.right) m.left = m.right = 0;
    if (height < m.top + m.bottom) m.top = m.bottom = 0;
    return m;
}

namespace {

// Pieces in target coordinates from (0, 0); tile marks the centre.
std::vector<SkinPiece> Pieces(const SkinRect& f, SkinMargins m, int W, int H, bool withCentre, bool tile) {
    m = CollapseMargins(m, W, H);
    const int L = m.left, T = m.top, R = m.right, B = m.bottom;
    const int sx = f.left, sy = f.top, FW = f.Width(), FH = f.Height();
    std::vector<SkinPiece> out;
    auto add = [&](bool when, SkinRect d, SkinRect s, bool centre = false) {
        if (when) out.push_back({d, s, centre && tile});
    };
    add(L * T > 0, {0, 0, L, T}, {sx, sy, sx + L, sy + T});
    add(L * B > 0, {0, H - B, L, H}, {sx, sy + FH - B, sx + L, sy + FH});
    add(R * T > 0, {W - R, 0, W, T}, {sx + FW - R, sy, sx + FW, sy + T});
    add(L > 0, {0, T, L, H - B}, {sx, sy + T, sx + L, sy + FH - B});
    add(T > 0, {L, 0, W - R, T}, {sx + L, sy, sx + FW - R, sy + T});
    add(withCentre, {L, T, W - R, H - B}, {sx + L, sy + T, sx + FW - R, sy + FH - B}, true);
    add(R * B > 0, {W - R, H - B, W, H}, {sx + FW - R, sy + FH - B, sx + FW, sy + FH});
    add(R > 0, {W - R, T, W, H - B}, {sx + FW - R, sy + T, sx + FW, sy + FH - B});
    add(B > 0, {L, H - B, W - R, H}, {sx + L, sy + FH - B, sx + FW - R, sy + FH});
    return out;
}

}  // namespace

std::vector<SkinPiece> NinePieces(const SkinRect& frame, SkinMargins m, int width, int height, bool tile) {
    return Pieces(frame, m, width, height, true, tile);
}

std::vector<SkinPiece> BorderPieces(const SkinRect& frame, SkinMargins m, const SkinRect& target) {
    std::vector<SkinPiece> out = Pieces(frame, m, target.Width(), target.Height(), false, false);
    for (SkinPiece& p : out) {
        p.dest.left += target.left;
        p.dest.right += target.left;
        p.dest.top += target.top;
        p.dest.bottom += target.top;
    }
    return out;
}

std::vector<SkinPiece> TiledBarPieces(const SkinRect& f, int left, int right, int width, int height) {
    const int sx = f.left, sy = f.top, FW = f.Width(), FH = f.Height();
    std::vector<SkinPiece> out;
    out.push_back({{0, 0, left, height}, {sx, sy, sx + left, sy + FH}});
    const int step = FW - left - right;
    if (step > 0) {
        for (int x = left; x < width - right; x += step)
            out.push_back({{x, 0, x + step, height}, {sx + left, sy, sx + left + step, sy + FH}});
    } else if (left < width - right) {
        // Nothing to repeat: the whole frame fills the middle once.
        out.push_back({{left, 0, width - right, height}, {sx, sy, sx + FW, sy + FH}});
    }
    out.push_back({{width - right, 0, width, height}, {sx + FW - right, sy, sx + FW, sy + FH}});
    return out;
}

// ---- Title-bar buttons ------------------------------------------------------------

namespace {

// The visibility table: the first condition (Visibility) when first is
// set, else the second (Visibility1).
bool VisibilityHolds(int value, int action, const ButtonWindowFacts& w, bool first) {
    switch (value) {
    case 0: return first ? (w.borderKind != 3 && (action != 0 || w.hasSystemMenu)) : true;
    case 1: return w.maximized;
    case 2: return !w.maximized;
    case 3: return w.active;
    case 4: return !w.active;
    case 6: return first ? (w.canMaximize && w.hasSystemMenu) : w.canMaximize;
    case 7: return !w.canMaximize;
    case 8: return first ? (w.canMinimize && w.hasSystemMenu) : w.canMinimize;
    case 9: return !w.canMinimize;
    case 100: return w.mdiChildMaximized;
    default: return value >= 200 && value <= 2000;
    }
}

}  // namespace

bool SysButtonVisible(int action, int visibility, int visibility1, const ButtonWindowFacts& w) {
    bool visible = VisibilityHolds(visibility, action, w, true) && VisibilityHolds(visibility1, action, w, false);
    if ((action == 1 && !w.canMaximize) || (action == 2 && !w.canMinimize)) visible = false;
    return visible;
}

SkinRect PlaceSysButton(int align, int xcoord, int ycoord, int width, int height, const ButtonLayoutFacts& f,
                        int& rightButtonsLeft) {
    int x = 0, y = 0;
    switch (align) {
    case 0:
        x = xcoord;
        y = ycoord;
        break;
    case 1:
        x = f.windowWidth - xcoord;
        y = ycoord;
        rightButtonsLeft = std::max(rightButtonsLeft, x);
        break;
    case 2:
    case 8:
        x = f.titleText.left - width - xcoord;
        y = ycoord;
        break;
    case 3:
    case 9:
        x = xcoord + f.titleText.right;
        y = ycoord;
        break;
    case 100:
        y = (f.menuBarHeight - height) / 2 + f.borderTop;
        x = f.rightToLeft ? xcoord + f.borderLeft + f.menuBarMargin
                          : f.windowWidth - xcoord - f.borderRight - f.menuBarMargin;
        break;
    default:
        break;
    }
    return {x, y, x + width, y + height};
}

int TitleButtonFrame(bool active, int frameCount) { return active || frameCount < 4 ? 1 : 4; }

int StateButtonFrame(int state, bool menuBarButton) { return state == 3 && menuBarButton ? 4 : state; }

// ---- Borders, title text, hit test ------------------------------------------------

int BorderKindOf(uint32_t style, uint32_t exStyle) {
    if ((style & kStylePopup) && (style & kStyleCaption) != kStyleCaption) return 2;
    if ((exStyle & kExStyleWindowEdge) || (style & kStyleThickFrame)) return 0;
    return 3;
}

int CapsOf(uint32_t style, bool hasSystemMenu) {
    int caps = 0;
    if ((style & kStyleSysMenu) || hasSystemMenu) caps |= kCapSysMenu;
    if (style & kStyleMinimizeBox) caps |= kCapMinimize;
    if (style & kStyleMaximizeBox) caps |= kCapMaximize;
    return caps;
}

BorderMetrics BorderMetricsOf(int borderKind, StripSize left, StripSize top, StripSize right, StripSize bottom) {
    if (borderKind == 2) return {};
    BorderMetrics m;
    m.top = top.height / SafeFrameCount(top.frames);
    m.left = left.width / SafeFrameCount(left.frames);
    m.right = right.width / SafeFrameCount(right.frames);
    m.bottom = bottom.height / SafeFrameCount(bottom.frames);
    return m;
}

SkinRect PlaceTitleText(const SkinRect& r, int textWidth, int textHeight, const TitleTextFacts& f) {
    SkinRect t{r.left, r.top, r.left + textWidth, r.top + textHeight};
    t.right += f.backLeft + f.backRight;
    const int alignment = f.rightToLeft ? 2 : f.alignment;
    int dx = 0;
    switch (alignment) {
    case 0: dx = f.textShift; break;
    case 1: dx = (r.Width() - t.Width()) / 2; break;
    case 2: dx = r.Width() - t.Width() - f.textRightClip; break;
    default: break;
    }
    const int dy = (r.Height() - t.Height()) / 2 + f.textShiftVert / 2;
    t.left += dx;
    t.right += dx;
    t.top += dy;
    t.bottom += dy;
    if (f.popup) {
        if (t.right < f.rightButtonsLeft - 5) t.right = f.rightButtonsLeft - 5;
    } else if (t.right > r.right - f.textRightClip) {
        t.right = r.right - f.textRightClip;
    }
    return t;
}

int NcHitTest(int systemAnswer, int windowY, int borderTop) {
    if (systemAnswer != kHitNowhere) return systemAnswer;
    if (windowY > borderTop) return kHitMenu;
    if (windowY > 3) return kHitCaption;
    return kHitNowhere;
}

// ---- Which window gets skinned --------------------------------------------------------

int SkinDataFor(const std::vector<SkinDataEntry>& entries, const std::string& className) {
    const int n = static_cast<int>(entries.size());
    for (int i = n - 1; i >= 0; --i)
        if (entries[i].kind == kSkinOnlyThisForm && entries[i].ownsThisWindow) return i;
    std::string lower = className;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "tmessageform" || lower == "#32770")
        for (int i = n - 1; i >= 0; --i)
            if (entries[i].kind == kSkinDialog) return i;
    for (int i = n - 1; i >= 0; --i)
        if (entries[i].kind == kSkinMainform) return i;
    return n > 0 ? 0 : -1;
}

SkinRefusal DecideSkinWindow(SkinWindowProbe& p, int& index) {
    index = -1;
    if (!p.ManagerActive()) return SkinRefusal::Inactive;
    if (p.AnswersSkinned()) return SkinRefusal::AnswersSkinned;
    if (p.HasSkinner()) return SkinRefusal::HasSkinner;
    if (!p.ActivatingAll() && p.IsMdiChild()) return SkinRefusal::MdiChild;
    if (p.Area() == 0) return SkinRefusal::ZeroSize;
    if (p.HasForm() && p.FormTag() == 99) return SkinRefusal::Tag99;
    const std::string cls = p.ClassName();
    if (cls == "TApplication") return SkinRefusal::Application;
    if (!p.CanSkinClass(cls)) return SkinRefusal::ClassRefused;
    const int i = p.SkinDataIndex(cls);
    if (i < 0) return SkinRefusal::NoSkinData;
    if (!p.SkinLoaded(i)) return SkinRefusal::NoSkinLoaded;
    index = i;
    return SkinRefusal::None;
}

// ---- The manager's one pending job ------------------------------------------------------

void SkinJobQueue::Queue(int code, int intervalMs) {
    jobCode = code;
    interval = intervalMs;
    if (activationSeen) {
        timerEnabled = true;
    } else if (code == kJobCodeActivate || code == kJobCodeDeactivate) {
        active = code == kJobCodeActivate;
    }
}

int SkinJobQueue::Take(const void*& data) {
    data = jobData;
    if (!jobData) return 0;
    timerEnabled = false;
    return jobCode;
}

void SkinJobQueue::Forget(const void* data) {
    if (!data || jobData != data) return;
    jobData = nullptr;
    timerEnabled = false;
}

}  // namespace skin
