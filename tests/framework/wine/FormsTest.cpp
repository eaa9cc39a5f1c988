// Forms and the application object (creation order, main form, modal
// forms, close actions and queries, positions, stay-on-top, the error box),
// bitmaps and the picture registry, threads with Synchronize, the file
// dialogs and the media player.
#include <windows.h>
#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Dialogs.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/Graphics.h"
#include "framework/forms/IniFiles.h"
#include "framework/forms/MPlayer.h"
#include "framework/forms/StdCtrls.h"
#include "framework/forms/Threads.h"
#include "framework/forms/WinStreams.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;

namespace {

std::vector<std::string> g_log;

class TFirstForm : public TForm {
public:
    FORMS_CLASS(TFirstForm)
    explicit TFirstForm(TComponent* owner) : TForm(owner) {
        g_log.push_back("first built");
        timer = new TTimer(this);
        OnCreate = [this](TObject*) { g_log.push_back(ComponentState() & csLoading ? "first created, loading" : "first created"); };
    }
    void Loaded() override {
        g_log.push_back("first loaded");
        TForm::Loaded();
    }
    TTimer* timer;
};

class TSecondForm : public TForm {
public:
    FORMS_CLASS(TSecondForm)
    explicit TSecondForm(TComponent* owner) : TForm(owner) {
        g_log.push_back("second built");
        SetBorderStyle(TFormBorderStyle::bsDialog);
        SetFormStyle(TFormStyle::fsStayOnTop);
        SetPosition(TPosition::poScreenCenter);
        SetClientSize(200, 100);
        ok = new TButton(this);
        ok->SetCaption(u"&OK");
        ok->SetModalResult(mrOk);
        ok->SetDefault(true);
        ok->SetBounds(10, 60, 75, 25);
        ok->SetParent(this);
        cancel = new TButton(this);
        cancel->SetCaption(u"&Cancel");
        cancel->SetCancel(true);
        cancel->SetModalResult(mrCancel);
        cancel->SetBounds(100, 60, 75, 25);
        cancel->SetParent(this);
        edit = new TEdit(this);
        edit->SetBounds(10, 10, 100, 21);
        edit->SetParent(this);
    }
    TButton* ok;
    TButton* cancel;
    TEdit* edit;
};

}  // namespace

WT_TEST(Forms, TheApplicationCreatesFormsInOrderAndTheFirstIsMain) {
    ft::TestApp app;
    g_log.clear();
    TFirstForm* first = nullptr;
    TSecondForm* second = nullptr;
    app.App().CreateForm(first);
    app.App().CreateForm(second);
    CHECK(g_log == (std::vector<std::string>{"first built", "first loaded", "first created", "second built"}));
    CHECK(app.App().MainForm() == first);
    CHECK_EQ(app.App().FormCount(), 2);
    CHECK(app.App().Forms(1) == second);
    CHECK(!(first->timer->ComponentState() & csLoading));
    WCHAR cls[64] = {};
    GetClassNameW(second->Handle(), cls, 64);
    CHECK(com::U16(cls) == u"TSecondForm");
    // Closing a form that is not the main one hides it; closing the main
    // form ends the message loop.
    second->Show();
    CHECK(second->Showing());
    second->Close();
    CHECK(!second->Showing());
    first->Show();
    PostMessageW(first->Handle(), WM_CLOSE, 0, 0);
    const DWORD start = GetTickCount();
    app.App().Run();
    CHECK(app.App().Terminated());
    CHECK(GetTickCount() - start < 5000);
}

WT_TEST(Forms, TheApplicationTakesTheLocalesDateAndTimeTexts) {
    ft::TestApp app;
    const TFormatSettings& fs = FormatSettings();
    WCHAR text[80] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_S2359, text, 80);
    CHECK(fs.TimePMString == com::U16(text));
    // The long time format writes a time as the system does.
    SYSTEMTIME st{};
    st.wYear = 2006;
    st.wMonth = 5;
    st.wDay = 4;
    st.wHour = 13;
    st.wMinute = 5;
    st.wSecond = 9;
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 80);
    const String ours = FormatDateTime(fs.LongTimeFormat, TDateTimeParts{2006, 5, 4, 13, 5, 9});
    if (ours != com::U16(text))
        wt::ReportFailure(__FILE__, __LINE__, "time " + TextToUtf8(ours) + ", the system's " + com::Utf8(text));
}

WT_TEST(Forms, ModalFormsPositionsAndStayOnTop) {
    ft::TestApp app;
    TFirstForm* main = nullptr;
    TSecondForm* dialog = nullptr;
    app.App().CreateForm(main);
    app.App().CreateForm(dialog);
    main->Show();
    CHECK(GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Enter presses the default button, Escape the cancel button.
    PostMessageW(dialog->edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    CHECK_EQ(dialog->ShowModal(), mrOk);
    CHECK(!dialog->Showing());
    CHECK(IsWindowEnabled(main->Handle()));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CHECK(std::abs(dialog->Left() + dialog->Width() / 2 - (work.left + work.right) / 2) <= 1);
    PostMessageW(dialog->edit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    CHECK_EQ(dialog->ShowModal(), mrCancel);
    // The title bar's close ends a modal form with Cancel.
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    CHECK_EQ(dialog->ShowModal(), mrCancel);
    // While it runs, the other forms are disabled.
    bool mainWasDisabled = false;
    dialog->OnShow = [&](TObject*) {
        mainWasDisabled = !IsWindowEnabled(main->Handle());
        PostMessageW(dialog->ok->Handle(), BM_CLICK, 0, 0);
    };
    CHECK_EQ(dialog->ShowModal(), mrOk);
    CHECK(mainWasDisabled);
}

WT_TEST(Forms, TheFocusedControlHasTheFocusAgainWhenItsFormComesBack) {
    ft::TestApp app;
    TFirstForm* main = nullptr;
    TSecondForm* dialog = nullptr;
    app.App().CreateForm(main);
    app.App().CreateForm(dialog);
    main->Show();
    dialog->Show();
    ft::Pump(50);
    dialog->edit->SetFocus();
    CHECK(dialog->edit->Focused());
    // Other tests' windows share the display: a form is brought forward
    // until it holds the foreground.
    const auto bringForward = [](TCustomForm* form) {
        return ft::PumpUntil(
            [&] {
                if (GetForegroundWindow() != form->Handle()) SetForegroundWindow(form->Handle());
                return form->Active();
            },
            3000);
    };
    for (int round = 0; round < 2; ++round) {
        CHECK(bringForward(main));
        // Another test's window may take the foreground between the dialog's
        // return and the look at the focus: the dialog is brought back until
        // it is active with its edit focused.
        CHECK(ft::PumpUntil(
            [&] {
                if (GetForegroundWindow() != dialog->Handle()) SetForegroundWindow(dialog->Handle());
                return dialog->Active() && GetFocus() == dialog->edit->Handle();
            },
            3000));
    }
    dialog->Close();
}

WT_TEST(Forms, CloseQueryAndCloseActions) {
    ft::TestApp app;
    TFirstForm* main = nullptr;
    TSecondForm* other = nullptr;
    app.App().CreateForm(main);
    app.App().CreateForm(other);
    bool allow = false;
    TCloseAction action = TCloseAction::caHide;
    other->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
    other->OnClose = [&](TObject*, TCloseAction& a) { a = action; };
    other->Show();
    other->Close();
    CHECK(other->Showing());  // refused
    allow = true;
    action = TCloseAction::caNone;
    other->Close();
    CHECK(other->Showing());
    action = TCloseAction::caMinimize;
    other->Close();
    CHECK(IsIconic(other->Handle()));
    action = TCloseAction::caFree;
    bool destroyed = false;
    other->OnDestroy = [&](TObject*) { destroyed = true; };
    other->Close();
    CHECK(!destroyed);  // freed once the queue is handled
    app.App().ProcessMessages();
    CHECK(destroyed);
    CHECK_EQ(app.App().FormCount(), 1);
}

WT_TEST(Forms, ErrorsInHandlersReachTheErrorBox) {
    ft::TestApp app;
    TSecondForm* form = nullptr;
    app.App().CreateForm(form);
    form->ok->OnClick = [](TObject*) { throw EConvertError("'abc' is not a valid integer value"); };
    ft::ClickButton(*form->ok);
    REQUIRE(app.Errors.size() == 1);
    CHECK(app.Errors[0] == "'abc' is not a valid integer value");
    // Without a handler the message shows in a box titled with the application's title.
    app.App().OnException = nullptr;
    app.App().SetTitle(u"Corvane");
    ft::MessageBoxAnswerer answers;
    ft::ClickButton(*form->ok);
    REQUIRE(answers.Texts().size() == 1);
    CHECK(answers.Texts()[0] == u"'abc' is not a valid integer value.");
    CHECK(answers.Captions()[0] == u"Corvane");
}

WT_TEST(Graphics, BitmapsRoundTripThroughBmpData) {
    TBitmap bmp(20, 10);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(RECT{0, 0, 20, 10});
    bmp.Canvas().Brush().SetColor(clRed);
    bmp.Canvas().FillRect(RECT{0, 0, 5, 5});
    bmp.Canvas().SetPixel(19, 9, clBlue);
    CHECK_EQ(bmp.BitsPerPixel(), 24);
    auto* top = static_cast<const uint8_t*>(bmp.ScanLine(0));
    CHECK(top[0] == 0 && top[1] == 0 && top[2] == 255);  // blue, green, red of the red corner
    TMemoryStream stream;
    bmp.SaveToStream(stream);
    CHECK_EQ(stream.Size(), 14 + 40 + 60 * 10);
    CHECK(stream.Memory()[0] == 'B' && stream.Memory()[1] == 'M');
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    CHECK_EQ(back.Width(), 20);
    CHECK_EQ(back.Height(), 10);
    CHECK_EQ(back.Canvas().Pixel(2, 2), clRed);
    CHECK_EQ(back.Canvas().Pixel(19, 9), clBlue);
    CHECK_EQ(back.Canvas().Pixel(10, 5), clWhite);

    // Eight bits keep their colour table and indices.
    TBitmap indexed(4, 2, TPixelFormat::pf8bit);
    std::vector<RGBQUAD> table(3);
    table[1] = RGBQUAD{0, 255, 0, 0};
    table[2] = RGBQUAD{0, 255, 0, 0};  // a repeated colour must not merge
    indexed.SetColorTable(table);
    static_cast<uint8_t*>(indexed.ScanLine(1))[3] = 2;
    TMemoryStream s8;
    indexed.SaveToStream(s8);
    s8.SetPosition(0);
    TBitmap back8;
    back8.LoadFromStream(s8);
    CHECK(back8.PixelFormat() == TPixelFormat::pf8bit);
    CHECK_EQ(back8.ColorTable().size(), 3u);
    CHECK_EQ(static_cast<uint8_t*>(back8.ScanLine(1))[3], 2);
    CHECK_EQ(back8.Canvas().Pixel(3, 1), clLime);
    bool raised = false;
    try {
        back8.ScanLine(2);
    } catch (const EInvalidGraphicOperation&) {
        raised = true;
    }
    CHECK(raised);
}

WT_TEST(Graphics, DamagedBmpDataIsRefused) {
    TBitmap bmp(8, 8);
    TMemoryStream good;
    bmp.SaveToStream(good);
    const std::vector<uint8_t> bytes = good.Bytes();
    auto refused = [](std::vector<uint8_t> data) {
        TMemoryStream s(std::move(data));
        TBitmap b;
        try {
            b.LoadFromStream(s);
        } catch (const EInvalidGraphic&) {
            return b.Empty();
        }
        return false;
    };
    CHECK(refused(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 40)));   // truncated header
    CHECK(refused(std::vector<uint8_t>(bytes.begin(), bytes.end() - 10)));     // truncated pixels
    std::vector<uint8_t> wide = bytes;
    wide[18] = 0xFF, wide[19] = 0xFF, wide[20] = 0xFF, wide[21] = 0x7F;        // width 2^31-1
    CHECK(refused(wide));
    std::vector<uint8_t> depth = bytes;
    depth[28] = 7;                                                             // 7 bits per pixel
    CHECK(refused(depth));
    std::vector<uint8_t> offset = bytes;
    offset[10] = 0xF0, offset[11] = 0xFF;                                      // pixels past the end
    CHECK(refused(offset));
    CHECK(refused({'B', 'M'}));
}

namespace {

// A picture class of its own, as the GIF class will be.
class TTestGraphic : public TGraphic {
public:
    FORMS_CLASS(TTestGraphic)
    void Draw(TCanvas& canvas, const RECT& r) override { canvas.FillRect(r); }
    bool Empty() const override { return m_data.empty(); }
    int Width() const override { return 3; }
    int Height() const override { return 2; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void LoadFromStream(TStream& s) override {
        m_data.resize(static_cast<size_t>(s.Size() - s.Position()));
        s.ReadBuffer(&m_data[0], static_cast<int64_t>(m_data.size()));
        Changed();
    }
    void SaveToStream(TStream& s) override { s.WriteBuffer(m_data.data(), static_cast<int64_t>(m_data.size())); }
    void Assign(const TObject& source) override {
        if (auto* other = dynamic_cast<const TTestGraphic*>(&source)) m_data = other->m_data;
        else TGraphic::Assign(source);
    }
    std::string m_data;
};

}  // namespace

WT_TEST(Graphics, ThePictureRegistryFindsClassesByExtensionAndName) {
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const String dir = com::U16(temp);
    TPicture::RegisterFileFormat(u"tst", u"Test pictures", "TTestGraphic",
                                 [] { return std::unique_ptr<TGraphic>(new TTestGraphic()); });
    {
        TFileStream out(dir + u"pic.TST", fmCreate);
        out.WriteBuffer("data", 4);
    }
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TObject*) { ++changes; };
    picture.LoadFromFile(dir + u"pic.TST");
    auto* g = dynamic_cast<TTestGraphic*>(picture.Graphic());
    REQUIRE(g != nullptr);
    CHECK(g->m_data == "data");
    CHECK(changes > 0);
    CHECK(TPicture::GraphicFilter().find(u"Test pictures (*.tst)|*.tst") != String::npos);
    // Stored form: the class name, then the class's data.
    TMemoryStream stored;
    picture.WriteData(stored);
    stored.SetPosition(0);
    TPicture copy;
    copy.ReadData(stored);
    REQUIRE(dynamic_cast<TTestGraphic*>(copy.Graphic()) != nullptr);
    CHECK(static_cast<TTestGraphic*>(copy.Graphic())->m_data == "data");
    // Bitmaps are built in; unknown extensions are refused.
    TBitmap bmp(2, 2);
    bmp.SaveToFile(dir + u"pic.bmp");
    picture.LoadFromFile(dir + u"pic.bmp");
    CHECK(dynamic_cast<TBitmap*>(picture.Graphic()) != nullptr);
    TPicture::UnregisterGraphicClass("TTestGraphic");
    bool raised = false;
    try {
        picture.LoadFromFile(dir + u"pic.TST");
    } catch (const EInvalidGraphic&) {
        raised = true;
    }
    CHECK(raised);
    DeleteFileW(com::W(dir + u"pic.TST"));
    DeleteFileW(com::W(dir + u"pic.bmp"));
}

namespace {

class TCountingThread : public TThread {
public:
    TCountingThread() : TThread(true) {}
    std::vector<DWORD> threads;
    std::atomic<int> steps{0};
    bool fail = false;

protected:
    void Execute() override {
        while (!Terminated() && steps < 3) {
            ++steps;
            Synchronize([this] { threads.push_back(GetCurrentThreadId()); });
        }
        if (fail) throw Exception("thread failed");
        SetReturnValue(7);
    }
};

}  // namespace

WT_TEST(Threads, SynchronizeRunsOnTheGuiThreadWhileItWaits) {
    ft::TestApp app;
    TCountingThread t;
    bool terminated = false;
    const DWORD gui = GetCurrentThreadId();
    t.OnTerminate = [&](TObject*) { terminated = GetCurrentThreadId() == gui; };
    t.Start();
    CHECK_EQ(t.WaitFor(), 7u);
    CHECK(t.Finished());
    REQUIRE(t.threads.size() == 3);
    for (DWORD id : t.threads) CHECK_EQ(id, GetCurrentThreadId());
    CHECK(terminated);
    CHECK(!t.FatalException());

    TCountingThread failing;
    failing.fail = true;
    failing.Start();
    failing.WaitFor();
    CHECK(static_cast<bool>(failing.FatalException()));
    // Freed before it ever ran: nothing runs, nothing hangs.
    auto* never = new TCountingThread();
    delete never;
    TThreadList list;
    int a = 1;
    list.Add(&a);
    list.Add(&a);
    CHECK_EQ(list.LockList().size(), 1u);
    list.UnlockList();
}

WT_TEST(Dialogs, FiltersAndMultipleSelections) {
    const String f = TOpenDialog::SystemFilter(u"Skin file (*.skn)|*.skn");
    CHECK(f == String(u"Skin file (*.skn)\0*.skn\0\0", 25));
    TStringList files;
    const char16_t multi[] = u"C:\\in\0a.skn\0b.skn\0";
    TOpenDialog::ParseSelection(multi, files);
    CHECK(files.Text() == u"C:\\in\\a.skn\r\nC:\\in\\b.skn\r\n");
    TOpenDialog::ParseSelection(u"C:\\one.skn\0", files);  // as the zeroed buffer holds it
    CHECK(files.Text() == u"C:\\one.skn\r\n");
}

WT_TEST(Dialogs, OpenAndSaveDialogsReturnTheChosenFile) {
    ft::TestApp app;
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const String file = com::U16(temp) + u"dialog-test.skn";
    {
        TFileStream out(file, fmCreate);
    }
    TOpenDialog open(nullptr);
    open.SetTitle(u"Select skin files to import");
    open.SetFilter(u"Skin file (*.skn)|*.skn");
    open.SetOptions(open.Options() | ofFileMustExist);
    {
        ft::FileDialogFiller fill(file);
        CHECK(open.Execute());
    }
    CHECK(ft::FileDialogFiller::Title() == u"Select skin files to import");
    CHECK(SameText(open.FileName(), file));
    TSaveDialog save(nullptr);
    save.SetDefaultExt(u".skn");
    CHECK(save.DefaultExt() == u"skn");
    save.SetFilter(u"Skin file (*.skn)|*.skn");
    {
        ft::FileDialogFiller fill(com::U16(temp) + u"exported");
        CHECK(save.Execute());
    }
    CHECK(SameText(save.FileName(), com::U16(temp) + u"exported.skn"));
    DeleteFileW(com::W(file));
}

WT_TEST(Files, IniFilesAndStreamsOnWindowsPaths) {
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const String path = com::U16(temp) + u"forms-ini-test.ini";
    {
        TIniFile ini(path);
        ini.WriteString(u"General", u"CustomFolder", u"C:\\Vid\u00E9os");
        ini.UpdateFile();
    }
    {
        TIniFile ini(path);
        CHECK(ini.ReadString(u"General", u"CustomFolder", u"") == u"C:\\Vid\u00E9os");
    }
    // The read-only attribute keeps the file as it is.
    SetFileAttributesW(com::W(path), FILE_ATTRIBUTE_READONLY);
    {
        TIniFile ini(path);
        ini.WriteString(u"General", u"CustomFolder", u"D:\\");
        bool raised = false;
        try {
            ini.UpdateFile();
        } catch (const EIniFileException&) {
            raised = true;
        }
        CHECK(raised);
    }
    {
        TIniFile ini(path);
        CHECK(ini.ReadString(u"General", u"CustomFolder", u"") == u"C:\\Vid\u00E9os");
    }
    SetFileAttributesW(com::W(path), FILE_ATTRIBUTE_NORMAL);
    // A disk that fills up half way through the write leaves the file as it was.
    {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = old;
        tight.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &tight);
        bool refused = false;
        {
            TIniFile ini(path);
            ini.WriteString(u"General", u"CustomFolder", String(200, u'x'));
            try {
                ini.UpdateFile();
            } catch (const EIniFileException&) {
                refused = true;
            }
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        CHECK(refused);
        TIniFile ini(path);
        CHECK(ini.ReadString(u"General", u"CustomFolder", u"") == u"C:\\Vid\u00E9os");
    }
    DeleteFileW(com::W(path));
    bool raised = false;
    try {
        TFileStream missing(com::U16(temp) + u"no-such-dir\\x.bin", fmOpenRead);
    } catch (const EFOpenError&) {
        raised = true;
    }
    CHECK(raised);
}

WT_TEST(MediaPlayer, OpensPlaysAndReportsFailures) {
    TMediaPlayer player(nullptr);
    CHECK(player.Mode() == TMPModes::mpNotReady);
    player.SetFileName(u"C:\\no\\such\\sound.wav");
    bool raised = false;
    try {
        player.Open();
    } catch (const EMCIDeviceError& e) {
        raised = !e.Message().empty();
    }
    CHECK(raised);
    CHECK(!player.IsOpen());
    raised = false;
    try {
        player.Play();
    } catch (const EMCIDeviceError&) {
        raised = true;
    }
    CHECK(raised);
}
