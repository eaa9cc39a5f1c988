// Forms (top-level windows built by their constructors) and the
// application object that creates them in order and runs the message loop.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <vector>

#include "framework/forms/Controls.h"
#include "framework/forms/Icons.h"
#include "framework/forms/Menus.h"

namespace forms {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

// A form: its constructor builds the components (the values a stored form
// description would give are set there); the application then calls
// Loaded on every component and fires OnCreate.
class TCustomForm : public TWinControl {
public:
    FORMS_CLASS(TCustomForm)
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    unsigned BorderIcons() const { return m_borderIcons; }
    void SetBorderIcons(unsigned icons);
    TFormStyle FormStyle() const { return m_formStyle; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition position) { m_position = position; }
    TWindowState WindowState() const { return m_windowState; }
    void SetWindowState(TWindowState state);
    void SetClientSize(int width, int height);
    TMainMenu* Menu() const { return m_menu; }
    void SetMenu(TMainMenu* menu);
    TWinControl* ActiveControl() const { return m_activeControl; }
    void SetActiveControl(TWinControl* control);
    TModalResult ModalResult() const { return m_modalResult; }
    void SetModalResult(TModalResult result) { m_modalResult = result; }
    const String& HelpFile() const { return m_helpFile; }
    void SetHelpFile(const String& file) { m_helpFile = file; }

    void Show();
    void Hide() { SetVisible(false); }
    void SetVisible(bool visible) override;
    bool Showing() const override;
    // Runs until ModalResult is set (Close sets mrCancel); other forms are
    // disabled meanwhile.
    TModalResult ShowModal();
    bool IsModal() const { return m_modal; }
    // Asks OnCloseQuery, then applies OnClose's action; closing the main
    // form ends the application.
    void Close();
    virtual bool CloseQuery();
    // Frees the form once the messages in the queue have been handled.
    void Release();
    bool Active() const;

    // Run by the application right after the constructor.
    void AfterConstruction();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    bool PaintsOwnBackground() const override { return true; }
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);

private:
    void ApplyPosition();
    void FocusFirstControl();
    TWinControl* FindDialogButton(bool defaultButton);
    bool CloseModal();

    TFormBorderStyle m_borderStyle = TFormBorderStyle::bsSizeable;
    unsigned m_borderIcons = biSystemMenu | biMinimize | biMaximize;
    TFormStyle m_formStyle = TFormStyle::fsNormal;
    TPosition m_position = TPosition::poDesigned;
    TWindowState m_windowState = TWindowState::wsNormal;
    TMainMenu* m_menu = nullptr;
    TWinControl* m_activeControl = nullptr;
    TModalResult m_modalResult = mrNone;
    String m_helpFile;
    bool m_modal = false;
    bool m_positioned = false;
    bool m_created = false;
};

class TForm : public TCustomForm {
public:
    FORMS_CLASS(TForm)
    using TCustomForm::TCustomForm;
};

class TApplication : public TComponent {
public:
    FORMS_CLASS(TApplication)
    // Makes itself the global Application.
    TApplication();
    ~TApplication() override;

    // OLE (the control container needs it), the common controls, and the
    // locale's date, time and number texts (FormatSettings).
    void Initialize();

    // Creates a form: the reference is set once the constructor has built
    // the components, before Loaded and OnCreate run. The first form made is
    // the main form. A constructor that fails raises out of here.
    template <class T>
    T* CreateForm(T*& reference) {
        T* form = new T(this);
        reference = form;
        FormCreated(form);
        return form;
    }

    // Shows the main form and handles messages until Terminate.
    void Run();
    void ProcessMessages();
    // Handles one message, waiting for it when the queue is empty.
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return m_terminated; }

    TCustomForm* MainForm() const { return m_mainForm; }
    bool ShowMainForm() const { return m_showMainForm; }
    void SetShowMainForm(bool on) { m_showMainForm = on; }
    const String& Title() const { return m_title; }
    void SetTitle(const String& title);
    const String& HelpFile() const { return m_helpFile; }
    void SetHelpFile(const String& file) { m_helpFile = file; }
    String ExeName() const;
    // The hidden window that owns the forms.
    HWND Handle();
    // The program's icon (its first icon resource), shown by every form.
    TIcon& Icon() { return m_icon; }
    HICON SmallIcon();

    // A message box over the active form (or the given window).
    int MessageBox(const String& text, const String& caption, UINT flags);
    int MessageBox(HWND owner, const String& text, const String& caption, UINT flags);
    // Opens the help file at a topic (a context name) in the help viewer,
    // which this application starts and owns: one viewer at a time, ended
    // with the application. When the file is missing or the viewer cannot
    // show it, the user is told and no viewer is left running.
    bool HelpJump(const String& topic);
    // The running viewer's process, or null.
    HANDLE HelpViewer() const { return m_helpViewer; }

    // Inside a catch block: OnException when set, else the error box.
    void HandleException();
    // The error box: the message, the title, a stop icon.
    void ShowException(const std::exception& e);
    std::function<void(TObject* sender, const std::exception& e)> OnException;

    int FormCount() const { return static_cast<int>(m_forms.size()); }
    TCustomForm* Forms(int index) const { return m_forms.at(static_cast<size_t>(index)); }
    TCustomForm* ActiveForm() const;

private:
    friend class TCustomForm;
    void FormCreated(TCustomForm* form);
    bool ProcessMessage(MSG& msg);
    void EndHelpViewer();
    void Notification(TComponent* component, TOperation operation) override;

    HWND m_handle = nullptr;
    TCustomForm* m_mainForm = nullptr;
    std::vector<TCustomForm*> m_forms;
    String m_title;
    String m_helpFile;
    HANDLE m_helpViewer = nullptr;
    bool m_terminated = false;
    bool m_showMainForm = true;
    bool m_oleInitialized = false;
    TIcon m_icon;
    HICON m_smallIcon = nullptr;
};

extern TApplication* Application;

// The form a control sits on, or nullptr.
TCustomForm* GetParentForm(TControl* control);

}  // namespace forms
