// The arithmetic and decisions of skinned windows: frames cut from strips,
// nine pieces and bars, the title-bar buttons' tables, the title text, the
// frame's hit test, which window is skinned with which skin, and the
// manager's one pending job.
#include <gtest/gtest.h>

#include <map>

#include "skin/SkinRules.h"

namespace {

using namespace skin;

SkinRect R(int l, int t, int r, int b) { return SkinRect{l, t, r, b}; }

// Whether the pieces cover every pixel of a w x h target exactly once (the
// tiled pieces may run over the right edge).
int CoveredOnce(const std::vector<SkinPiece>& pieces, int w, int h) {
    int once = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int n = 0;
            for (const SkinPiece& p : pieces) n += p.dest.Contains(x, y);
            once += n == 1;
        }
    return once;
}

TEST(SkinRules, FramesAreCutFromStripsWithoutEverDividingByZero) {
    // 5 frames in 52 columns: frames are 10 wide, the last two columns unused.
    EXPECT_EQ(FrameOf(52, 8, 5, 1, false), R(0, 0, 10, 8));
    EXPECT_EQ(FrameOf(52, 8, 5, 5, false), R(40, 0, 50, 8));
    EXPECT_EQ(FrameOf(6, 27, 2, 2, true), R(0, 13, 6, 26));
    // A count below 1 counts as 1, in both directions.
    for (int count : {0, -1, -100}) {
        EXPECT_EQ(FrameOf(40, 8, count, 1, false), R(0, 0, 40, 8)) << count;
        EXPECT_EQ(FrameOf(4, 30, count, 1, true), R(0, 0, 4, 30)) << count;
    }
    EXPECT_EQ(SafeFrameCount(0), 1);
    EXPECT_EQ(SafeFrameCount(7), 7);
}

TEST(SkinRules, NinePiecesDropMarginsThatDoNotFitAndCoverTheTarget) {
    const SkinRect frame = R(20, 0, 40, 30);  // frame 2 of a 20-wide strip
    const SkinMargins m{4, 6, 5, 7};
    auto pieces = NinePieces(frame, m, 100, 50, false);
    ASSERT_EQ(pieces.size(), 9u);
    EXPECT_EQ(CoveredOnce(pieces, 100, 50), 100 * 50);
    // The corners are copied one to one from the frame's corners.
    EXPECT_EQ(pieces[0].dest, R(0, 0, 4, 6));
    EXPECT_EQ(pieces[0].source, R(20, 0, 24, 6));
    EXPECT_EQ(pieces[6].dest, R(95, 43, 100, 50));
    EXPECT_EQ(pieces[6].source, R(35, 23, 40, 30));
    // The centre, the sixth piece, is the only one that may tile.
    auto tiled = NinePieces(frame, m, 100, 50, true);
    for (size_t i = 0; i < tiled.size(); ++i) EXPECT_EQ(tiled[i].tile, i == 5) << i;
    EXPECT_EQ(tiled[5].dest, R(4, 6, 95, 43));
    EXPECT_EQ(tiled[5].source, R(24, 6, 35, 23));

    // Narrower than left + right: no side pieces, the centre and the top and
    // bottom edges span the whole width.
    pieces = NinePieces(frame, m, 8, 50, false);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].dest, R(0, 0, 8, 6));
    EXPECT_EQ(pieces[1].dest, R(0, 6, 8, 43));
    EXPECT_EQ(pieces[2].dest, R(0, 43, 8, 50));
    EXPECT_EQ(CoveredOnce(pieces, 8, 50), 8 * 50);
    // Likewise for the height; with neither, the centre alone.
    EXPECT_EQ(NinePieces(frame, m, 100, 12, false).size(), 3u);
    pieces = NinePieces(frame, m, 8, 12, false);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].dest, R(0, 0, 8, 12));
    EXPECT_EQ(pieces[0].source, frame);

    // The border alone: eight pieces at the target's place, the centre left out.
    pieces = BorderPieces(frame, m, R(10, 20, 110, 70));
    ASSERT_EQ(pieces.size(), 8u);
    for (const SkinPiece& p : pieces) EXPECT_FALSE(p.dest.Contains(50, 40));
    EXPECT_EQ(pieces[0].dest, R(10, 20, 14, 26));
    EXPECT_EQ(CoveredOnce(pieces, 110, 70), 100 * 50 - 91 * 37);
}

TEST(SkinRules, ATiledBarRepeatsItsMiddleAndNeverLoopsOnANarrowFrame) {
    // Frame 30 wide, margins 5 and 7: middle columns 18 wide.
    const SkinRect frame = R(30, 0, 60, 20);
    auto pieces = TiledBarPieces(frame, 5, 7, 100, 24);
    ASSERT_EQ(pieces.size(), 2u + 5u);  // ceil(88 / 18) tiles
    EXPECT_EQ(pieces.front().dest, R(0, 0, 5, 24));
    EXPECT_EQ(pieces.front().source, R(30, 0, 35, 20));
    EXPECT_EQ(pieces[1].source, R(35, 0, 53, 20));
    EXPECT_EQ(pieces[5].dest, R(77, 0, 95, 24));  // the last tile runs under the right end
    EXPECT_EQ(pieces.back().dest, R(93, 0, 100, 24));
    EXPECT_EQ(pieces.back().source, R(53, 0, 60, 20));
    // A frame no wider than its margins (step 0 or less): the middle is
    // stretched once instead of repeated forever.
    for (int left : {15, 20, 40}) {
        pieces = TiledBarPieces(frame, left, 15, 200, 24);
        ASSERT_EQ(pieces.size(), 3u) << left;
        EXPECT_EQ(pieces[1].dest, R(left, 0, 185, 24));
        EXPECT_EQ(pieces[1].source, frame);
    }
    // An empty frame and a bar narrower than its margins stay finite too.
    EXPECT_EQ(TiledBarPieces(R(0, 0, 0, 0), 0, 0, 500, 10).size(), 3u);
    EXPECT_EQ(TiledBarPieces(frame, 60, 60, 50, 10).size(), 2u);
}

TEST(SkinRules, TitleButtonsShowByTheirVisibilityTables) {
    ButtonWindowFacts w;
    w.borderKind = 0;
    w.canMaximize = w.canMinimize = w.hasSystemMenu = true;
    // A close button (action 0, visibility 0) needs a system menu and a frame.
    EXPECT_TRUE(SysButtonVisible(0, 0, 0, w));
    ButtonWindowFacts noMenu = w;
    noMenu.hasSystemMenu = false;
    EXPECT_FALSE(SysButtonVisible(0, 0, 0, noMenu));
    EXPECT_TRUE(SysButtonVisible(5, 0, 0, noMenu));  // other actions do not need it
    ButtonWindowFacts plain = w;
    plain.borderKind = 3;
    EXPECT_FALSE(SysButtonVisible(0, 0, 0, plain));
    // Minimise and maximise buttons never show without their box, whatever
    // their visibility says.
    ButtonWindowFacts fixed = w;
    fixed.canMinimize = fixed.canMaximize = false;
    for (int v : {0, 200, 1000})
        EXPECT_FALSE(SysButtonVisible(2, v, v, fixed)) << v;
    EXPECT_FALSE(SysButtonVisible(1, 0, 0, fixed));
    EXPECT_TRUE(SysButtonVisible(7, 9, 9, fixed));
    EXPECT_TRUE(SysButtonVisible(7, 7, 7, fixed));
    // Both conditions must hold: maximise (6, 2) shows on a normal window,
    // restore (6, 1) on a maximised one.
    EXPECT_TRUE(SysButtonVisible(1, 6, 2, w));
    EXPECT_FALSE(SysButtonVisible(1, 6, 1, w));
    ButtonWindowFacts big = w;
    big.maximized = true;
    EXPECT_FALSE(SysButtonVisible(1, 6, 2, big));
    EXPECT_TRUE(SysButtonVisible(1, 6, 1, big));
    // Value 6 differs between the two tables: the first also wants a system menu.
    EXPECT_FALSE(SysButtonVisible(1, 6, 0, noMenu));
    EXPECT_TRUE(SysButtonVisible(1, 0, 6, noMenu));
    // Active and inactive, never, always, and unknown values.
    ButtonWindowFacts off = w;
    off.active = false;
    EXPECT_TRUE(SysButtonVisible(5, 3, 0, w));
    EXPECT_FALSE(SysButtonVisible(5, 3, 0, off));
    EXPECT_TRUE(SysButtonVisible(5, 4, 4, off));
    for (int v : {5, 10, 11, 12, 199, 2001, -1}) EXPECT_FALSE(SysButtonVisible(5, v, 200, w)) << v;
    for (int v : {200, 777, 2000}) EXPECT_TRUE(SysButtonVisible(5, v, v, w)) << v;
    // The MDI buttons follow the frame's maximised child.
    EXPECT_FALSE(SysButtonVisible(7, 100, 100, w));
    ButtonWindowFacts mdi = w;
    mdi.mdiChildMaximized = true;
    EXPECT_TRUE(SysButtonVisible(7, 100, 100, mdi));
}

TEST(SkinRules, TitleButtonsArePlacedByTheirAlign) {
    ButtonLayoutFacts f;
    f.windowWidth = 500;
    f.titleText = R(30, 4, 200, 20);
    f.borderTop = 26;
    f.borderLeft = 4;
    f.borderRight = 6;
    f.menuBarHeight = 20;
    f.menuBarMargin = 3;
    int right = 0;
    EXPECT_EQ(PlaceSysButton(0, 6, 5, 16, 16, f, right), R(6, 5, 22, 21));
    EXPECT_EQ(right, 0);
    EXPECT_EQ(PlaceSysButton(1, 22, 6, 16, 14, f, right), R(478, 6, 494, 20));
    EXPECT_EQ(PlaceSysButton(1, 58, 6, 16, 14, f, right), R(442, 6, 458, 20));
    EXPECT_EQ(right, 478);  // the largest left edge of the right-aligned buttons
    EXPECT_EQ(PlaceSysButton(2, 2, 3, 16, 14, f, right), R(12, 3, 28, 17));
    EXPECT_EQ(PlaceSysButton(8, 2, 3, 16, 14, f, right), R(12, 3, 28, 17));
    EXPECT_EQ(PlaceSysButton(3, 2, 3, 16, 14, f, right), R(202, 3, 218, 17));
    EXPECT_EQ(PlaceSysButton(9, 2, 3, 16, 14, f, right), R(202, 3, 218, 17));
    // MDI buttons: centred in the menu bar, from the right (or the left).
    EXPECT_EQ(PlaceSysButton(100, 14, 0, 10, 12, f, right), R(477, 30, 487, 42));
    f.rightToLeft = true;
    EXPECT_EQ(PlaceSysButton(100, 14, 0, 10, 12, f, right), R(21, 30, 31, 42));
    EXPECT_EQ(PlaceSysButton(42, 14, 9, 10, 12, f, right), R(0, 0, 10, 12));
    EXPECT_EQ(right, 478);
    // Frames drawn by state.
    EXPECT_EQ(TitleButtonFrame(true, 4), 1);
    EXPECT_EQ(TitleButtonFrame(false, 4), 4);
    EXPECT_EQ(TitleButtonFrame(false, 3), 1);
    EXPECT_EQ(StateButtonFrame(3, false), 3);
    EXPECT_EQ(StateButtonFrame(3, true), 4);
    EXPECT_EQ(StateButtonFrame(2, true), 2);
}

TEST(SkinRules, TheTitleTextIsPlacedByAlignmentShiftAndClip) {
    const SkinRect title = R(4, 0, 396, 26);  // 392 wide
    TitleTextFacts f;
    f.textShift = 26;
    f.textRightClip = 60;
    // Left: shifted; vertically centred, half the vertical shift added.
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(30, 6, 130, 20));
    f.textShiftVert = 5;  // halves round toward zero
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(30, 8, 130, 22));
    f.textShiftVert = -5;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(30, 4, 130, 18));
    f.textShiftVert = 0;
    // The back image's ends widen the text's box.
    f.backLeft = 3;
    f.backRight = 5;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(30, 6, 138, 20));
    f.backLeft = f.backRight = 0;
    // Centred, right (left of the clip), right-to-left always right.
    f.alignment = 1;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(150, 6, 250, 20));
    f.alignment = 2;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(236, 6, 336, 20));
    f.alignment = 7;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(4, 6, 104, 20));
    f.alignment = 0;
    f.rightToLeft = true;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f), R(236, 6, 336, 20));
    f.rightToLeft = false;
    // A long text is clipped before the buttons...
    EXPECT_EQ(PlaceTitleText(title, 500, 14, f).right, 336);
    // ...except on a popup window, whose box only reaches to the buttons.
    f.popup = true;
    f.rightButtonsLeft = 320;
    EXPECT_EQ(PlaceTitleText(title, 100, 14, f).right, 315);
    EXPECT_EQ(PlaceTitleText(title, 500, 14, f).right, 530);
}

TEST(SkinRules, TheFrameAnswersHitTestsByBands) {
    // The system's answer stands unless it is "nowhere".
    EXPECT_EQ(NcHitTest(kHitClient, 100, 26), kHitClient);
    EXPECT_EQ(NcHitTest(10 /* left edge */, 1, 26), 10);
    EXPECT_EQ(NcHitTest(kHitNowhere, 0, 26), kHitNowhere);
    EXPECT_EQ(NcHitTest(kHitNowhere, 3, 26), kHitNowhere);
    EXPECT_EQ(NcHitTest(kHitNowhere, 4, 26), kHitCaption);
    EXPECT_EQ(NcHitTest(kHitNowhere, 26, 26), kHitCaption);
    EXPECT_EQ(NcHitTest(kHitNowhere, 27, 26), kHitMenu);
}

TEST(SkinRules, BordersAndCapabilitiesComeFromTheStyle) {
    EXPECT_EQ(BorderKindOf(kStylePopup, 0), 2);
    EXPECT_EQ(BorderKindOf(kStylePopup | 0x00800000 /* border only */, kExStyleWindowEdge), 2);
    EXPECT_EQ(BorderKindOf(kStylePopup | kStyleCaption, kExStyleWindowEdge), 0);
    EXPECT_EQ(BorderKindOf(kStyleCaption | kStyleThickFrame, 0), 0);
    EXPECT_EQ(BorderKindOf(kStyleCaption, 0), 3);
    EXPECT_EQ(CapsOf(kStyleSysMenu | kStyleMinimizeBox, false), kCapSysMenu | kCapMinimize);
    EXPECT_EQ(CapsOf(kStyleMaximizeBox, true), kCapSysMenu | kCapMaximize);
    EXPECT_EQ(CapsOf(0, false), 0);
    // Widths are one frame of each strip; a frame count of 0 counts as 1.
    BorderMetrics m = BorderMetricsOf(0, {8, 300, 2}, {50, 52, 2}, {12, 300, 0}, {50, 9, 3});
    EXPECT_EQ(m.left, 4);
    EXPECT_EQ(m.top, 26);
    EXPECT_EQ(m.right, 12);
    EXPECT_EQ(m.bottom, 3);
    m = BorderMetricsOf(2, {8, 300, 2}, {50, 52, 2}, {12, 300, 1}, {50, 9, 3});
    EXPECT_EQ(m.left + m.top + m.right + m.bottom, 0);
}

TEST(SkinRules, EachWindowIsServedByOneSkinComponent) {
    const std::vector<SkinDataEntry> none;
    EXPECT_EQ(SkinDataFor(none, "TMainForm"), -1);
    // A main-form component serves everything when it is alone.
    std::vector<SkinDataEntry> list{{kSkinMainform, false}};
    EXPECT_EQ(SkinDataFor(list, "#32770"), 0);
    // Message boxes and framework message forms get the last dialog one.
    list = {{kSkinDialog, false}, {kSkinMainform, false}, {kSkinDialog, false}};
    EXPECT_EQ(SkinDataFor(list, "#32770"), 2);
    EXPECT_EQ(SkinDataFor(list, "TMessageForm"), 2);
    EXPECT_EQ(SkinDataFor(list, "TOptionForm"), 1);
    // A form's own component wins over all (the last one of its own).
    list = {{kSkinOnlyThisForm, true}, {kSkinMainform, false}, {kSkinOnlyThisForm, true}, {kSkinDialog, false}};
    EXPECT_EQ(SkinDataFor(list, "#32770"), 2);
    list = {{kSkinOnlyThisForm, false}, {kSkinMainform, false}, {kSkinMainform, false}};
    EXPECT_EQ(SkinDataFor(list, "TAboutForm"), 2);
    // Without a main-form one, the first registered.
    list = {{kSkinOnlyThisForm, false}, {kSkinDialog, false}};
    EXPECT_EQ(SkinDataFor(list, "TAboutForm"), 0);
}

// A window as the rules see it, counting the questions asked.
class FakeWindow final : public SkinWindowProbe {
public:
    bool active = true, answers = false, skinner = false, activatingAll = false, mdiChild = false, form = true;
    int64_t area = 640 * 480;
    int tag = 0;
    std::string cls = "TOptionForm";
    bool classAllowed = true;
    int index = 0;
    bool loaded = true;
    std::map<std::string, int> asked;

    bool ManagerActive() override { return Ask("active", active); }
    bool AnswersSkinned() override { return Ask("answers", answers); }
    bool HasSkinner() override { return Ask("skinner", skinner); }
    bool ActivatingAll() override { return Ask("all", activatingAll); }
    bool IsMdiChild() override { return Ask("mdi", mdiChild); }
    int64_t Area() override { return Ask("area", area); }
    bool HasForm() override { return Ask("form", form); }
    int FormTag() override { return Ask("tag", tag); }
    std::string ClassName() override { return Ask("class", cls); }
    bool CanSkinClass(const std::string&) override { return Ask("allowed", classAllowed); }
    int SkinDataIndex(const std::string&) override { return Ask("index", index); }
    bool SkinLoaded(int) override { return Ask("loaded", loaded); }

private:
    template <class T>
    T Ask(const char* what, T value) {
        ++asked[what];
        return value;
    }
};

SkinRefusal Decide(FakeWindow& w) {
    int index = -1;
    const SkinRefusal r = DecideSkinWindow(w, index);
    EXPECT_EQ(index, r == SkinRefusal::None ? w.index : -1);
    return r;
}

TEST(SkinRules, TheManagerSkinsAWindowOnlyWhenEveryRuleAgrees) {
    FakeWindow w;
    EXPECT_EQ(Decide(w), SkinRefusal::None);
    // Switched off: the window is not even asked whether it is skinned.
    FakeWindow off;
    off.active = false;
    EXPECT_EQ(Decide(off), SkinRefusal::Inactive);
    EXPECT_EQ(off.asked.count("answers"), 0u);
    FakeWindow answered;
    answered.answers = true;
    EXPECT_EQ(Decide(answered), SkinRefusal::AnswersSkinned);
    FakeWindow known;
    known.skinner = true;
    EXPECT_EQ(Decide(known), SkinRefusal::HasSkinner);
    // An MDI child the user activates is skipped; activating all takes it.
    FakeWindow child;
    child.mdiChild = true;
    EXPECT_EQ(Decide(child), SkinRefusal::MdiChild);
    child.activatingAll = true;
    EXPECT_EQ(Decide(child), SkinRefusal::None);
    FakeWindow empty;
    empty.area = 0;
    EXPECT_EQ(Decide(empty), SkinRefusal::ZeroSize);
    // Tag 99 exactly keeps a form out; 199 does not; a window without a form
    // has no tag to ask.
    FakeWindow tagged;
    tagged.tag = 99;
    EXPECT_EQ(Decide(tagged), SkinRefusal::Tag99);
    tagged.tag = 199;
    EXPECT_EQ(Decide(tagged), SkinRefusal::None);
    FakeWindow bare;
    bare.form = false;
    bare.tag = 99;
    bare.cls = "#32770";
    EXPECT_EQ(Decide(bare), SkinRefusal::None);
    EXPECT_EQ(bare.asked.count("tag"), 0u);
    FakeWindow application;
    application.cls = "TApplication";
    EXPECT_EQ(Decide(application), SkinRefusal::Application);
    FakeWindow refused;
    refused.classAllowed = false;
    EXPECT_EQ(Decide(refused), SkinRefusal::ClassRefused);
    FakeWindow orphan;
    orphan.index = -1;
    EXPECT_EQ(Decide(orphan), SkinRefusal::NoSkinData);
    FakeWindow unloaded;
    unloaded.loaded = false;
    unloaded.index = 2;
    EXPECT_EQ(Decide(unloaded), SkinRefusal::NoSkinLoaded);
}

TEST(SkinRules, TheManagerHoldsOneJobAndRunsNothingBeforeTheFirstActivation) {
    int token = 0, other = 0;
    const void* data = nullptr;
    SkinJobQueue q;
    // Before the first activation: activation requests only switch the flag,
    // and no timer runs.
    q.Queue(kJobCodeActivate, 250);
    EXPECT_TRUE(q.active);
    EXPECT_FALSE(q.timerEnabled);
    q.Queue(kJobCodeReskin, 250);
    EXPECT_TRUE(q.active);
    q.Queue(kJobCodeDeactivate, 250);
    EXPECT_FALSE(q.active);
    EXPECT_FALSE(q.timerEnabled);
    // After it: the timer runs, and a newer request replaces the old one.
    q.activationSeen = true;
    q.jobData = &token;
    q.Queue(kJobCodeActivate, 250);
    EXPECT_TRUE(q.timerEnabled);
    EXPECT_FALSE(q.active);  // the job, not the request, switches it now
    q.Queue(kJobCodeDeactivate, 250);
    EXPECT_EQ(q.Take(data), kJobCodeDeactivate);
    EXPECT_EQ(data, &token);
    EXPECT_FALSE(q.timerEnabled);
    q.Done();
    EXPECT_EQ(q.jobData, nullptr);
    // A timer event without a component runs nothing and keeps the timer.
    q.Queue(kJobCodeReskin, 100);
    EXPECT_EQ(q.interval, 100);
    EXPECT_EQ(q.Take(data), 0);
    EXPECT_TRUE(q.timerEnabled);
    // A component freed before its job ran takes the job along and stops
    // the timer; another component's job stays.
    q.jobData = &token;
    q.Queue(kJobCodeReskin, 250);
    q.Forget(&other);
    EXPECT_EQ(q.jobData, &token);
    EXPECT_TRUE(q.timerEnabled);
    q.Forget(&token);
    EXPECT_EQ(q.jobData, nullptr);
    EXPECT_FALSE(q.timerEnabled);
    EXPECT_EQ(q.Take(data), 0);
}

}  // namespace
