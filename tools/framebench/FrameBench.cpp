// Times the skinned frame of the program's windows: a full repaint of the
// main window's frame at 1024 x 768 (limit 4 ms), and a skin switch that
// re-skins all seven windows, from the job timer's event until every
// window has painted what the switch changed (limit 150 ms). Each is
// compared, in the same run, with Wine doing the nearest job of its own:
// painting the frame of an unskinned window of the same size, style and
// menu (alternating with ours), and changing the face colours and frames
// of the same seven windows unskinned and repainting them. And a full
// repaint (frame, client and every control) of the options and output
// settings windows, skinned and with "None", in alternating blocks (limit:
// twice as long). Not a test: tools/framebench/run.sh runs it.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/AppLinks.h"
#include "app/Convert.h"
#include "app/Main.h"
#include "app/option.h"
#include "app/Startup.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinManager.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    MSG m;
    do {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(1);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

// Handles what is waiting (painting included), without sleeping.
void Drain() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

skin::TSkinManage& Manager() { return *skin::SkinManage(); }

bool AllSkinned() {
    for (int i = 0; i < forms::Application->FormCount(); ++i) {
        const HWND h = forms::Application->Forms(i)->Handle();
        skin::TSkinForm* s = Manager().FindFormSkinner(h);
        if (!s || s->SkinState != 1) return false;
    }
    return true;
}

// Paints now whatever the job left to paint, in every window and control.
void PaintPending() {
    for (int i = 0; i < forms::Application->FormCount(); ++i)
        RedrawWindow(forms::Application->Forms(i)->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Drain();
    GdiFlush();
}

// A plain window like the main one, drawn by Wine alone.
class PlainForm : public forms::TForm {
public:
    explicit PlainForm(forms::TComponent* owner) : forms::TForm(owner) {
        SetTag(99);  // never skinned
        SetCaption(u"Corvane V1.8");
        SetBounds(100, 60, 1024, 768);
        auto* menu = new forms::TMainMenu(this);
        for (const char16_t* caption : {u"&File", u"&Tools", u"&Help"}) {
            auto* item = new forms::TMenuItem(this);
            item->SetCaption(caption);
            menu->Items()->Add(item);
        }
        SetMenu(menu);
    }
};

}  // namespace

int main() {
    forms::TApplication application;
    application.Initialize();
    app::CreateProgramWindows(application);
    const forms::String skins = forms::ExtractFilePath(application.ExeName()) + u"Skins\\";
    app::MainForm->SetBounds(0, 0, 1024, 768);
    app::MainForm->Show();
    const HWND main = app::MainForm->Handle();
    for (int i = 0; i < 300 && !Manager().FindFormSkinner(main); ++i) Pump(10);
    Pump(300);
    skin::TSkinForm* skinner = Manager().FindFormSkinner(main);
    if (!skinner) {
        std::printf("the main window was not skinned\n");
        return 1;
    }
    // Skinned frames keep the client size: the size is set once skinned.
    SetWindowPos(main, nullptr, 0, 0, 1024, 768, SWP_NOZORDER | SWP_NOACTIVATE);
    PlainForm* plain = nullptr;
    application.CreateForm(plain);
    plain->Show();
    SetForegroundWindow(main);
    Pump(300);

    // 1. The frame of the main window, repainted whole.
    std::vector<double> ours, wine;
    for (int i = 0; i < 400; ++i) {
        const bool first = i % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool skinned = (k == 0) == first;
            const HWND h = skinned ? main : plain->Handle();
            const auto t = Clock::now();
            SendMessageW(h, WM_NCPAINT, 1, 0);
            GdiFlush();
            (skinned ? ours : wine).push_back(Ms(t));
        }
    }
    RECT r{};
    GetWindowRect(main, &r);
    const double frame = Median(ours), wineFrame = Median(wine);
    std::printf("frame repaint of the main window (%d x %d, menu bar): %.3f ms (limit 4 ms)\n",
                static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top), frame);
    std::printf("  Wine's own frame painting of a plain window of that size: %.3f ms; ratio %.2f\n", wineFrame,
                frame / wineFrame);
    plain->Hide();

    // 2. A skin switch with all seven windows skinned: job 1 skins them all.
    skin::TSkinData* d = app::MainForm->SkinData1;
    d->SetActive(false);
    d->SetActive(true);
    for (int i = 0; i < 300 && !AllSkinned(); ++i) Pump(10);
    std::printf("windows skinned: %zu of %d\n", Manager().FormSkinners().size(), application.FormCount() - 1);
    std::vector<double> switches, jobs, reframes;
    const forms::String names[] = {u"slate", u"meadow"};
    for (int i = 0; i < 20; ++i) {
        d->SetSkinFile(skins + names[i % 2] + u".skn");
        // The job timer's event, called at once, then every window drawn.
        const auto t = Clock::now();
        Manager().RunJob();
        jobs.push_back(Ms(t));
        PaintPending();
        switches.push_back(Ms(t));
    }
    // Wine's share: the same seven windows, unskinned, framed and drawn anew.
    d->SetActive(false);
    for (int i = 0; i < 300 && !Manager().FormSkinners().empty(); ++i) Pump(10);
    for (int i = 0; i < 20; ++i) {
        const auto t = Clock::now();
        for (int k = 0; k < application.FormCount() - 1; ++k) {
            // What a switch of colours asks of the system: new face colours
            // and new frames.
            application.Forms(k)->SetColor(i % 2 ? forms::clBtnFace : forms::clSilver);
            SetWindowPos(application.Forms(k)->Handle(), nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        }
        PaintPending();
        reframes.push_back(Ms(t));
    }
    const double sw = Median(switches), rf = Median(reframes);
    std::printf("skin switch, all seven windows re-skinned and repainted: %.1f ms (limit 150 ms); the job alone %.1f ms\n",
                sw, Median(jobs));
    std::printf("  Wine recolouring, re-framing and repainting the same windows unskinned: %.1f ms; ratio %.2f\n", rf, sw / rf);

    // 3. Options and output settings, repainted whole, skinned and not.
    auto repaint = [&](std::vector<double>& into) {
        for (int i = 0; i < 10; ++i) {
            const auto t = Clock::now();
            for (forms::TCustomForm* f : {static_cast<forms::TCustomForm*>(app::OptionForm),
                                          static_cast<forms::TCustomForm*>(app::ConvertForm)})
                RedrawWindow(f->Handle(), nullptr, nullptr,
                             RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            GdiFlush();
            into.push_back(Ms(t));
        }
    };
    app::OptionForm->Show();
    app::ConvertForm->Show();
    std::vector<double> skinnedPaint, plainPaint;
    for (int block = 0; block < 12; ++block) {
        const bool skinned = block % 2 == 1;
        d->SetActive(skinned);
        for (int i = 0; i < 300 && (skinned ? !AllSkinned() : !Manager().FormSkinners().empty()); ++i) Pump(10);
        Pump(100);
        repaint(skinned ? skinnedPaint : plainPaint);
    }
    const double sp = Median(skinnedPaint), pp = Median(plainPaint);
    std::printf("options and output settings repainted whole, skinned: %.2f ms; with None: %.2f ms; ratio %.2f (limit 2)\n",
                sp, pp, sp / pp);
    skin::DestroySkinManager();
    return frame < 4.0 && sw < 150.0 && sp <= 2 * pp ? 0 : 2;
}
