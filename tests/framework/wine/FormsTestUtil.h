// Helpers for the tests of the forms layer and the program's windows: an
// application object that records errors instead of showing them, timed
// message pumping, and a hand that answers the message boxes the code
// under test shows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/forms/Forms.h"

namespace ft {

// The application object of one test. Errors that would reach the error
// box are collected in Errors.
class TestApp {
public:
    TestApp();
    ~TestApp();
    forms::TApplication& App() { return m_app; }
    std::vector<std::string> Errors;

private:
    forms::TApplication m_app;
};

void Pump(DWORD ms);
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Clicks a button the way a user does (BM_CLICK goes through the mouse
// messages and the notification).
void ClickButton(forms::TWinControl& button);
// Sends a left click to a point of a control's client area.
void ClickAt(HWND window, int x, int y);

// Answers the message boxes that come up while it exists: each one's text
// is recorded and the next answer (IDYES, IDNO, IDOK...) is pressed; with
// no answers left, IDOK or IDNO.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<int> answers = {});
    ~MessageBoxAnswerer();
    const std::vector<std::u16string>& Texts() const;
    const std::vector<std::u16string>& Captions() const;
};

// Types a name into the open or save dialog that comes up next and
// presses OK.
class FileDialogFiller {
public:
    explicit FileDialogFiller(std::u16string name);
    ~FileDialogFiller();
    // The caption of the dialog it filled.
    static std::u16string Title();

private:
    UINT_PTR m_timer;
};

// The window of class "#32770" (a dialog) that this thread shows, if any.
HWND FindThreadDialog();
std::u16string WindowText(HWND hwnd);

}  // namespace ft
