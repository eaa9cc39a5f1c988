#include "shellbrowse/FolderDialogRules.h"

namespace shellbrowse {

int RootCsidl(TRootID root, bool windowsNT) {
    switch (root) {
    case TRootID::idDesktop: return 0x0000;
    case TRootID::idInternet: return 0x0001;
    case TRootID::idPrograms: return 0x0002;
    case TRootID::idControlPanel: return 0x0003;
    case TRootID::idPrinters: return 0x0004;
    case TRootID::idPersonal: return 0x0005;
    case TRootID::idFavorites: return 0x0006;
    case TRootID::idStartup: return 0x0007;
    case TRootID::idRecent: return 0x0008;
    case TRootID::idSendTo: return 0x0009;
    case TRootID::idRecycleBin: return 0x000A;
    case TRootID::idStartMenu: return 0x000B;
    case TRootID::idDesktopDirectory: return 0x0010;
    case TRootID::idDrives: return 0x0011;
    case TRootID::idNetwork: return 0x0012;
    case TRootID::idNetHood: return 0x0013;
    case TRootID::idFonts: return 0x0014;
    case TRootID::idTemplates: return 0x0015;
    case TRootID::idCommonStartMenu: return windowsNT ? 0x0016 : 0x000B;
    case TRootID::idCommonPrograms: return windowsNT ? 0x0017 : 0x0002;
    case TRootID::idCommonStartup: return windowsNT ? 0x0018 : 0x0007;
    case TRootID::idCommonDesktopDirectory: return windowsNT ? 0x0019 : 0x0010;
    case TRootID::idAppData: return 0x001A;
    case TRootID::idPrintHood: return 0x001B;
    case TRootID::idDesktopExpanded: return 0xFEFE;
    }
    return 0;
}

TBrowseFlags CompleteOptions(TBrowseFlags o) {
    using F = TBrowseFlag;
    if (o.Has(F::bfIncludeURLs)) {
        o.Include(F::bfIncludeFiles);
        o.Include(F::bfUseNewUI);
    }
    if (o.Has(F::bfShareable)) o.Include(F::bfUseNewUI);
    if (o.Has(F::bfUseNewUI)) {
        o.Include(F::bfEditBox);
        o.Include(F::bfNewDialogStyle);
    }
    return o;
}

unsigned BrowseInfoFlags(TBrowseFlags o, bool statusWanted) {
    using F = TBrowseFlag;
    struct Bits {
        F flag;
        unsigned bits;
    };
    static const Bits kBits[] = {
        {F::bfDirectoriesOnly, 0x0001}, {F::bfDomainOnly, 0x0002}, {F::bfAncestors, 0x0008},
        {F::bfComputers, 0x1000},       {F::bfPrinters, 0x2000},   {F::bfIncludeFiles, 0x4000},
        {F::bfEditBox, 0x0010},         {F::bfIncludeURLs, 0x0080}, {F::bfNewDialogStyle, 0x0040},
        {F::bfShareable, 0x8000},       {F::bfUseNewUI, 0x0050},
    };
    unsigned flags = 0;
    for (const Bits& b : kBits)
        if (o.Has(b.flag)) flags |= b.bits;
    if (o.Has(F::bfEditBox)) flags |= 0x0020;  // BIF_VALIDATE
    if (statusWanted) flags |= 0x0004;         // BIF_STATUSTEXT
    return flags;
}

String NormalisePath(const String& path) {
    if (path.empty()) return path;
    if (path.size() == 2 && path[1] == u':') return path + u"\\";
    if ((path.size() > 3 || path.size() < 2 || path[1] != u':') && path.size() > 1 && path.back() == u'\\')
        return path.substr(0, path.size() - 1);
    return path;
}

namespace {

// Takes the first component off a folder part, leaving "...\" in its place.
String CutFirstComponent(String folder) {
    if (folder == u"\\") return String();
    const bool rooted = !folder.empty() && folder[0] == u'\\';
    if (rooted) folder.erase(0, 1);
    // An earlier cut left "...\" in front.
    if (!folder.empty() && folder[0] == u'.') folder.erase(0, 4);
    const size_t slash = folder.find(u'\\');
    if (slash == String::npos) return String();
    folder = u"...\\" + folder.substr(slash + 1);
    return rooted ? u"\\" + folder : folder;
}

}  // namespace

String FitPathText(const String& path, int width, const TextWidth& measure) {
    String folder = forms::ExtractFilePath(path);
    const String name = forms::ExtractFileName(path);
    String drive;
    if (folder.size() >= 2 && folder[1] == u':') {
        drive = folder.substr(0, 2);
        folder.erase(0, 2);
    }
    while ((!drive.empty() || !folder.empty()) && measure(drive + folder + name) > width) {
        if (folder == u"\\...\\") {
            drive.clear();
            folder = u"...\\";
        } else if (!folder.empty()) {
            folder = CutFirstComponent(folder);
        } else {
            drive.clear();
        }
    }
    return drive + folder + name;
}

String FitPlainText(const String& text, int width, const TextWidth& measure) {
    String kept = text;
    String shown = text;
    while (!kept.empty() && measure(shown) > width) {
        kept.pop_back();
        shown = kept + u"...";
    }
    return shown;
}

}  // namespace shellbrowse
