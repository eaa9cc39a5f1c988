#include "skin/SkinControlRules.h"

#include <gtest/gtest.h>

using namespace skin;
using forms::TButtonLayout;

TEST(SkinControlRules, ButtonFramesFollowTheStateWithDisabledWinning) {
    EXPECT_EQ(PushButtonFrame(false, false, false, false), 1);
    EXPECT_EQ(PushButtonFrame(true, true, true, false), 2);
    EXPECT_EQ(PushButtonFrame(false, true, false, false), 4);
    EXPECT_EQ(PushButtonFrame(false, false, true, false), 4);
    EXPECT_EQ(PushButtonFrame(true, true, true, true), 3);
    // The glyph button: focus gives 4, a press 2 over the focus.
    EXPECT_EQ(BitButtonFrame(false, true, false, false), 4);
    EXPECT_EQ(BitButtonFrame(true, true, false, false), 2);
    EXPECT_EQ(BitButtonFrame(false, false, true, false), 4);
    EXPECT_EQ(BitButtonFrame(true, false, false, true), 3);
    // Speed buttons: Down shows pressed; images by state, 1 when the strip is short.
    EXPECT_EQ(SpeedButtonState(false, false, false, false, 4).glyph, 1);
    EXPECT_EQ(SpeedButtonState(true, false, false, false, 4).glyph, 3);
    EXPECT_EQ(SpeedButtonState(false, false, true, false, 4).glyph, 2);
    EXPECT_EQ(SpeedButtonState(false, false, true, false, 4).frame, 3);
    EXPECT_EQ(SpeedButtonState(false, true, false, true, 4).frame, 2);
    for (bool pressed : {false, true})
        for (bool disabled : {false, true}) EXPECT_EQ(SpeedButtonState(pressed, true, disabled, false, 1).glyph, 1);
    // Check boxes: indeterminate shows 4; disabled adds 2.
    EXPECT_EQ(CheckBoxFrame(false, false, false), 1);
    EXPECT_EQ(CheckBoxFrame(true, false, false), 2);
    EXPECT_EQ(CheckBoxFrame(false, false, true), 3);
    EXPECT_EQ(CheckBoxFrame(true, false, true), 4);
    EXPECT_EQ(CheckBoxFrame(false, true, true), 4);
}

TEST(SkinControlRules, GlyphButtonsLayOutInAllFourLayouts) {
    const forms::TLayoutSize client{100, 40}, glyph{16, 16}, text{30, 12};
    // Margin and spacing -1: three equal gaps along the layout axis.
    auto l = SkinGlyphLayout(client, glyph, text, TButtonLayout::blGlyphLeft, -1, -1, false);
    EXPECT_EQ(l.glyphLeft, 18);  // (100 - 16 - 30) / 3
    EXPECT_EQ(l.textLeft, 18 + 16 + 18);
    EXPECT_EQ(l.glyphTop, 12);  // (40 - 16 + 1) / 2
    l = SkinGlyphLayout(client, glyph, text, TButtonLayout::blGlyphRight, -1, -1, false);
    EXPECT_EQ(l.glyphLeft, 100 - 18 - 16);
    EXPECT_EQ(l.textRight, 100 - 18 - 16 - 18);
    const forms::TLayoutSize tall{40, 100};
    l = SkinGlyphLayout(tall, glyph, text, TButtonLayout::blGlyphTop, -1, -1, false);
    EXPECT_EQ(l.glyphTop, (100 - 16 - 12) / 3);
    EXPECT_EQ(l.glyphLeft, 12);
    EXPECT_EQ(l.textLeft, (40 - 30 + 1) / 2);
    l = SkinGlyphLayout(tall, glyph, text, TButtonLayout::blGlyphBottom, -1, -1, false);
    EXPECT_EQ(l.glyphTop, 100 - 24 - 16);
    // A given spacing centres the pair; the speed button one pixel further.
    l = SkinGlyphLayout(client, glyph, text, TButtonLayout::blGlyphLeft, -1, 4, false);
    EXPECT_EQ(l.glyphLeft, (100 - 16 - 4 - 30) / 2);
    l = SkinGlyphLayout(client, glyph, text, TButtonLayout::blGlyphLeft, -1, 4, true);
    EXPECT_EQ(l.glyphLeft, (100 - 16 - 4 - 30) / 2 + 1);
    // Without a caption the glyph is centred alone, without a glyph the text.
    l = SkinGlyphLayout(client, glyph, {0, 0}, TButtonLayout::blGlyphLeft, -1, -1, false);
    EXPECT_EQ(l.glyphLeft, (100 - 16) / 2);
    l = SkinGlyphLayout(client, glyph, {0, 0}, TButtonLayout::blGlyphLeft, -1, 4, true);
    EXPECT_EQ(l.glyphLeft, (100 - 16) / 2 + 1);
    l = SkinGlyphLayout(client, {0, 0}, text, TButtonLayout::blGlyphLeft, -1, 4, false);
    EXPECT_EQ(l.textLeft, (100 - 30) / 2);
}

TEST(SkinControlRules, BoxesSitWhereTheirWidthSays) {
    const SkinRect control{0, 0, 120, 21};
    // A 13-pixel box: (14 - 13) / 2 = 0 from the left, centred vertically.
    SkinRect box = CheckBoxPlacement(control, 13, 13, false);
    EXPECT_EQ(box, (SkinRect{0, 4, 13, 17}));
    box = CheckBoxPlacement(control, 10, 10, false);
    EXPECT_EQ(box.left, 2);
    box = CheckBoxPlacement(control, 20, 20, false);
    EXPECT_EQ(box.left, 0);
    // Text on the left: the box at the right.
    box = CheckBoxPlacement(control, 10, 10, true);
    EXPECT_EQ(box, (SkinRect{108, 5, 118, 15}));
    box = CheckBoxPlacement(control, 20, 20, true);
    EXPECT_EQ(box.right, 119);
}

TEST(SkinControlRules, ProgressUpDownComboAndStatusGeometry) {
    EXPECT_EQ(ProgressFillWidth(0, 100, 200), 0);
    EXPECT_EQ(ProgressFillWidth(50, 100, 200), 100);
    EXPECT_EQ(ProgressFillWidth(100, 100, 200), 200);
    EXPECT_EQ(ProgressFillWidth(50, 0, 200), 0);        // maximum 0: only the trough
    EXPECT_EQ(ProgressFillWidth(500, 100, 200), 200);   // never past the end
    EXPECT_EQ(ProgressFillWidth(2000000000, 2000000000, 1000), 1000);  // no overflow
    EXPECT_EQ(ProgressChunkCopies(100, 8), 13);
    EXPECT_EQ(ProgressChunkCopies(100, 0), 0);  // a chunk without width divides nothing

    SkinHalves h = UpDownHalves({0, 0, 17, 21}, false);
    EXPECT_EQ(h.first, (SkinRect{0, 0, 17, 10}));
    EXPECT_EQ(h.second, (SkinRect{0, 10, 17, 21}));
    h = UpDownHalves({1, 1, 31, 15}, true);
    EXPECT_EQ(h.first, (SkinRect{1, 1, 16, 15}));
    EXPECT_EQ(h.second, (SkinRect{16, 1, 31, 15}));
    EXPECT_EQ(UpDownHalfState(false, true, false), 1);
    EXPECT_EQ(UpDownHalfState(true, true, false), 2);
    EXPECT_EQ(UpDownHalfState(true, false, false), 4);
    EXPECT_EQ(UpDownHalfState(true, true, true), 3);
    EXPECT_EQ(UpDownFrame(2, true), 6);

    EXPECT_EQ(ComboState(true, true, true, false), 2);
    EXPECT_EQ(ComboState(false, false, true, true), 4);
    EXPECT_EQ(ComboState(false, false, false, false), 3);
    ComboRects c = ComboLayout(120, 21, 16, false);
    EXPECT_EQ(c.edit, (SkinRect{2, 2, 100, 19}));
    EXPECT_EQ(c.button, (SkinRect{102, 0, 120, 21}));
    EXPECT_EQ(c.glyph, (SkinRect{102, 0, 118, 21}));
    c = ComboLayout(120, 21, 16, true);
    EXPECT_EQ(c.edit, (SkinRect{20, 2, 118, 19}));
    EXPECT_EQ(c.button, (SkinRect{0, 0, 18, 21}));
    EXPECT_EQ(c.glyph, (SkinRect{2, 0, 18, 21}));

    EXPECT_EQ(StatusBevelFrame(pbLowered), 1);
    EXPECT_EQ(StatusBevelFrame(pbRaised), 2);
    EXPECT_EQ(StatusBevelFrame(pbNone), 3);
}

TEST(SkinControlRules, TabStripsAndItemsForEachOrientation) {
    EXPECT_EQ(TabOrientation(0), 0);
    EXPECT_EQ(TabOrientation(0x0002), 1);
    EXPECT_EQ(TabOrientation(0x0080), 2);
    EXPECT_EQ(TabOrientation(0x0082), 3);

    const SkinRect C{0, 0, 200, 150};
    const SkinRect P{4, 24, 196, 146};
    EXPECT_EQ(TabStrip(0, C, P), (SkinRect{0, 0, 200, 25}));
    const SkinRect Pb{4, 4, 196, 126};
    EXPECT_EQ(TabStrip(1, C, Pb), (SkinRect{0, 125, 200, 150}));
    const SkinRect Pl{30, 4, 196, 146};
    EXPECT_EQ(TabStrip(2, C, Pl), (SkinRect{0, 0, 31, 150}));
    const SkinRect Pr{4, 4, 170, 146};
    EXPECT_EQ(TabStrip(3, C, Pr), (SkinRect{169, 0, 200, 150}));
    int w = 0, hgt = 0;
    TabWorkSize(2, TabStrip(2, C, Pl), w, hgt);
    EXPECT_EQ(w, 150);
    EXPECT_EQ(hgt, 31);

    EXPECT_EQ(TabItemInWork(0, {2, 2, 60, 22}, C, P, 200), (SkinRect{2, 3, 60, 23}));
    EXPECT_EQ(TabItemInWork(1, {2, 128, 60, 148}, C, Pb, 200), (SkinRect{2, 2, 60, 22}));
    // Left: lying down in a work bitmap as wide as the control is high.
    EXPECT_EQ(TabItemInWork(2, {2, 2, 28, 60}, C, Pl, 150), (SkinRect{90, 2, 148, 28}));
    EXPECT_EQ(TabItemInWork(3, {172, 2, 198, 60}, C, Pr, 150), (SkinRect{1, 2, 59, 28}));

    // The tab set: a tab too wide is skipped, a later narrow one still shown.
    const std::vector<SkinRect> tabs = TabSetLayout({40, 200, 20}, 0, 120, 20, 5, 5, false);
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0], (SkinRect{5, 0, 54, 20}));
    EXPECT_EQ(tabs[1].Width(), 0);
    EXPECT_EQ(tabs[2], (SkinRect{54, 0, 83, 20}));
    // With the scroller shown each tab needs 12 more pixels; from the first visible.
    const std::vector<SkinRect> scrolled = TabSetLayout({40, 50, 20}, 1, 70, 20, 0, 5, true);
    ASSERT_EQ(scrolled.size(), 2u);
    EXPECT_EQ(scrolled[0].Width(), 0);  // 0 + 50 + 21 > 65
    EXPECT_EQ(scrolled[1], (SkinRect{0, 0, 29, 20}));
}

TEST(SkinControlRules, ScrollBarsLayOutWithTheirThumbs) {
    // 200 x 100 with both bars, 2-pixel edges, 16-pixel arrows.
    ScrollBarLayout l = LayoutScrollBars(200, 100, 180, 80, 16, 2, true, true, false);
    EXPECT_EQ(l.vert, (SkinRect{182, 2, 198, 82}));
    EXPECT_EQ(l.horz, (SkinRect{2, 82, 182, 98}));
    EXPECT_EQ(l.sizeBox, (SkinRect{182, 82, 198, 98}));
    l = LayoutScrollBars(200, 100, 180, 80, 16, 2, true, true, true);
    EXPECT_EQ(l.vert, (SkinRect{2, 2, 18, 82}));
    EXPECT_EQ(l.horz, (SkinRect{18, 82, 198, 98}));
    l = LayoutScrollBars(200, 100, 196, 80, 16, 2, true, false, false);
    EXPECT_EQ(l.horz, (SkinRect{2, 82, 198, 98}));
    EXPECT_EQ(l.vert.Width(), 0);
    EXPECT_EQ(l.sizeBox.Width(), 0);

    // Proportional thumb: page 10 of 0..99 on a 100-pixel track.
    ThumbGeometry g;
    ASSERT_TRUE(ThumbOfScrollInfo({0, 99, 10, 0}, 100, 16, 8, g));
    EXPECT_EQ(g.size, 10);
    EXPECT_EQ(g.pos, 0);
    ASSERT_TRUE(ThumbOfScrollInfo({0, 99, 10, 89}, 100, 16, 8, g));
    EXPECT_EQ(g.pos, 90);
    ASSERT_TRUE(ThumbOfScrollInfo({0, 1000, 1, 0}, 100, 16, 8, g));
    EXPECT_EQ(g.size, 8);  // the minimum
    ASSERT_TRUE(ThumbOfScrollInfo({0, 50, 0, 25}, 100, 16, 8, g));
    EXPECT_EQ(g.size, 16);  // no page: the system's fixed thumb
    EXPECT_EQ(g.pos, 42);
    ASSERT_TRUE(ThumbOfScrollInfo({0, 40, 40, 0}, 100, 16, 8, g));
    EXPECT_EQ(g.size, -1);
    // An empty range keeps the thumb it had.
    const ThumbGeometry before = g;
    EXPECT_FALSE(ThumbOfScrollInfo({5, 5, 0, 5}, 100, 16, 8, g));
    EXPECT_EQ(g.size, before.size);
    EXPECT_EQ(g.pos, before.pos);
    // The control's formula counts the range one larger.
    ASSERT_TRUE(ThumbOfScrollControl({0, 99, 10, 0}, 100, 16, 8, g));
    EXPECT_EQ(g.size, 10);
    ASSERT_TRUE(ThumbOfScrollControl({0, 99, 10, 90}, 100, 16, 8, g));
    EXPECT_EQ(g.pos, 90);
    ASSERT_TRUE(ThumbOfScrollControl({0, 99, 100, 0}, 100, 16, 8, g));
    EXPECT_EQ(g.size, -1);

    // Hit parts along the bar: arrows, pages, thumb.
    const ThumbGeometry t{100, 20, 30};
    EXPECT_EQ(ScrollHitPart(5, 16, t), 0);
    EXPECT_EQ(ScrollHitPart(20, 16, t), 2);
    EXPECT_EQ(ScrollHitPart(50, 16, t), 5);
    EXPECT_EQ(ScrollHitPart(70, 16, t), 3);
    EXPECT_EQ(ScrollHitPart(120, 16, t), 1);
    EXPECT_EQ(ScrollHitPart(132, 16, t), -1);

    // Dragging: clamped at both ends, paged and unpaged.
    const ThumbGeometry paged{100, 10, 0};
    EXPECT_EQ(ThumbDrag(0, 45, {0, 99, 10, 0}, paged).pos, 45);
    EXPECT_EQ(ThumbDrag(0, 500, {0, 99, 10, 0}, paged).pos, 90);  // nMax - nPage + 1
    EXPECT_EQ(ThumbDrag(0, -50, {0, 99, 10, 0}, paged).pos, 0);
    EXPECT_EQ(ThumbDrag(0, -50, {0, 99, 10, 0}, paged).offset, 0);
    const ThumbGeometry fixed{100, 16, 0};
    DragResult r = ThumbDrag(10, 500, {10, 60, 0, 10}, fixed);
    EXPECT_EQ(r.offset, 84);
    EXPECT_EQ(r.pos, 60);
    EXPECT_EQ(ThumbDrag(0, 42, {10, 60, 0, 10}, fixed).pos, 35);
    // A thumb filling the track maps everything to the start.
    EXPECT_EQ(ThumbDrag(0, 30, {0, 60, 0, 0}, ThumbGeometry{16, 16, 0}).pos, 0);
}

TEST(SkinControlRules, BareChildWindowsGetTheirSkinnerByTypeAndClass) {
    // BS_TYPEMASK decides: owner-drawn, push-box, split and command-link
    // buttons are neither check boxes nor radio buttons.
    const SkinnerKind expected[16] = {
        SkinnerKind::Button,      SkinnerKind::Button,   SkinnerKind::CheckBox, SkinnerKind::CheckBox,
        SkinnerKind::RadioButton, SkinnerKind::CheckBox, SkinnerKind::CheckBox, SkinnerKind::None,
        SkinnerKind::None,        SkinnerKind::RadioButton, SkinnerKind::None,  SkinnerKind::None,
        SkinnerKind::None,        SkinnerKind::None,     SkinnerKind::None,     SkinnerKind::None};
    for (uint32_t type = 0; type < 16; ++type)
        EXPECT_EQ(RawButtonKind(type | 0x50010000u), expected[type]) << "type " << type;

    EXPECT_EQ(RawChildKind("combobox", 0x0002), SkinnerKind::ComboBox);
    EXPECT_EQ(RawChildKind("combobox", 0x0001), SkinnerKind::None);  // simple
    EXPECT_EQ(RawChildKind("comboboxex32", 0), SkinnerKind::ComboBoxEx);
    // Only size boxes become size grips; a real scroll bar keeps painting.
    EXPECT_EQ(RawChildKind("scrollbar", 0x0000), SkinnerKind::None);
    EXPECT_EQ(RawChildKind("scrollbar", 0x0001), SkinnerKind::None);
    EXPECT_EQ(RawChildKind("scrollbar", 0x0008), SkinnerKind::Sizer);
    EXPECT_EQ(RawChildKind("scrollbar", 0x0010), SkinnerKind::Sizer);
    EXPECT_EQ(RawChildKind("systabcontrol32", 0), SkinnerKind::Tab);
    EXPECT_EQ(RawChildKind("systabcontrol32", 0x2000), SkinnerKind::None);
    EXPECT_EQ(RawChildKind("edit", 0), SkinnerKind::Edit);
    EXPECT_EQ(RawChildKind("static", 0), SkinnerKind::None);
}

TEST(SkinControlRules, FrameworkControlsGetTheFirstMatchingRow) {
    const uint32_t all = 0x3FFFF;
    ControlTraits button;
    button.upperClass = "TBUTTON";
    button.isButton = true;
    EXPECT_EQ(ChooseControlSkinner(button, all, 99, true, {}).kind, SkinnerKind::Button);
    // Tag 199 with DisableTag 99: left alone.
    button.tag = 199;
    EXPECT_EQ(ChooseControlSkinner(button, all, 99, true, {}).kind, SkinnerKind::None);
    button.tag = 0;
    EXPECT_EQ(ChooseControlSkinner(button, all & ~(1u << 10), 99, true, {}).kind, SkinnerKind::None);

    // Skin3rd names the class: its kind decides, even when its bit is off.
    const std::vector<std::string> third{"TOther=edit", "tbutton=Progress"};
    SkinChoice c = ChooseControlSkinner(button, all, 99, true, third);
    EXPECT_EQ(c.kind, SkinnerKind::Progress);
    c = ChooseControlSkinner(button, all & ~(1u << 7), 99, true, third);
    EXPECT_TRUE(c.handled);
    EXPECT_EQ(c.kind, SkinnerKind::None);
    EXPECT_EQ(Skin3rdKind(third, "TOTHER"), "edit");
    EXPECT_EQ(Skin3rdKind(third, "TOTH"), "");

    // The tool bar of that exact class: flat and coloured, no skinner;
    // a derived class gets a box.
    ControlTraits bar;
    bar.upperClass = "TTOOLBAR";
    bar.isToolBar = true;
    c = ChooseControlSkinner(bar, all, 99, true, {});
    EXPECT_TRUE(c.flat && c.recolour);
    EXPECT_EQ(c.kind, SkinnerKind::None);
    bar.upperClass = "TMYTOOLBAR";
    c = ChooseControlSkinner(bar, all, 99, true, {});
    EXPECT_EQ(c.kind, SkinnerKind::Box);
    EXPECT_TRUE(c.flat);

    // Page controls by handle, only with tabs in the skin.
    ControlTraits pages;
    pages.upperClass = "TPAGECONTROL";
    pages.isPageControl = true;
    c = ChooseControlSkinner(pages, all, 99, true, {});
    EXPECT_EQ(c.kind, SkinnerKind::Tab);
    EXPECT_TRUE(c.byHandle);
    EXPECT_EQ(ChooseControlSkinner(pages, all, 99, false, {}).kind, SkinnerKind::None);

    // A check box is a check box before anything else; a group box is
    // walked; a list view gets its own; a memo its scroll bars; an edit
    // goes by handle; a form is recoloured and walked.
    ControlTraits check;
    check.upperClass = "TCHECKBOX";
    check.isCheckBox = true;
    c = ChooseControlSkinner(check, all, 99, true, {});
    EXPECT_EQ(c.kind, SkinnerKind::CheckBox);
    EXPECT_EQ(c.flag, 1);
    ControlTraits group;
    group.upperClass = "TGROUPBOX";
    group.isGroupBox = true;
    c = ChooseControlSkinner(group, all, 99, true, {});
    EXPECT_EQ(c.kind, SkinnerKind::Box);
    EXPECT_TRUE(c.walk && c.childrenParentColour);
    ControlTraits list;
    list.upperClass = "TLISTVIEW";
    list.isListView = true;
    list.scrollable = true;
    EXPECT_EQ(ChooseControlSkinner(list, all, 99, true, {}).kind, SkinnerKind::ListView);
    ControlTraits memo;
    memo.upperClass = "TMEMO";
    memo.isMemo = memo.isEdit = true;
    EXPECT_EQ(ChooseControlSkinner(memo, all, 99, true, {}).kind, SkinnerKind::ScrollBar);
    EXPECT_EQ(ChooseControlSkinner(memo, all & ~(1u << 8), 99, true, {}).kind, SkinnerKind::Edit);
    ControlTraits speed;
    speed.upperClass = "TSPEEDBUTTON";
    speed.isSpeedButton = true;
    c = ChooseControlSkinner(speed, all, 99, true, {});
    EXPECT_EQ(c.kind, SkinnerKind::SpeedButton);
    EXPECT_FALSE(c.byHandle);
    EXPECT_EQ(ChooseControlSkinner(speed, all & ~(1u << 12), 99, true, {}).kind, SkinnerKind::None);
    ControlTraits combo;
    combo.upperClass = "TCOMBOBOX";
    combo.isComboBox = true;
    EXPECT_EQ(ChooseControlSkinner(combo, all, 99, true, {}).kind, SkinnerKind::ComboBox);
    ControlTraits odd;
    odd.upperClass = "TSOMETHING";
    odd.tag = 97;
    EXPECT_EQ(ChooseControlSkinner(odd, all, 99, true, {}).kind, SkinnerKind::Edit);
    odd.tag = 55;
    EXPECT_EQ(ChooseControlSkinner(odd, all, 99, true, {}).kind, SkinnerKind::ScrollBar);
    ControlTraits form;
    form.upperClass = "TFORM";
    form.isForm = true;
    c = ChooseControlSkinner(form, all, 99, true, {});
    EXPECT_TRUE(c.walk && c.recolour);
}
