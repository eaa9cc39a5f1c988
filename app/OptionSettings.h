// Every setting of Option.ini with its default, read and written through
// the ini-file class. No platform headers: the rules are tested natively.
#pragma once

#include "framework/forms/IniFiles.h"

namespace app {

using forms::String;

struct OptionSettings {
    // [General]
    String InitialDir;
    bool Default = true;
    bool Source = false;
    bool Custom = false;
    String CustomFolder;
    bool Skip = false;
    bool Overwrite = false;
    bool Query = true;
    bool AutoRenaming = false;
    String RenamingRule = u"%_copy";
    String Version = u"1.8";
    // [OutputFormat]
    bool AVI = true;
    bool MPEG = false;
    bool WMV = false;
    int AviVidCodec = 0;
    int AviAudCodec = 0;
    int MpegFormat = 0;
    bool CombineVidAud = true;
    bool DelTempFile = true;
    int WmvProfile = 0;
    int WmvVidCodec = 0;
    int WmvAudCodec = 0;
    bool UseCBR = false;
    bool UseVBR = true;
    String VideoBitrate = u"2000";
    String AudioBitrate = u"128";
    int VBR = 90;
    // [Skin]
    String Skin = u"macos";
    // [Advanced]
    bool DeleteSourceFile = false;
    bool OpenDirectory = false;
    bool ExitProgram = false;
    bool ShutDown = false;
    bool PlaySoundOn = true;  // key PlaySound (a Win32 macro spells that name)
    bool SoundDefault = true;
    String CustomSound;
    bool ShowQuery = true;
    bool QueryWindowsMediaRuntime = true;
    bool AlwaysYes = false;
    bool EverydayTips = true;

    // Every key; a missing or unreadable one keeps its default.
    void Load(forms::TIniFile& ini);
    // The keys the options window shows, in its order: General without
    // InitialDir and Version, OutputFormat, Skin, Advanced.
    void Save(forms::TIniFile& ini) const;
};

// The name of the settings file in the program folder.
inline const char16_t* kOptionFileName = u"Option.ini";

}  // namespace app
