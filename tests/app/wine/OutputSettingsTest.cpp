// The output-settings window on its own: what it loads from Option.ini and
// saves on Start, the compressor buttons with the real control's listings
// (the audio compressor's About box), the runtime check of its "WMV" radio,
// the custom-folder browser, Cancel, and a Start with nothing to convert.
#include <windows.h>

#include <string>

#include "app/Convert.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/QualitySlider.h"
#include "app/QueryDialog.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::ConvertForm;
using app::MainForm;
using app::ProgressForm;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

#define CHECK_TEXT(a, b) CHECK_EQ((a), std::string(b))

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The program's windows once the control has filled the lists.
struct Windows {
    at::ProgramWindows w;
    explicit Windows(const std::string& tag) : w(tag) {
        REQUIRE(ft::PumpUntil([] { return ProgressForm->AudioCodecIds.Count() > 1; }, 20000));
    }
};

struct TextSearch {
    std::string part;
    bool found = false;
};

BOOL CALLBACK FindText(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<TextSearch*>(p);
    if (Has(U8(ft::WindowText(hwnd)), s->part)) {
        s->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WT_TEST(OutputSettings, LoadsTheSavedChoices) {
    Windows x("settings-load");
    x.w.WriteOptions(
        "[General]\r\nDefault=0\r\nSource=1\r\nCustom=0\r\nCustomFolder=D:\\Out\r\n[OutputFormat]\r\nAVI=0\r\n"
        "MPEG=1\r\nWMV=0\r\nAviVidCodec=1\r\nAviAudCodec=99\r\nMpegFormat=3\r\nWmvProfile=2\r\nUseCBR=1\r\n"
        "UseVBR=0\r\nVideoBitrate=900\r\nVBR=40\r\n");
    bool asked = false;
    at::Repeater watch([&] {
        asked |= app::DialogForm->Showing();
        return false;
    });
    ConvertForm->Show();
    ft::Pump(20);
    CHECK(ConvertForm->rdbSource->Checked() && !ConvertForm->rdbDefault->Checked());
    CHECK_TEXT(U8(ConvertForm->edtCustomFolder->GetText()), "D:\\Out");
    CHECK(ConvertForm->rdbMPEG->Checked());
    CHECK(ConvertForm->panMPEG->Visible() && !ConvertForm->panAvi->Visible() && !ConvertForm->panWMV->Visible());
    CHECK_EQ(ConvertForm->cmbVideoCodec->ItemIndex(), 1);
    // An index beyond the list leaves no selection and the buttons off.
    CHECK_EQ(ConvertForm->cmbAudioCodec->ItemIndex(), -1);
    CHECK(!ConvertForm->btnAudioAbout->Enabled() && !ConvertForm->btnAudioConfig->Enabled());
    CHECK_EQ(ConvertForm->cmbMpegFormat->ItemIndex(), 3);
    CHECK_EQ(ConvertForm->cmbWmvProfile->ItemIndex(), 2);
    CHECK(ConvertForm->memDescription->GetText() == ProgressForm->ProfileDescription(2));
    CHECK(!ConvertForm->memDescription->GetText().empty());
    // Loading is not the user's choice: CBR stays as saved.
    CHECK(ConvertForm->rdbCBR->Checked() && !ConvertForm->rdbVBR->Checked());
    CHECK_TEXT(U8(ConvertForm->edtVideoBitrate->GetText()), "900");
    CHECK_EQ(ConvertForm->spnQuality->Value(), 40);
    CHECK_EQ(ConvertForm->btnThumb->Left(), app::ThumbLeftForQuality(40));
    for (forms::TComboBox* c : {ConvertForm->cmbWidth, ConvertForm->cmbHeight, ConvertForm->cmbFrameRate})
        CHECK_TEXT(U8(c->GetText()), "Source");
    CHECK_TEXT(U8(ConvertForm->edtDefaultFolder->GetText()), U8(forms::ExtractFilePath(forms::Application->ExeName())));
    // A saved WMV choice shows its panel without asking about the runtime.
    x.w.WriteOptions("[OutputFormat]\r\nAVI=0\r\nMPEG=0\r\nWMV=1\r\n");
    ConvertForm->Hide();
    ConvertForm->Show();
    ft::Pump(20);
    CHECK(ConvertForm->panWMV->Visible());
    CHECK(!asked);

    // Changing the quality is a VBR choice.
    ConvertForm->spnQuality->SetValue(70);
    CHECK(ConvertForm->rdbVBR->Checked());
    CHECK_EQ(ConvertForm->btnThumb->Left(), app::ThumbLeftForQuality(70));
    ConvertForm->Close();
    CHECK(MainForm->Showing());
    CHECK(x.w.Errors().empty());
}

WT_TEST(OutputSettings, StartSavesAndAnEmptyListIsReported) {
    Windows x("settings-start");
    ConvertForm->Show();
    ft::Pump(20);
    ft::ClickButton(*ConvertForm->rdbCustom);
    ConvertForm->edtCustomFolder->SetText(u"E:\\Films");
    ft::ClickButton(*ConvertForm->rdbMPEG);
    CHECK(ConvertForm->panMPEG->Visible());
    ConvertForm->cmbMpegFormat->SetItemIndex(5);
    ConvertForm->cmbVideoCodec->SetItemIndex(1);
    ConvertForm->edtAudioBitrate->SetText(u"96");
    ConvertForm->spnQuality->SetValue(55);

    ft::MessageBoxAnswerer answers;
    ft::ClickButton(*ConvertForm->btnStart);
    CHECK(!ConvertForm->Showing());
    CHECK(ProgressForm->Showing());
    const std::string saved = x.w.ReadOptions();
    CHECK(Has(saved, "[General]\r\nDefault=0\r\nSource=0\r\nCustom=1\r\nCustomFolder=E:\\Films\r\n"));
    CHECK(Has(saved, "[OutputFormat]\r\nAVI=0\r\nMPEG=1\r\nWMV=0\r\nAviVidCodec=1\r\nAviAudCodec="));
    CHECK(Has(saved, "MpegFormat=5\r\nCombineVidAud=1\r\nDelTempFile=1\r\nWmvProfile="));
    CHECK(Has(saved, "UseCBR=0\r\nUseVBR=1\r\nVideoBitrate=2000\r\nAudioBitrate=96\r\nVBR=55\r\n"));

    // The run starts a second later and finds no rows: it says so, and the
    // window can be closed.
    REQUIRE(ft::PumpUntil([&] { return !answers.Texts().empty(); }, 5000));
    CHECK_TEXT(U8(answers.Texts()[0]), "Pleaes add source files to Task List.");
    CHECK_TEXT(U8(answers.Captions()[0]), "Information");
    ft::Pump(50);
    CHECK(ProgressForm->btnClose->Visible());
    ft::ClickButton(*ProgressForm->btnClose);
    CHECK(!ProgressForm->Showing());
    CHECK(MainForm->Showing());
    CHECK(x.w.Errors().empty());
}

WT_TEST(OutputSettings, CompressorButtonsAndTheAudioAboutBox) {
    Windows x("settings-codecs");
    ConvertForm->Show();
    ft::Pump(20);
    // No compression has no boxes.
    ConvertForm->cmbAudioCodec->SetItemIndex(0);
    ConvertForm->cmbAudioCodec->Change();
    CHECK(!ConvertForm->btnAudioAbout->Enabled());
    // The first audio compressor with an About box.
    int chosen = -1;
    for (int i = 1; i < ConvertForm->cmbAudioCodec->Items().Count() && chosen < 0; ++i)
        if (ProgressForm->HasAboutBox(true, i)) chosen = i;
    REQUIRE(chosen > 0);
    ConvertForm->cmbAudioCodec->SetItemIndex(chosen);
    ConvertForm->cmbAudioCodec->Change();
    CHECK(ConvertForm->btnAudioAbout->Enabled());
    CHECK(ConvertForm->btnAudioConfig->Enabled() == ProgressForm->HasConfigBox(true, chosen));

    // The box is the selected audio compressor's, named in it.
    const std::string name = U8(ConvertForm->cmbAudioCodec->Items()[chosen]);
    bool seen = false, aboutAudio = false;
    at::Repeater close([&] {
        const HWND box = ft::FindThreadDialog();
        if (!box) return false;
        TextSearch s{name};
        EnumChildWindows(box, &FindText, reinterpret_cast<LPARAM>(&s));
        aboutAudio = s.found;
        seen = true;
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        return true;
    }, 50);
    ft::ClickButton(*ConvertForm->btnAudioAbout);
    ft::PumpUntil([&] { return seen; }, 5000);
    CHECK(seen);
    CHECK(aboutAudio);
    ConvertForm->Close();
    CHECK(x.w.Errors().empty());
}

WT_TEST(OutputSettings, WmvAsksForTheRuntimeAndBrowsePicksAFolder) {
    Windows x("settings-wmv");
    // A system folder without the runtime's files.
    x.w.Folder().MakeFolder("system");
    const String system = MainForm->SystemFolder;
    MainForm->SystemFolder = x.w.Folder().WindowsPath("system");
    ConvertForm->Show();
    ft::Pump(20);
    String asked;
    bool answering = false;
    {
        at::Repeater answer([&] {
            if (answering || !app::DialogForm->Showing()) return false;
            answering = true;
            asked = app::DialogForm->labMessage->Caption();
            RECT r{};
            GetWindowRect(app::DialogForm->Handle(), &r);
            const std::string path = ft::ScreenshotPath("query-runtime.png");
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
            ft::ClickButton(*app::DialogForm->btnNo);
            return true;
        });
        ft::ClickButton(*ConvertForm->rdbWMV);
    }
    CHECK(ConvertForm->panWMV->Visible());
    CHECK(Has(U8(asked), "It is detected you do not have Windows Media Player 10"));

    // The browser's choice goes into the custom folder edit.
    x.w.Folder().MakeFolder("films");
    const String films = x.w.Folder().WindowsPath("films");
    ConvertForm->OpenDirDialog1->SetSelection(films);
    {
        at::FolderBrowserHand ok(true, films);
        ft::ClickButton(*ConvertForm->btnBrowse);
        CHECK(ok.Seen());
    }
    CHECK(forms::SameText(forms::ExcludeTrailingBackslash(ConvertForm->edtCustomFolder->GetText()), films));
    ConvertForm->Close();
    MainForm->SystemFolder = system;
    CHECK(x.w.Errors().empty());
}
