#include "app/OutputControls.h"

#include "app/AppLinks.h"
#include "app/FormBuild.h"
#include "app/QualitySlider.h"

namespace app {

using namespace forms;

namespace {

const char16_t* const kMpegFormats[] = {
    u"Standard MPEG1",
    u"MPEG1 with VCD extensions (NTSC)",
    u"MPEG1 with VCD extensions (PAL)",
    u"Standard MPEG2",
    u"MPEG2 with SVCD extensions (NTSC)",
    u"MPEG2 with SVCD extensions (PAL)",
    u"MPEG2 with DVD extensions (NTSC)",
    u"MPEG2 with DVD extensions (PAL)",
};

}  // namespace

void TOutputControls::BuildFormatGroup(TForm* window, TWinControl* parent, int left, int top, int width,
                                       const char16_t* combineCaption, const char16_t* delTempCaption) {
    gpbFormat = Place<TGroupBox>(window, parent, u"gpbFormat", left, top, width, 196, u"Output Format && Profile");
    rdbAVI = Place<TRadioButton>(window, gpbFormat, u"rdbAVI", 12, 20, 60, 17, u"AVI");
    rdbMPEG = Place<TRadioButton>(window, gpbFormat, u"rdbMPEG", 80, 20, 60, 17, u"MPEG");
    rdbWMV = Place<TRadioButton>(window, gpbFormat, u"rdbWMV", 150, 20, 60, 17, u"WMV");
    const int panelWidth = width - 16;
    auto panel = [&](const char16_t* name) {
        auto* p = Place<TPanel>(window, gpbFormat, name, 8, 42, panelWidth, 146);
        p->SetBevelOuter(TBevelCut::bvNone);
        return p;
    };

    // The compressor combos take what the About and Configure buttons leave.
    const int codecWidth = panelWidth - 184;
    const int aboutLeft = 4 + codecWidth + 8, configLeft = aboutLeft + 81;
    panAvi = panel(u"panAvi");
    labVideoCodec = Place<TLabel>(window, panAvi, u"labVideoCodec", 4, 4, 0, 0, u"Video Compression Codec:");
    cmbVideoCodec = ComboBox(window, panAvi, u"cmbVideoCodec", 4, 20, codecWidth);
    btnVideoAbout = Place<TButton>(window, panAvi, u"btnVideoAbout", aboutLeft, 18, 75, 25, u"About");
    btnVideoConfig = Place<TButton>(window, panAvi, u"btnVideoConfig", configLeft, 18, 85, 25, u"Configure...");
    labAudioCodec = Place<TLabel>(window, panAvi, u"labAudioCodec", 4, 56, 0, 0, u"Audio Compression Codec:");
    cmbAudioCodec = ComboBox(window, panAvi, u"cmbAudioCodec", 4, 72, codecWidth);
    btnAudioAbout = Place<TButton>(window, panAvi, u"btnAudioAbout", aboutLeft, 70, 75, 25, u"About");
    btnAudioConfig = Place<TButton>(window, panAvi, u"btnAudioConfig", configLeft, 70, 85, 25, u"Configure...");
    for (TButton* b : {btnVideoAbout, btnVideoConfig, btnAudioAbout, btnAudioConfig}) b->SetEnabled(false);

    panMPEG = panel(u"panMPEG");
    labMpegFormat = Place<TLabel>(window, panMPEG, u"labMpegFormat", 4, 4, 0, 0, u"MPEG Output Format");
    cmbMpegFormat = ComboBox(window, panMPEG, u"cmbMpegFormat", 4, 20, 300);
    for (const char16_t* f : kMpegFormats) cmbMpegFormat->Items().Add(f);
    chkCombine = Place<TCheckBox>(window, panMPEG, u"chkCombine", 4, 56, panelWidth - 8, 17, combineCaption);
    chkDelTemp = Place<TCheckBox>(window, panMPEG, u"chkDelTemp", 4, 80, panelWidth - 8, 17, delTempCaption);

    panWMV = panel(u"panWMV");
    labWmvProfile = Place<TLabel>(window, panWMV, u"labWmvProfile", 4, 4, 0, 0, u"Windows Media Profile");
    cmbWmvProfile = ComboBox(window, panWMV, u"cmbWmvProfile", 4, 20, panelWidth - 10);
    labDescription = Place<TLabel>(window, panWMV, u"labDescription", 4, 46, 0, 0, u"Discription:");
    memDescription = new TMemo(window);
    memDescription->SetName(u"memDescription");
    memDescription->SetReadOnly(true);
    memDescription->SetScrollBars(TScrollStyle::ssVertical);
    memDescription->SetBounds(4, 62, panelWidth - 10, 42);
    memDescription->SetParent(panWMV);
    // The codec labels sit above their combos, side by side.
    const int wmvCodecWidth = (panelWidth - 16) / 2, wmvAudioLeft = 4 + wmvCodecWidth + 6;
    labWmvVideo = Place<TLabel>(window, panWMV, u"labWmvVideo", 4, 110, 0, 0, u"Video Codec:");
    cmbWmvVideo = ComboBox(window, panWMV, u"cmbWmvVideo", 4, 124, wmvCodecWidth);
    labWmvAudio = Place<TLabel>(window, panWMV, u"labWmvAudio", wmvAudioLeft, 110, 0, 0, u"Audio Codec:");
    cmbWmvAudio = ComboBox(window, panWMV, u"cmbWmvAudio", wmvAudioLeft, 124, wmvCodecWidth);
}

void TOutputControls::BuildBitrateGroup(TForm* window, TWinControl* parent, int left, int top, int width,
                                        int height) {
    gpbBitrate = Place<TGroupBox>(window, parent, u"gpbBitrate", left, top, width, height, u"Output Bitrate");
    labVideoBitrate = Place<TLabel>(window, gpbBitrate, u"labVideoBitrate", 12, 24, 0, 0, u"Video Bitrate");
    edtVideoBitrate = Place<TEdit>(window, gpbBitrate, u"edtVideoBitrate", 90, 20, 70, 21, u"2000");
    labAudioBitrate = Place<TLabel>(window, gpbBitrate, u"labAudioBitrate", 190, 24, 0, 0, u"Audio Bitrate");
    edtAudioBitrate = Place<TEdit>(window, gpbBitrate, u"edtAudioBitrate", 268, 20, 70, 21, u"128");
    rdbCBR = Place<TRadioButton>(window, gpbBitrate, u"rdbCBR", 12, 52, 200, 17, u"Use Constant Bitrate (CBR)");
    rdbVBR = Place<TRadioButton>(window, gpbBitrate, u"rdbVBR", 220, 52, 200, 17, u"Use Variable Bitrate (VBR)");
    labQuality = Place<TLabel>(window, gpbBitrate, u"labQuality", 12, 86, 0, 0, u"Quality:");
    bvlQuality = Place<TBevel>(window, gpbBitrate, u"bvlQuality", kThumbLeftMin, 89, 150, 5);
    btnThumb = Place<TButton>(window, gpbBitrate, u"btnThumb", ThumbLeftForQuality(90), 84, 10, 14);
    btnThumb->SetTabStop(false);
    spnQuality = new TSpinEdit(window);
    spnQuality->SetName(u"spnQuality");
    spnQuality->SetMinValue(0);
    spnQuality->SetMaxValue(100);
    spnQuality->SetBounds(240, 82, 56, 21);
    spnQuality->SetParent(gpbBitrate);
    spnQuality->SetValue(90);
}

void TOutputControls::ConnectOutputEvents(TForm* window) {
    m_window = window;
    cmbVideoCodec->OnChange = [this](TObject* s) { cmbVideoCodecChange(s); };
    cmbAudioCodec->OnChange = [this](TObject* s) { cmbAudioCodecChange(s); };
    cmbWmvProfile->OnChange = [this](TObject* s) { cmbWmvProfileChange(s); };
    btnVideoAbout->OnClick = [this](TObject*) { CodecButtonClick(false, true); };
    btnVideoConfig->OnClick = [this](TObject*) { CodecButtonClick(false, false); };
    btnAudioAbout->OnClick = [this](TObject*) { CodecButtonClick(true, true); };
    btnAudioConfig->OnClick = [this](TObject*) { CodecButtonClick(true, false); };
    btnThumb->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int) { btnThumbMouseDown(x); };
    btnThumb->OnMouseMove = [this](TObject*, TShiftState shift, int x, int) { btnThumbMouseMove(shift, x); };
    spnQuality->OnChange = [this](TObject*) { spnQualityChange(); };
    spnQuality->OnClick = [this](TObject*) { rdbVBR->SetChecked(true); };
}

void TOutputControls::ShowOutputSettings(const OptionSettings& s) {
    LoadingScope loading(m_loading);
    rdbAVI->SetChecked(s.AVI);
    rdbMPEG->SetChecked(s.MPEG);
    rdbWMV->SetChecked(s.WMV);
    ShowFormatPanel();
    cmbVideoCodec->SetItemIndex(s.AviVidCodec);
    cmbAudioCodec->SetItemIndex(s.AviAudCodec);
    cmbVideoCodecChange(cmbVideoCodec);
    cmbAudioCodecChange(cmbAudioCodec);
    cmbMpegFormat->SetItemIndex(s.MpegFormat);
    chkCombine->SetChecked(s.CombineVidAud);
    chkDelTemp->SetChecked(s.DelTempFile);
    cmbWmvProfile->SetItemIndex(s.WmvProfile);
    cmbWmvVideo->SetItemIndex(s.WmvVidCodec);
    cmbWmvAudio->SetItemIndex(s.WmvAudCodec);
    cmbWmvProfileChange(cmbWmvProfile);
    rdbCBR->SetChecked(s.UseCBR);
    rdbVBR->SetChecked(s.UseVBR);
    edtVideoBitrate->SetText(s.VideoBitrate);
    edtAudioBitrate->SetText(s.AudioBitrate);
    spnQuality->SetValue(s.VBR);
    if (s.VBR >= 0 && s.VBR <= 100) MoveThumbTo(s.VBR);
}

void TOutputControls::ShowFormatPanel() {
    TPanel* shown = rdbAVI->Checked() ? panAvi : rdbMPEG->Checked() ? panMPEG : panWMV;
    for (TPanel* p : {panAvi, panMPEG, panWMV}) p->SetVisible(p == shown);
}

void TOutputControls::ShowPanelOf(TObject* radio) {
    TPanel* shown = radio == rdbAVI ? panAvi : radio == rdbMPEG ? panMPEG : panWMV;
    for (TPanel* p : {panAvi, panMPEG, panWMV}) p->SetVisible(p == shown);
}

void TOutputControls::MoveThumbTo(int quality) { btnThumb->SetLeft(ThumbLeftForQuality(quality)); }

void TOutputControls::cmbVideoCodecChange(TObject*) {
    const int index = cmbVideoCodec->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    btnVideoAbout->SetEnabled(index >= 0 && codecs && codecs->HasAboutBox(false, index));
    btnVideoConfig->SetEnabled(index >= 0 && codecs && codecs->HasConfigBox(false, index));
}

void TOutputControls::cmbAudioCodecChange(TObject*) {
    const int index = cmbAudioCodec->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    btnAudioAbout->SetEnabled(index >= 0 && codecs && codecs->HasAboutBox(true, index));
    btnAudioConfig->SetEnabled(index >= 0 && codecs && codecs->HasConfigBox(true, index));
}

void TOutputControls::cmbWmvProfileChange(TObject*) {
    memDescription->SetText(OptionLinks.codecs ? OptionLinks.codecs->ProfileDescription(cmbWmvProfile->ItemIndex())
                                               : String());
}

void TOutputControls::CodecButtonClick(bool audio, bool about) {
    const int index = (audio ? cmbAudioCodec : cmbVideoCodec)->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    if (index < 0 || !codecs || !m_window) return;
    if (about) codecs->ShowAboutBox(audio, index, m_window->Handle());
    else codecs->ShowConfigBox(audio, index, m_window->Handle());
}

// Any button pressed on the thumb chooses VBR; only the left one drags it.
void TOutputControls::btnThumbMouseDown(int x) {
    m_thumbPressedX = x;
    rdbVBR->SetChecked(true);
}

void TOutputControls::btnThumbMouseMove(TShiftState shift, int x) {
    if (!(shift & ssLeft)) return;
    const int left = DragThumb(btnThumb->Left(), m_thumbPressedX, x);
    btnThumb->SetLeft(left);
    spnQuality->SetValue(QualityForThumbLeft(left));
}

void TOutputControls::spnQualityChange() {
    const int value = spnQuality->Value();
    if (value >= 0 && value <= 100) MoveThumbTo(value);
    if (!m_loading) rdbVBR->SetChecked(true);
}

}  // namespace app
