#include "framework/forms/Printers.h"

#include <commdlg.h>

#include "framework/com/WinText.h"

namespace forms {

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

TPrinter::~TPrinter() {
    FreeDc();
    if (m_devMode) GlobalFree(m_devMode);
    if (m_devNames) GlobalFree(m_devNames);
}

void TPrinter::FreeDc() {
    if (m_canvas) m_canvas->SetHandle(nullptr);
    if (m_dc) DeleteDC(m_dc);
    m_dc = nullptr;
}

void TPrinter::SetDevice(HGLOBAL devMode, HGLOBAL devNames) {
    if (m_printing) throw EInvalidOperation("Printing in progress");
    FreeDc();
    if (m_devMode && m_devMode != devMode) GlobalFree(m_devMode);
    if (m_devNames && m_devNames != devNames) GlobalFree(m_devNames);
    m_devMode = devMode;
    m_devNames = devNames;
}

bool TPrinter::EnsureDevice() {
    if (m_devNames) return true;
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgW(&pd) || !pd.hDevNames) return false;
    m_devMode = pd.hDevMode;
    m_devNames = pd.hDevNames;
    return true;
}

HGLOBAL TPrinter::DevMode() {
    EnsureDevice();
    return m_devMode;
}

HGLOBAL TPrinter::DevNames() {
    EnsureDevice();
    return m_devNames;
}

HDC TPrinter::Handle() {
    if (m_dc) return m_dc;
    if (!EnsureDevice()) throw EInvalidOperation("There is no default printer currently selected");
    auto* names = static_cast<DEVNAMES*>(GlobalLock(m_devNames));
    auto* mode = m_devMode ? static_cast<DEVMODEW*>(GlobalLock(m_devMode)) : nullptr;
    if (names) {
        const auto* base = reinterpret_cast<const WCHAR*>(names);
        m_dc = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
        GlobalUnlock(m_devNames);
    }
    if (mode) GlobalUnlock(m_devMode);
    if (!m_dc) throw EInvalidOperation("The printer cannot be opened");
    return m_dc;
}

TCanvas& TPrinter::Canvas() {
    if (!m_canvas) m_canvas = std::make_unique<TCanvas>();
    m_canvas->SetHandle(Handle());
    return *m_canvas;
}

int TPrinter::PageWidth() { return GetDeviceCaps(Handle(), HORZRES); }
int TPrinter::PageHeight() { return GetDeviceCaps(Handle(), VERTRES); }

void TPrinter::BeginDoc() {
    if (m_printing) throw EInvalidOperation("Printing in progress");
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = com::W(m_title);
    const HDC dc = Handle();
    if (StartDocW(dc, &doc) <= 0) throw EInvalidOperation("The print job could not be started");
    m_printing = true;
    m_aborted = false;
    StartPage(dc);
}

void TPrinter::NewPage() {
    if (!m_printing) throw EInvalidOperation("Printer is not currently printing");
    EndPage(m_dc);
    StartPage(m_dc);
}

void TPrinter::EndDoc() {
    if (!m_printing) throw EInvalidOperation("Printer is not currently printing");
    EndPage(m_dc);
    ::EndDoc(m_dc);
    m_printing = false;
    FreeDc();
}

void TPrinter::Abort() {
    if (!m_printing) return;
    AbortDoc(m_dc);
    m_printing = false;
    m_aborted = true;
    FreeDc();
}

}  // namespace forms
