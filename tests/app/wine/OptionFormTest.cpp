// The options window and its settings file: what a fresh start writes,
// every option through the window and back, damaged and huge files, the
// default button, the quality slider, skins and the sound player, and the
// pages as a person sees them.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/option.h"
#include "framework/com/WinText.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::TOptionForm;
using forms::String;

namespace {

struct FakeSkin final : app::ISkinSwitch {
    String file;
    bool active = false;
    std::vector<std::string> calls;
    String SkinFile() const override { return file; }
    void SetSkinFile(const String& path) override {
        file = path;
        calls.push_back("file " + wt::Utf8(forms::ExtractFileName(path)));
    }
    bool Active() const override { return active; }
    void SetActive(bool on) override {
        active = on;
        calls.push_back(on ? "on" : "off");
    }
};

struct FakeExplorer final : app::IExplorerPane {
    std::vector<String> opened;
    bool fail = false;
    void OpenFolder(const String& path) override {
        opened.push_back(path);
        if (fail) throw forms::Exception("The folder cannot be opened");
    }
};

// Video entry 1 has an About box, audio entry 0 a Configure box.
struct FakeCodecs final : app::ICodecBoxes {
    std::vector<std::string> shown;
    bool HasAboutBox(bool audio, int index) override { return !audio && index == 1; }
    bool HasConfigBox(bool audio, int index) override { return audio && index == 0; }
    void ShowAboutBox(bool audio, int index, void*) override {
        shown.push_back(std::string(audio ? "audio" : "video") + " about " + std::to_string(index));
    }
    void ShowConfigBox(bool audio, int index, void*) override {
        shown.push_back(std::string(audio ? "audio" : "video") + " config " + std::to_string(index));
    }
    String ProfileDescription(int index) override { return u"Profile description " + forms::IntToStr(index); }
};

class Fixture {
public:
    Fixture() {
        static int counter = 0;
        WCHAR temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = com::U16(temp) + u"corvane-options-" + forms::IntToStr(GetCurrentProcessId()) + u"-" +
                 forms::IntToStr(++counter) + u"\\";
        CreateDirectoryW(com::W(folder), nullptr);
        CreateDirectoryW(com::W(folder + u"Skins"), nullptr);
        app::ProgramFolder = folder;
        app::LastSkinName.clear();
        app::OptionLinks = app::OptionWindowLinks{&skin, &explorer, &codecs, nullptr, nullptr};
    }
    ~Fixture() {
        delete m_app;
        app::OptionForm = nullptr;
        app::OptionLinks = app::OptionWindowLinks{};
        RemoveFolder(folder + u"Skins\\");
        RemoveFolder(folder);
    }

    // The main window comes first in the program; closing it would end
    // the application, so the options window is never the main form.
    TOptionForm* Create() {
        m_app = new ft::TestApp();
        m_app->App().CreateForm(mainForm);
        m_app->App().CreateForm(app::OptionForm);
        return app::OptionForm;
    }
    forms::TForm* mainForm = nullptr;
    std::vector<std::string>& Errors() { return m_app->Errors; }

    // What the progress window's listing puts into the combo boxes.
    static void FillCombos(TOptionForm* f) {
        f->cmbVideoCodec->Items().Add(u"<<< No compression >>>");
        f->cmbVideoCodec->Items().Add(u"Video codec A");
        f->cmbAudioCodec->Items().Add(u"<<< No compression >>>");
        f->cmbAudioCodec->Items().Add(u"Audio codec A");
        for (const char16_t* p : {u"Custom", u"Profile 1", u"Profile 2"}) f->cmbWmvProfile->Items().Add(p);
        for (const char16_t* c : {u"Windows Media Video 9", u"Windows Media Video 8"}) f->cmbWmvVideo->Items().Add(c);
        for (const char16_t* c : {u"Windows Media Audio 9", u"Windows Media Audio 8"}) f->cmbWmvAudio->Items().Add(c);
    }

    void Write(const String& name, const std::string& bytes) {
        const HANDLE h = CreateFileW(com::W(folder + name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
    }
    std::string Read(const String& name) {
        std::string bytes;
        const HANDLE h = CreateFileW(com::W(folder + name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return bytes;
        bytes.resize(GetFileSize(h, nullptr));
        DWORD n = 0;
        if (!bytes.empty()) ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(h);
        return bytes;
    }
    bool Exists(const String& name) { return GetFileAttributesW(com::W(folder + name)) != INVALID_FILE_ATTRIBUTES; }

    String folder;
    FakeSkin skin;
    FakeExplorer explorer;
    FakeCodecs codecs;

private:
    static void RemoveFolder(const String& dir) {
        WIN32_FIND_DATAW fd;
        const HANDLE find = FindFirstFileW(com::W(dir + u"*"), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    SetFileAttributesW(com::W(dir + com::U16(fd.cFileName)), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(com::W(dir + com::U16(fd.cFileName)));
                }
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        RemoveDirectoryW(com::W(dir));
    }
    ft::TestApp* m_app = nullptr;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        if (!out.back().empty() && out.back().back() == '\r') out.back().pop_back();
        start = end + 1;
    }
    return out;
}

// "Section/Key=Value" for every entry of an ini text, in file order.
std::vector<std::string> Entries(const std::string& text) {
    std::vector<std::string> out;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') section = line.substr(1, line.find(']') - 1);
        else out.push_back(section + "/" + line);
    }
    return out;
}

void CheckEntries(const std::vector<std::string>& got, const std::vector<std::string>& expected, int line) {
    if (got == expected) return;
    std::string text = "entries differ:";
    for (size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
        const std::string g = i < got.size() ? got[i] : "(none)";
        const std::string e = i < expected.size() ? expected[i] : "(none)";
        if (g != e) text += "\n  #" + std::to_string(i) + " got " + g + ", expected " + e;
    }
    wt::ReportFailure(__FILE__, line, text);
}

std::vector<std::string> DefaultEntries(const std::string& skin) {
    return {"General/Default=1", "General/Source=0", "General/Custom=0", "General/CustomFolder=",
            "General/Skip=0", "General/Overwrite=0", "General/Query=1", "General/AutoRenaming=0",
            "General/RenamingRule=%_copy", "OutputFormat/AVI=1", "OutputFormat/MPEG=0", "OutputFormat/WMV=0",
            "OutputFormat/AviVidCodec=0", "OutputFormat/AviAudCodec=0", "OutputFormat/MpegFormat=0",
            "OutputFormat/CombineVidAud=1", "OutputFormat/DelTempFile=1", "OutputFormat/WmvProfile=0",
            "OutputFormat/WmvVidCodec=0", "OutputFormat/WmvAudCodec=0", "OutputFormat/UseCBR=0",
            "OutputFormat/UseVBR=1", "OutputFormat/VideoBitrate=2000", "OutputFormat/AudioBitrate=128",
            "OutputFormat/VBR=90", "Skin/Skin=" + skin, "Advanced/DeleteSourceFile=0", "Advanced/OpenDirectory=0",
            "Advanced/ExitProgram=0", "Advanced/ShutDown=0", "Advanced/PlaySound=1", "Advanced/SoundDefault=1",
            "Advanced/CustomSound=", "Advanced/ShowQuery=1", "Advanced/QueryWindowsMediaRuntime=1",
            "Advanced/AlwaysYes=0", "Advanced/EverydayTips=1"};
}

void ShowAndWait(TOptionForm* f) {
    f->Show();
    ft::Pump(50);
}

// The controls show what the settings table gives by default.
void CheckShowsDefaults(TOptionForm* f, int line) {
    const bool ok = f->rdbDefault->Checked() && !f->rdbSource->Checked() && !f->rdbCustom->Checked() &&
                    f->edtCustomFolder->GetText().empty() && f->rdbQuery->Checked() && !f->rdbSkip->Checked() &&
                    f->edtRenamingRule->GetText() == u"%_copy" && f->rdbAVI->Checked() && f->panAvi->Visible() &&
                    !f->panMPEG->Visible() && f->cmbVideoCodec->ItemIndex() == 0 && f->chkCombine->Checked() &&
                    f->rdbVBR->Checked() && !f->rdbCBR->Checked() && f->edtVideoBitrate->GetText() == u"2000" &&
                    f->edtAudioBitrate->GetText() == u"128" && f->spnQuality->Value() == 90 &&
                    f->btnThumb->Left() == 202 && f->chkPlaySound->Checked() && f->rdbSoundDefault->Checked() &&
                    f->rdbShowQuery->Checked() && f->rdbAlwaysNo->Checked() && f->chkQueryRuntime->Checked() &&
                    f->chkEverydayTips->Checked() && !f->chkShutDown->Checked();
    if (!ok) wt::ReportFailure(__FILE__, line, "the window does not show the default settings");
}

const char kNonDefaultFile[] =
    "[General]\r\nInitialDir=C:\\Videos\r\nDefault=0\r\nSource=0\r\nCustom=1\r\nCustomFolder=D:\\Out\r\n"
    "Skip=0\r\nOverwrite=0\r\nQuery=0\r\nAutoRenaming=1\r\nRenamingRule=new_%\r\nVersion=2.0\r\n"
    "[OutputFormat]\r\nAVI=0\r\nMPEG=0\r\nWMV=1\r\nAviVidCodec=1\r\nAviAudCodec=1\r\nMpegFormat=5\r\n"
    "CombineVidAud=0\r\nDelTempFile=0\r\nWmvProfile=2\r\nWmvVidCodec=1\r\nWmvAudCodec=1\r\nUseCBR=1\r\n"
    "UseVBR=0\r\nVideoBitrate=1500\r\nAudioBitrate=64\r\nVBR=55\r\n"
    "[Skin]\r\nSkin=None\r\n"
    "[Advanced]\r\nDeleteSourceFile=1\r\nOpenDirectory=1\r\nExitProgram=1\r\nShutDown=1\r\nPlaySound=0\r\n"
    "SoundDefault=0\r\nCustomSound=C:\\ding.wav\r\nShowQuery=0\r\nQueryWindowsMediaRuntime=0\r\nAlwaysYes=1\r\n"
    "EverydayTips=0\r\n";

}  // namespace

WT_TEST(OptionForm, AFreshStartWritesTheDefaultFileOnOk) {
    Fixture fx;
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    CHECK(!fx.Exists(u"Option.ini"));
    CHECK(fx.explorer.opened == std::vector<String>(1, String()));  // the empty start folder
    ShowAndWait(f);
    CheckShowsDefaults(f, __LINE__);
    CHECK_EQ(f->ltbSkin->Items().Count(), 1);  // "None" only: no skins installed
    ft::ClickButton(*f->btnOK);
    CHECK(!f->Showing());
    // Without Skins\macos.skn the list offers only "None", and OK keeps it.
    CheckEntries(Entries(fx.Read(u"Option.ini")), DefaultEntries("None"), __LINE__);
    CHECK(fx.skin.calls == (std::vector<std::string>{"off", "off"}));  // OK, then the close handler
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, AFreshStartAppliesMacosOnlyWhenItsSkinFileExists) {
    Fixture fx;
    fx.Write(u"Skins\\macos.skn", "skin");
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    CHECK(fx.skin.calls == (std::vector<std::string>{"file macos.skn", "on"}));
    CHECK(app::LastSkinName == u"macos");
    ShowAndWait(f);
    REQUIRE(f->ltbSkin->Items().Count() == 2);
    CHECK(f->ltbSkin->Items()[1] == u"macos");
    CHECK_EQ(f->ltbSkin->ItemIndex(), 1);
    ft::ClickButton(*f->btnOK);
    CheckEntries(Entries(fx.Read(u"Option.ini")), DefaultEntries("macos"), __LINE__);
}

WT_TEST(OptionForm, EveryOptionRoundTripsThroughTheWindow) {
    Fixture fx;
    fx.Write(u"Option.ini", kNonDefaultFile);
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    CHECK(fx.explorer.opened.back() == u"C:\\Videos");
    CHECK(f->rdbCustom->Checked() && !f->rdbDefault->Checked());
    CHECK(f->edtCustomFolder->GetText() == u"D:\\Out");
    CHECK(f->rdbAutoRenaming->Checked() && !f->rdbQuery->Checked());
    CHECK(f->rdbWMV->Checked() && f->panWMV->Visible() && !f->panAvi->Visible());
    CHECK_EQ(f->cmbVideoCodec->ItemIndex(), 1);
    CHECK(f->btnVideoAbout->Enabled() && !f->btnVideoConfig->Enabled());
    CHECK(!f->btnAudioConfig->Enabled());  // audio entry 1 has no box
    CHECK_EQ(f->cmbMpegFormat->ItemIndex(), 5);
    CHECK(f->memDescription->GetText() == u"Profile description 2");
    // Loading a bit rate or a quality is not the user choosing a mode.
    CHECK(f->rdbCBR->Checked() && !f->rdbVBR->Checked());
    CHECK_EQ(f->spnQuality->Value(), 55);
    CHECK_EQ(f->btnThumb->Left(), 153);  // 55 x 1.4 + 76
    CHECK(f->chkShutDown->Checked() && !f->chkPlaySound->Checked());
    CHECK(f->rdbSoundCustom->Checked() && f->edtCustomSound->GetText() == u"C:\\ding.wav");
    CHECK(f->rdbNoQuery->Checked() && f->rdbAlwaysYes->Checked() && !f->chkEverydayTips->Checked());
    ft::ClickButton(*f->btnOK);
    // Every key comes back as it was; InitialDir and Version are kept.
    std::vector<std::string> expected = Entries(kNonDefaultFile);
    CheckEntries(Entries(fx.Read(u"Option.ini")), expected, __LINE__);

    // And what the user changes goes to the file.
    f->Show();
    ft::ClickButton(*f->rdbSkip);
    ft::ClickButton(*f->rdbAVI);
    CHECK(f->panAvi->Visible());
    ft::ClickButton(*f->chkEverydayTips);
    SendMessageW(f->edtVideoBitrate->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(f->edtVideoBitrate->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    CHECK(f->rdbCBR->Checked());
    f->spnQuality->SetValue(70);
    CHECK(f->rdbVBR->Checked());  // changing the quality chooses VBR
    ft::ClickButton(*f->btnOK);
    const std::vector<std::string> after = Entries(fx.Read(u"Option.ini"));
    for (const char* e : {"General/Skip=1", "General/AutoRenaming=0", "OutputFormat/AVI=1", "OutputFormat/WMV=0",
                          "OutputFormat/UseVBR=1", "OutputFormat/VBR=70", "Advanced/EverydayTips=1"})
        CHECK(std::find(after.begin(), after.end(), e) != after.end());
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, ADamagedFileGivesDefaultsAndKeepsItsLines) {
    Fixture fx;
    std::string junk("\x00\x01\xFF[Gen\r\n=\r\n[General]\r\nDefault=yes\r\nVBR=\r\n", 42);
    junk += std::string(3000, '\xAB') + "\n[OutputFormat\r\nVBR=abc\r\nAviVidCodec=99\r\n";
    fx.explorer.fail = true;  // and an unusable start folder is no error
    fx.Write(u"Option.ini", junk);
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    CheckShowsDefaults(f, __LINE__);
    ft::ClickButton(*f->btnOK);
    // Every line that was there is still there, in its order, but for the
    // damaged value of a key the window writes.
    std::vector<std::string> before = Lines(junk);
    const std::vector<std::string> after = Lines(fx.Read(u"Option.ini"));
    std::replace(before.begin(), before.end(), std::string("Default=yes"), std::string("Default=1"));
    size_t found = 0;
    for (const std::string& line : after)
        if (found < before.size() && line == before[found]) ++found;
    CHECK_EQ(found, before.size());
    CHECK(after.size() > before.size());
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, AHugeFileGivesDefaultsAndIsNotTouched) {
    Fixture fx;
    std::string huge = "[General]\r\nDefault=0\r\nSource=1\r\n";
    huge += std::string(forms::TIniFile::kMaxFileSize, 'x');
    fx.Write(u"Option.ini", huge);
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    CheckShowsDefaults(f, __LINE__);
    ft::ClickButton(*f->btnOK);
    CHECK_EQ(fx.Read(u"Option.ini").size(), huge.size());
    // The refused write is reported, and the window stays open.
    REQUIRE(fx.Errors().size() == 1);
    CHECK(fx.Errors()[0].find("Unable to write") != std::string::npos);
    CHECK(f->Showing());

    // A big file within the limit is read and written.
    std::string big = "[Junk]\r\n";
    for (int i = 0; i < 200000; ++i) big += "line" + std::to_string(i) + "=x\r\n";
    big += "[OutputFormat]\r\nVBR=42\r\n";
    fx.Write(u"Option.ini", big);
    const DWORD start = GetTickCount();
    f->Hide();
    f->Show();
    CHECK_EQ(f->spnQuality->Value(), 42);
    ft::ClickButton(*f->btnOK);
    CHECK(GetTickCount() - start < 10000);
    CHECK(fx.Read(u"Option.ini").compare(0, 20, big, 0, 20) == 0);
}

WT_TEST(OptionForm, LoadDefaultResetsTheControlsAndWritesNothing) {
    Fixture fx;
    fx.Write(u"Option.ini", kNonDefaultFile);
    fx.Write(u"Skins\\macos.skn", "skin");
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    {
        ft::MessageBoxAnswerer answers({IDNO});
        ft::ClickButton(*f->btnLoadDefault);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"Are you sure to load default settings?");
        CHECK(answers.Captions()[0] == u"Query");
    }
    CHECK(f->rdbWMV->Checked());  // "No" changed nothing
    fx.skin.calls.clear();
    {
        ft::MessageBoxAnswerer answers({IDYES});
        ft::ClickButton(*f->btnLoadDefault);
    }
    CheckShowsDefaults(f, __LINE__);
    CHECK_EQ(f->ltbSkin->ItemIndex(), 1);  // macos, previewed
    CHECK(fx.skin.calls == (std::vector<std::string>{"file macos.skn", "on"}));
    CHECK(fx.Read(u"Option.ini") == kNonDefaultFile);
    ft::ClickButton(*f->btnCancel);
    CHECK(f->rdbWMV->Checked());  // Cancel reloads the file
    CHECK(fx.Read(u"Option.ini") == kNonDefaultFile);
}

WT_TEST(OptionForm, ASavedIndexBeyondTheListedEntriesLeavesTheComboEmpty) {
    Fixture fx;
    fx.Write(u"Option.ini",
             "[OutputFormat]\r\nAviVidCodec=5\r\nAviAudCodec=2\r\nMpegFormat=8\r\nWmvProfile=3\r\n"
             "WmvVidCodec=2\r\nWmvAudCodec=1\r\n");
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    for (forms::TComboBox* c : {f->cmbVideoCodec, f->cmbAudioCodec, f->cmbMpegFormat, f->cmbWmvProfile, f->cmbWmvVideo}) {
        CHECK_EQ(c->ItemIndex(), -1);
        WCHAR text[64] = {};
        GetWindowTextW(c->Handle(), text, 64);
        CHECK_EQ(lstrlenW(text), 0);
    }
    CHECK_EQ(f->cmbWmvAudio->ItemIndex(), 1);
    CHECK(!f->btnVideoAbout->Enabled() && !f->btnVideoConfig->Enabled());
    CHECK(!f->btnAudioAbout->Enabled() && !f->btnAudioConfig->Enabled());
    // The buttons of a combo without a selection open nothing.
    ft::ClickButton(*f->btnVideoAbout);
    CHECK(fx.codecs.shown.empty());
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, ASavedNoneKeepsSkinningOffWhenTheWindowCloses) {
    Fixture fx;
    fx.Write(u"Skins\\macos.skn", "skin");
    fx.Write(u"Option.ini", "[Skin]\r\nSkin=None\r\n");
    TOptionForm* f = fx.Create();
    CHECK(fx.skin.calls == std::vector<std::string>(1, "off"));
    ShowAndWait(f);
    CHECK_EQ(f->ltbSkin->ItemIndex(), 0);
    ft::ClickButton(*f->btnCancel);
    CHECK(!fx.skin.active);
    // Nor after another skin was previewed.
    f->Show();
    f->ltbSkin->SetItemIndex(1);
    ft::ClickButton(*f->btnPreview);
    CHECK(fx.skin.active);
    SendMessageW(f->Handle(), WM_CLOSE, 0, 0);
    CHECK(!fx.skin.active);
    CHECK(fx.skin.calls.back() == "off");
    f->Show();
    ft::ClickButton(*f->btnOK);
    CHECK(fx.Read(u"Option.ini").find("Skin=None") != std::string::npos);
    CHECK(!fx.skin.active);
}

WT_TEST(OptionForm, TheQualityThumbFollowsTheMouseAndStopsAtTheEnds) {
    Fixture fx;
    TOptionForm* f = fx.Create();
    ShowAndWait(f);
    f->pgcOptions->SetActivePage(f->tabOutput);
    f->rdbCBR->SetChecked(true);
    const HWND thumb = f->btnThumb->Handle();
    SendMessageW(thumb, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 7));
    CHECK(f->rdbVBR->Checked());
    SendMessageW(thumb, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 14, 7));  // ten steps to the right
    CHECK_EQ(f->spnQuality->Value(), 100);  // 90 + 10
    SendMessageW(thumb, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5 + 300, 7));
    CHECK_EQ(f->btnThumb->Left(), 216);
    CHECK_EQ(f->spnQuality->Value(), 100);
    SendMessageW(thumb, WM_MOUSEMOVE, MK_LBUTTON, static_cast<LPARAM>(MAKELONG(static_cast<WORD>(-600), 7)));
    CHECK_EQ(f->btnThumb->Left(), 76);
    CHECK_EQ(f->spnQuality->Value(), 0);
    SendMessageW(thumb, WM_LBUTTONUP, 0, MAKELPARAM(5, 7));
    SendMessageW(thumb, WM_MOUSEMOVE, 0, MAKELPARAM(100, 7));  // no button held: no move
    CHECK_EQ(f->btnThumb->Left(), 76);
    f->spnQuality->SetValue(25);
    CHECK_EQ(f->btnThumb->Left(), 111);
    // The spin edit's arrows step the value.
    const HWND upDown = GetWindow(f->spnQuality->Handle(), GW_CHILD);
    REQUIRE(upDown != nullptr);
    NMUPDOWN nm{};
    nm.hdr.hwndFrom = upDown;
    nm.hdr.code = UDN_DELTAPOS;
    nm.iDelta = 1;
    SendMessageW(f->spnQuality->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    CHECK_EQ(f->spnQuality->Value(), 26);
    f->spnQuality->SetValue(500);
    CHECK_EQ(f->spnQuality->Value(), 100);
}

WT_TEST(OptionForm, TheSkinPageListsPreviewsImportsAndDeletes) {
    Fixture fx;
    for (const char16_t* name : {u"Skins\\macos.skn", u"Skins\\a.b.skn", u"Skins\\aqua.skn", u"Skins\\notes.txt"})
        fx.Write(name, "skin");
    fx.Write(u"Option.ini", "[Skin]\r\nSkin=aqua\r\n");
    TOptionForm* f = fx.Create();
    ShowAndWait(f);
    f->pgcOptions->SetActivePage(f->tabSkins);
    forms::TStrings& items = f->ltbSkin->Items();
    REQUIRE(items.Count() == 4);
    // Only skin archives, each by its name without the final ".skn".
    CHECK(items[0] == u"None" && items[1] == u"a.b" && items[2] == u"aqua" && items[3] == u"macos");
    CHECK_EQ(f->ltbSkin->ItemIndex(), 2);
    fx.skin.calls.clear();
    // A click with Auto Preview previews exactly that file.
    f->ltbSkin->SetItemIndex(1);
    f->ltbSkin->Click();
    CHECK(fx.skin.calls == (std::vector<std::string>{"file a.b.skn", "on"}));
    f->ltbSkin->SetItemIndex(0);
    f->ltbSkin->Click();
    CHECK(fx.skin.calls.back() == "off");
    f->ltbSkin->SetItemIndex(3);
    ft::ClickButton(*f->btnPreview);
    CHECK(fx.skin.file == app::TOptionForm::SkinPath(u"macos"));
    const size_t before = fx.skin.calls.size();
    ft::ClickButton(*f->btnPreview);  // the component's skin already: nothing
    CHECK_EQ(fx.skin.calls.size(), before);
    // Cancel puts the saved skin back.
    ft::ClickButton(*f->btnCancel);
    CHECK(fx.skin.file == app::TOptionForm::SkinPath(u"aqua") && fx.skin.active);

    f->Show();
    f->ltbSkin->SetItemIndex(2);
    {
        ft::MessageBoxAnswerer answers({IDYES});
        ft::ClickButton(*f->btnDeleteSkin);
        CHECK(answers.Texts().size() == 1 && answers.Texts()[0] == u"Are you sure to delete that skin?");
    }
    CHECK(!fx.Exists(u"Skins\\aqua.skn"));
    CHECK_EQ(items.Count(), 4);  // the list is not refreshed

    // Importing copies the chosen files beside the others, never over one.
    CreateDirectoryW(com::W(fx.folder + u"in"), nullptr);
    fx.Write(u"in\\new.skn", "new");
    fx.Write(u"in\\macos.skn", "other");
    {
        ft::MessageBoxAnswerer answers;
        f->dlgImportSkin->SetInitialDir(fx.folder + u"in");
        ft::FileDialogFiller fill(u"\"new.skn\" \"macos.skn\"");
        ft::ClickButton(*f->btnImportSkin);
        CHECK(ft::FileDialogFiller::Title() == u"Select skin files to import");
        REQUIRE(answers.Texts().size() == 1);
        // The one that was not copied is named.
        CHECK(answers.Texts()[0] == u"These skin files were not imported:\r\nmacos.skn (a skin of that name is already there)");
    }
    CHECK(fx.Read(u"Skins\\new.skn") == "new");
    CHECK(fx.Read(u"Skins\\macos.skn") == "skin");
    CHECK_EQ(items.Count(), 4);  // listed again: None, a.b, macos, new
    CHECK(items[3] == u"new");
    DeleteFileW(com::W(fx.folder + u"in\\new.skn"));
    DeleteFileW(com::W(fx.folder + u"in\\macos.skn"));
    RemoveDirectoryW(com::W(fx.folder + u"in"));
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, ThePlayButtonBeepsOrReportsAFileThatCannotPlay) {
    Fixture fx;
    TOptionForm* f = fx.Create();
    ShowAndWait(f);
    {
        ft::MessageBoxAnswerer answers;
        ft::ClickButton(*f->btnPlay);  // Default (Beep)
        ft::Pump(100);
        CHECK(answers.Texts().empty());
        ft::ClickButton(*f->rdbSoundCustom);
        f->edtCustomSound->SetText(fx.folder + u"missing.wav");
        ft::ClickButton(*f->btnPlay);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"Can not play the sound file. Please make sure the file is correct.");
        CHECK(answers.Captions()[0] == u"Information");
    }
    ft::ClickButton(*f->btnPause);  // nothing playing: nothing happens
    ft::ClickButton(*f->btnStop);
    CHECK(fx.Errors().empty());
}

WT_TEST(OptionForm, ShowingDisablesTheMainAndOutputWindowsUntilClosed) {
    Fixture fx;
    TOptionForm* f = fx.Create();
    forms::TForm* main = fx.mainForm;
    auto* convert = new forms::TForm(app::OptionForm->Owner());
    app::OptionLinks.mainForm = main;
    app::OptionLinks.convertForm = convert;
    ShowAndWait(f);
    CHECK(!main->Enabled() && !convert->Enabled());
    SendMessageW(f->Handle(), WM_CLOSE, 0, 0);
    CHECK(!f->Showing());
    CHECK(main->Enabled() && convert->Enabled());
}

WT_TEST(OptionScreens, EachPageLooksRight) {
    Fixture fx;
    fx.Write(u"Skins\\macos.skn", "skin");
    fx.Write(u"Skins\\aqua.skn", "skin");
    TOptionForm* f = fx.Create();
    Fixture::FillCombos(f);
    ShowAndWait(f);
    auto shoot = [&](const char* name) {
        RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ft::Pump(150);
        RECT r;
        GetWindowRect(f->Handle(), &r);
        const std::string path = ft::ScreenshotPath(name);
        CHECK(ft::TakeScreenshot(path, r));
        std::printf("screenshot %s\n", path.c_str());
    };
    const char* names[] = {"options-general.png", "options-output.png", "options-skins.png", "options-advanced.png"};
    for (int page = 0; page < 4; ++page) {
        f->pgcOptions->SetActivePageIndex(page);
        shoot(names[page]);
    }
    // The other two format panels of the output page.
    f->pgcOptions->SetActivePageIndex(1);
    ft::ClickButton(*f->rdbMPEG);
    shoot("options-output-mpeg.png");
    ft::ClickButton(*f->rdbWMV);
    f->cmbWmvProfile->SetItemIndex(1);
    f->cmbWmvProfile->Change();
    shoot("options-output-wmv.png");
}
