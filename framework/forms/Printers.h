// The printer that print jobs go to: the system's default, or the one the
// print dialogs chose.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/forms/Graphics.h"

namespace forms {

class TPrinter {
public:
    TPrinter() = default;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;
    ~TPrinter();

    const String& Title() const { return m_title; }
    void SetTitle(const String& title) { m_title = title; }
    bool Printing() const { return m_printing; }
    bool Aborted() const { return m_aborted; }
    // Raise EInvalidOperation when there is no printer.
    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();
    HDC Handle();
    TCanvas& Canvas();
    int PageWidth();
    int PageHeight();

    // The device the dialogs chose; the printer takes the memory blocks.
    void SetDevice(HGLOBAL devMode, HGLOBAL devNames);
    HGLOBAL DevMode();
    HGLOBAL DevNames();

private:
    bool EnsureDevice();
    void FreeDc();
    HGLOBAL m_devMode = nullptr;
    HGLOBAL m_devNames = nullptr;
    HDC m_dc = nullptr;
    std::unique_ptr<TCanvas> m_canvas;
    String m_title;
    bool m_printing = false;
    bool m_aborted = false;
};

TPrinter& Printer();

}  // namespace forms
