// The common dialogs: open, save, print and printer set-up. Message boxes
// are TApplication::MessageBox.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "framework/forms/Component.h"
#include "framework/forms/Strings.h"

namespace forms {

enum : unsigned {
    ofOverwritePrompt = 1u << 0,
    ofHideReadOnly = 1u << 1,
    ofAllowMultiSelect = 1u << 2,
    ofPathMustExist = 1u << 3,
    ofFileMustExist = 1u << 4,
    ofNoChangeDir = 1u << 5,
    ofEnableSizing = 1u << 6,
};

class TCommonDialog : public TComponent {
public:
    FORMS_CLASS(TCommonDialog)
    using TComponent::TComponent;
    // Shows the dialog over the active form; true when the user chose OK.
    virtual bool Execute() = 0;
    const String& Title() const { return m_title; }
    void SetTitle(const String& title) { m_title = title; }

protected:
    HWND OwnerWindow() const;

private:
    String m_title;
};

class TOpenDialog : public TCommonDialog {
public:
    FORMS_CLASS(TOpenDialog)
    explicit TOpenDialog(TComponent* owner);

    // "description|patterns|description|patterns..."
    const String& Filter() const { return m_filter; }
    void SetFilter(const String& filter) { m_filter = filter; }
    int FilterIndex() const { return m_filterIndex; }  // from 1
    void SetFilterIndex(int index) { m_filterIndex = index; }
    const String& FileName() const { return m_fileName; }
    void SetFileName(const String& name) { m_fileName = name; }
    // Every chosen file, full paths.
    TStrings& Files() { return m_files; }
    const String& InitialDir() const { return m_initialDir; }
    void SetInitialDir(const String& dir) { m_initialDir = dir; }
    // Without the dot; a leading dot is dropped.
    const String& DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const String& ext);
    unsigned Options() const { return m_options; }
    void SetOptions(unsigned options) { m_options = options; }

    bool Execute() override;

    // The filter in the system's form: pairs ended by NULs, then one more.
    static String SystemFilter(const String& filter);
    // Splits a multiple-selection result (folder, NUL, names) into paths.
    static void ParseSelection(const char16_t* buffer, TStrings& files);

protected:
    virtual bool Run(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn) != 0; }

private:
    String m_filter;
    int m_filterIndex = 1;
    String m_fileName;
    TStringList m_files;
    String m_initialDir;
    String m_defaultExt;
    unsigned m_options = ofHideReadOnly | ofEnableSizing;
};

class TSaveDialog : public TOpenDialog {
public:
    FORMS_CLASS(TSaveDialog)
    using TOpenDialog::TOpenDialog;

protected:
    bool Run(OPENFILENAMEW& ofn) override { return GetSaveFileNameW(&ofn) != 0; }
};

// Both set the printer that TPrinter prints on.
class TPrintDialog : public TCommonDialog {
public:
    FORMS_CLASS(TPrintDialog)
    using TCommonDialog::TCommonDialog;
    bool Execute() override;
    int Copies() const { return m_copies; }

private:
    int m_copies = 1;
};

class TPrinterSetupDialog : public TCommonDialog {
public:
    FORMS_CLASS(TPrinterSetupDialog)
    using TCommonDialog::TCommonDialog;
    bool Execute() override;
};

}  // namespace forms
