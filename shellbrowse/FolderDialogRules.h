// The browse-for-folder dialog's rules without the shell: root folders and
// their special-folder numbers, browser flags, path normalising and the
// fitting of status texts to the status line. Tested natively.
#pragma once

#include <functional>

#include "framework/forms/SysUtils.h"

namespace shellbrowse {

using forms::String;

enum class TRootID {
    idDesktop,
    idInternet,
    idPrograms,
    idControlPanel,
    idPrinters,
    idPersonal,
    idFavorites,
    idStartup,
    idRecent,
    idSendTo,
    idRecycleBin,
    idStartMenu,
    idDesktopDirectory,
    idDrives,
    idNetwork,
    idNetHood,
    idFonts,
    idTemplates,
    idCommonStartMenu,
    idCommonPrograms,
    idCommonStartup,
    idCommonDesktopDirectory,
    idAppData,
    idPrintHood,
    idDesktopExpanded,
};

// The special-folder number (CSIDL) of a root; the common folders map to
// the user's own on systems that are not NT.
int RootCsidl(TRootID root, bool windowsNT);

enum class TBrowseFlag {
    bfDirectoriesOnly,
    bfDomainOnly,
    bfAncestors,
    bfComputers,
    bfPrinters,
    bfIncludeFiles,
    bfEditBox,
    bfIncludeURLs,
    bfNewDialogStyle,
    bfShareable,
    bfUseNewUI,
};

// A set of browse flags.
class TBrowseFlags {
public:
    TBrowseFlags() = default;
    TBrowseFlags(std::initializer_list<TBrowseFlag> flags) {
        for (TBrowseFlag f : flags) Include(f);
    }
    bool Has(TBrowseFlag f) const { return (m_bits & Bit(f)) != 0; }
    void Include(TBrowseFlag f) { m_bits |= Bit(f); }
    void Exclude(TBrowseFlag f) { m_bits &= ~Bit(f); }
    bool operator==(const TBrowseFlags& o) const { return m_bits == o.m_bits; }
    bool operator!=(const TBrowseFlags& o) const { return m_bits != o.m_bits; }

private:
    static unsigned Bit(TBrowseFlag f) { return 1u << static_cast<unsigned>(f); }
    unsigned m_bits = 0;
};

// What a written set becomes: URLs need files and the new interface,
// shareable needs the new interface, which needs the edit box and the new
// dialog style.
TBrowseFlags CompleteOptions(TBrowseFlags options);
// The BROWSEINFO flags: the options' bits, validation with the edit box,
// the status line when wanted.
unsigned BrowseInfoFlags(TBrowseFlags options, bool statusWanted);

// The path that BFFM_SETSELECTION is given for a network path: one
// trailing "\" off (but "C:\" and a lone "\" stay), "C:" gains one.
String NormalisePath(const String& path);

// Width of a text on the status line, in pixels.
using TextWidth = std::function<int(const String& text)>;

// A folder path shortened from the left ("C:\...\deep\folder\") until it
// fits; a plain text cut at the end with "...".
String FitPathText(const String& path, int width, const TextWidth& measure);
String FitPlainText(const String& text, int width, const TextWidth& measure);

}  // namespace shellbrowse
