#include "framework/forms/Dialogs.h"

#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "framework/forms/Printers.h"

namespace forms {

HWND TCommonDialog::OwnerWindow() const {
    if (!Application) return nullptr;
    if (TCustomForm* f = Application->ActiveForm()) return f->Handle();
    if (TCustomForm* m = Application->MainForm(); m && m->Showing()) return m->Handle();
    return nullptr;
}

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner) {}

void TOpenDialog::SetDefaultExt(const String& ext) {
    m_defaultExt = !ext.empty() && ext[0] == u'.' ? ext.substr(1) : ext;
}

String TOpenDialog::SystemFilter(const String& filter) {
    String out;
    for (char16_t c : filter) out.push_back(c == u'|' ? u'\0' : c);
    out.push_back(u'\0');
    out.push_back(u'\0');
    return out;
}

void TOpenDialog::ParseSelection(const char16_t* buffer, TStrings& files) {
    files.Clear();
    std::vector<String> parts;
    for (const char16_t* p = buffer; *p; p += std::char_traits<char16_t>::length(p) + 1) parts.emplace_back(p);
    if (parts.empty()) return;
    if (parts.size() == 1) {
        files.Add(parts[0]);
        return;
    }
    const String folder = IncludeTrailingBackslash(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) files.Add(folder + parts[i]);
}

bool TOpenDialog::Execute() {
    const bool multi = (m_options & ofAllowMultiSelect) != 0;
    std::vector<char16_t> buffer(multi ? 65536 : MAX_PATH * 4, u'\0');
    std::copy(m_fileName.begin(), m_fileName.begin() + std::min(m_fileName.size(), buffer.size() - 1), buffer.begin());
    const String filter = SystemFilter(m_filter);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = OwnerWindow();
    ofn.lpstrFilter = m_filter.empty() ? nullptr : com::W(filter);
    ofn.nFilterIndex = static_cast<DWORD>(m_filterIndex);
    ofn.lpstrFile = com::W(buffer.data());
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = m_initialDir.empty() ? nullptr : com::W(m_initialDir);
    ofn.lpstrTitle = Title().empty() ? nullptr : com::W(Title());
    ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : com::W(m_defaultExt);
    ofn.Flags = OFN_EXPLORER;
    if (m_options & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    if (m_options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (multi) ofn.Flags |= OFN_ALLOWMULTISELECT;
    if (m_options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
    if (m_options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (m_options & ofNoChangeDir) ofn.Flags |= OFN_NOCHANGEDIR;
    if (m_options & ofEnableSizing) ofn.Flags |= OFN_ENABLESIZING;
    if (!Run(ofn)) return false;
    m_filterIndex = static_cast<int>(ofn.nFilterIndex);
    if (multi) ParseSelection(buffer.data(), m_files);
    else {
        m_files.Clear();
        m_files.Add(String(buffer.data()));
    }
    m_fileName = m_files.Count() > 0 ? m_files[0] : String();
    return true;
}

namespace {

bool RunPrintDialog(HWND owner, DWORD flags, int* copies) {
    TPrinter& printer = Printer();
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.hDevMode = printer.DevMode();
    pd.hDevNames = printer.DevNames();
    pd.Flags = flags;
    pd.nCopies = 1;
    const bool ok = PrintDlgW(&pd) != 0;
    // The dialog may have replaced the blocks; the printer keeps what is current.
    printer.SetDevice(pd.hDevMode, pd.hDevNames);
    if (ok && copies) *copies = pd.nCopies;
    return ok;
}

}  // namespace

bool TPrintDialog::Execute() { return RunPrintDialog(OwnerWindow(), PD_NOPAGENUMS | PD_NOSELECTION, &m_copies); }

bool TPrinterSetupDialog::Execute() { return RunPrintDialog(OwnerWindow(), PD_PRINTSETUP, nullptr); }

}  // namespace forms
