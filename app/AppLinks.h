// What the program's windows know of each other, and the narrow seams the
// options window reaches through to parts built later: the skin component
// and the explorer pane of the main window, and the progress window's
// conversion control with its codec identifier lists.
#pragma once

#include "framework/forms/SysUtils.h"

namespace forms {
class TCustomForm;
}

namespace app {

using forms::String;

// The program's folder, with a trailing backslash: Option.ini, Tips.ini,
// the Skins folder and the help file lie in it. The main window sets it.
extern String ProgramFolder;

// The product's web address; pages for downloads lie below it.
extern const char16_t* const kProductWebAddress;

// The main window's skin data component.
class ISkinSwitch {
public:
    virtual ~ISkinSwitch() = default;
    virtual String SkinFile() const = 0;
    virtual void SetSkinFile(const String& path) = 0;
    virtual bool Active() const = 0;
    virtual void SetActive(bool on) = 0;
};

// The main window's explorer pane: opens a folder in the folder tree and
// shows it in the file list. May raise when the folder cannot be opened.
class IExplorerPane {
public:
    virtual ~IExplorerPane() = default;
    virtual void OpenFolder(const String& path) = 0;
};

// The progress window's conversion control, reached with the index of an
// entry of a compressor combo (its identifier comes from the progress
// window's lists) or of the profile combo.
class ICodecBoxes {
public:
    virtual ~ICodecBoxes() = default;
    virtual bool HasAboutBox(bool audio, int index) = 0;
    virtual bool HasConfigBox(bool audio, int index) = 0;
    virtual void ShowAboutBox(bool audio, int index, void* ownerWindow) = 0;
    virtual void ShowConfigBox(bool audio, int index, void* ownerWindow) = 0;
    virtual String ProfileDescription(int index) = 0;
};

// Filled before the options window is created (by the main window, and
// the progress and output-settings windows as they come).
struct OptionWindowLinks {
    ISkinSwitch* skin = nullptr;
    IExplorerPane* explorer = nullptr;
    ICodecBoxes* codecs = nullptr;
    forms::TCustomForm* mainForm = nullptr;
    forms::TCustomForm* convertForm = nullptr;
};
extern OptionWindowLinks OptionLinks;

}  // namespace app
