// The arithmetic and the decisions of skinned windows, kept free of the
// platform so that they run in plain unit tests: where a frame lies in a
// strip, how a frame is cut into nine pieces, which title-bar buttons show
// and where, where the title text goes, what a point of the frame is, which
// window gets skinned with which skin, and the manager's one pending job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skin {

struct SkinRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const SkinRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Left, Top, Right, Bottom in pixels: the fixed edges of a nine-piece frame.
struct SkinMargins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// ---- Frame strips -----------------------------------------------------------------

// A frame count below 1 counts as 1 wherever a strip is cut.
inline int SafeFrameCount(int frameCount) { return frameCount < 1 ? 1 : frameCount; }
// One frame of a strip of frameCount frames, side by side (or one above the
// other when vertical); frameIndex counts from 1. Columns (rows) left over by
// the division are never part of a frame.
SkinRect FrameOf(int stripWidth, int stripHeight, int frameCount, int frameIndex, bool vertical);

// One copy of a piece of a frame: source (in the strip) stretched to dest.
// tile: the piece is the centre and is tiled instead of stretched.
struct SkinPiece {
    SkinRect dest;
    SkinRect source;
    bool tile = false;
};

// Margins that do not fit a target are dropped: left and right when the
// width is below their sum, top and bottom likewise.
SkinMargins CollapseMargins(SkinMargins m, int width, int height);
// The nine pieces of a frame put into a width x height target, in drawing
// order (corners, edges, the centre always, then the right and bottom side).
std::vector<SkinPiece> NinePieces(const SkinRect& frame, SkinMargins m, int width, int height, bool tile);
// The eight margin pieces only, placed at the target's position.
std::vector<SkinPiece> BorderPieces(const SkinRect& frame, SkinMargins m, const SkinRect& target);
// A bar: the left columns, the middle columns repeated, the right columns,
// each stretched to the full height. A frame no wider than its two margins
// has no middle to repeat: then the middle is stretched once.
std::vector<SkinPiece> TiledBarPieces(const SkinRect& frame, int left, int right, int width, int height);

// ---- Title-bar buttons ------------------------------------------------------------

// What the visibility tables ask of a window.
struct ButtonWindowFacts {
    int borderKind = 3;
    bool maximized = false;
    bool active = true;
    bool canMaximize = false;
    bool canMinimize = false;
    bool hasSystemMenu = false;
    // The MDI frame's active child is maximised and there is a menu bar.
    bool mdiChildMaximized = false;
};

// Whether a system button of this action and visibility pair shows.
bool SysButtonVisible(int action, int visibility, int visibility1, const ButtonWindowFacts& w);

// What the layout needs of the window besides the button.
struct ButtonLayoutFacts {
    int windowWidth = 0;
    SkinRect titleText;
    int borderTop = 0, borderLeft = 0, borderRight = 0;
    int menuBarHeight = 0;
    // The left margin of the skin's menu bar element, 0 without one.
    int menuBarMargin = 0;
    bool rightToLeft = false;
};

// The rectangle of a button one frame (width x height) big, by its Align;
// Align 1 buttons raise rightButtonsLeft to their left edge.
SkinRect PlaceSysButton(int align, int xcoord, int ycoord, int width, int height, const ButtonLayoutFacts& f,
                        int& rightButtonsLeft);

// Which frame of a button strip the title bar draws: frame 1 when active or
// when the strip has fewer than four frames, else frame 4.
int TitleButtonFrame(bool active, int frameCount);
// The frame of a button drawn alone in a mouse state (1 normal, 2 pressed,
// 3 hot); a menu-bar button's hot frame is 4.
int StateButtonFrame(int state, bool menuBarButton);

// ---- Borders, title text, hit test ------------------------------------------------

// Window facts from the style bits, as the form skinner takes them at attach.
constexpr uint32_t kStyleThickFrame = 0x00040000, kStylePopup = 0x80000000, kStyleCaption = 0x00C00000,
                   kStyleSysMenu = 0x00080000, kStyleMinimizeBox = 0x00020000, kStyleMaximizeBox = 0x00010000,
                   kExStyleWindowEdge = 0x00000100;
// 2: a popup without the whole caption; 0: an edged or sizing frame; else 3.
int BorderKindOf(uint32_t style, uint32_t exStyle);
// Capability bits: 8 system menu, 2 minimise box, 1 maximise box.
enum : int { kCapMaximize = 1, kCapMinimize = 2, kCapSysMenu = 8 };
int CapsOf(uint32_t style, bool hasSystemMenu);

// The frame thickness on each side, from the four border strips.
struct BorderMetrics {
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct StripSize {
    int width = 0, height = 0, frames = 1;
};
// Top and bottom strips are cut across their height, left and right across
// their width; a borderless popup has none.
BorderMetrics BorderMetricsOf(int borderKind, StripSize left, StripSize top, StripSize right, StripSize bottom);

struct TitleTextFacts {
    int textShift = 0, textShiftVert = 0, textRightClip = 0, alignment = 0;
    int backLeft = 0, backRight = 0;
    bool rightToLeft = false;
    bool popup = false;
    int rightButtonsLeft = 0;  // of the previous paint
};
// Where the title text with its back image goes in the title rectangle,
// given the measured text size.
SkinRect PlaceTitleText(const SkinRect& title, int textWidth, int textHeight, const TitleTextFacts& f);

constexpr int kHitNowhere = 0, kHitClient = 1, kHitCaption = 2, kHitMenu = 5;
// The form skinner takes the system's answer unless it is "nowhere": then
// the menu bar band gives "menu" and the rest below the top three rows
// "caption".
int NcHitTest(int systemAnswer, int windowY, int borderTop);

// ---- Which window gets skinned --------------------------------------------------------

// The kinds of skin data component.
enum SkinFormKind { kSkinMainform = 0, kSkinOnlyThisForm = 1, kSkinDialog = 2 };
struct SkinDataEntry {
    int kind = kSkinMainform;
    bool ownsThisWindow = false;  // its owner form's window is the one asked about
};
// The registered component that serves a window of this class name (the
// index in the list), or -1 when none is registered: the last one of its own
// form, else for dialogs the last dialog one, else the last main-form one,
// else the first.
int SkinDataFor(const std::vector<SkinDataEntry>& entries, const std::string& className);

// Why a window was not skinned (None: it is).
enum class SkinRefusal {
    None, Inactive, AnswersSkinned, HasSkinner, MdiChild, ZeroSize, Tag99, Application, ClassRefused, NoSkinData,
    NoSkinLoaded
};
// The questions of the decision, asked in order and only as far as needed.
class SkinWindowProbe {
public:
    virtual ~SkinWindowProbe() = default;
    virtual bool ManagerActive() = 0;
    virtual bool AnswersSkinned() = 0;  // the window says it is skinned already
    virtual bool HasSkinner() = 0;
    virtual bool ActivatingAll() = 0;
    virtual bool IsMdiChild() = 0;
    virtual int64_t Area() = 0;
    virtual bool HasForm() = 0;
    virtual int FormTag() = 0;
    virtual std::string ClassName() = 0;
    virtual bool CanSkinClass(const std::string& className) = 0;
    // The serving component (by SkinDataFor), -1 without one.
    virtual int SkinDataIndex(const std::string& className) = 0;
    virtual bool SkinLoaded(int index) = 0;
};
// The manager's rules for a window it may skin; index receives the serving
// component when the answer is None.
SkinRefusal DecideSkinWindow(SkinWindowProbe& probe, int& index);

// ---- The manager's one pending job ------------------------------------------------------

enum : int { kJobCodeActivate = 1, kJobCodeDeactivate = 2, kJobCodeReskin = 3, kJobCodePurge = 6 };

// The job timer and its one pending job. The timer interval is kept so
// that a real timer can follow it. Data is the component the job is for.
struct SkinJobQueue {
    int jobCode = 0;
    const void* jobData = nullptr;
    bool timerEnabled = false;
    int interval = 250;
    bool active = false;
    bool activationSeen = false;

    // Replaces a job that has not run. Before the first window activation
    // no timer runs: activation requests only switch the active flag.
    void Queue(int code, int intervalMs);
    // The timer fired: the job to run now (code 0 when there is none; the
    // timer then keeps running, as it does without a component).
    int Take(const void*& data);
    // The job ran.
    void Done() { jobData = nullptr; }
    // A component goes away: a job still pending for it is dropped and the
    // timer stopped.
    void Forget(const void* data);
};

}  // namespace skin
