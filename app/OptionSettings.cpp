#include "app/OptionSettings.h"

namespace app {
namespace {

// One table drives reading and writing, so the two cannot drift apart.
struct Field {
    const char16_t* section;
    const char16_t* key;
    String OptionSettings::*text;
    bool OptionSettings::*flag;
    int OptionSettings::*number;
    bool written;  // by the options window
};

#define TEXT_FIELD(sec, name, w) Field{u"" sec, u"" #name, &OptionSettings::name, nullptr, nullptr, w}
#define BOOL_FIELD(sec, name, w) Field{u"" sec, u"" #name, nullptr, &OptionSettings::name, nullptr, w}
#define INT_FIELD(sec, name, w) Field{u"" sec, u"" #name, nullptr, nullptr, &OptionSettings::name, w}
#define BOOL_KEY(sec, key, name, w) Field{u"" sec, u"" key, nullptr, &OptionSettings::name, nullptr, w}

const Field kFields[] = {
    TEXT_FIELD("General", InitialDir, false),
    BOOL_FIELD("General", Default, true),
    BOOL_FIELD("General", Source, true),
    BOOL_FIELD("General", Custom, true),
    TEXT_FIELD("General", CustomFolder, true),
    BOOL_FIELD("General", Skip, true),
    BOOL_FIELD("General", Overwrite, true),
    BOOL_FIELD("General", Query, true),
    BOOL_FIELD("General", AutoRenaming, true),
    TEXT_FIELD("General", RenamingRule, true),
    TEXT_FIELD("General", Version, false),
    BOOL_FIELD("OutputFormat", AVI, true),
    BOOL_FIELD("OutputFormat", MPEG, true),
    BOOL_FIELD("OutputFormat", WMV, true),
    INT_FIELD("OutputFormat", AviVidCodec, true),
    INT_FIELD("OutputFormat", AviAudCodec, true),
    INT_FIELD("OutputFormat", MpegFormat, true),
    BOOL_FIELD("OutputFormat", CombineVidAud, true),
    BOOL_FIELD("OutputFormat", DelTempFile, true),
    INT_FIELD("OutputFormat", WmvProfile, true),
    INT_FIELD("OutputFormat", WmvVidCodec, true),
    INT_FIELD("OutputFormat", WmvAudCodec, true),
    BOOL_FIELD("OutputFormat", UseCBR, true),
    BOOL_FIELD("OutputFormat", UseVBR, true),
    TEXT_FIELD("OutputFormat", VideoBitrate, true),
    TEXT_FIELD("OutputFormat", AudioBitrate, true),
    INT_FIELD("OutputFormat", VBR, true),
    TEXT_FIELD("Skin", Skin, true),
    BOOL_FIELD("Advanced", DeleteSourceFile, true),
    BOOL_FIELD("Advanced", OpenDirectory, true),
    BOOL_FIELD("Advanced", ExitProgram, true),
    BOOL_FIELD("Advanced", ShutDown, true),
    BOOL_KEY("Advanced", "PlaySound", PlaySoundOn, true),
    BOOL_FIELD("Advanced", SoundDefault, true),
    TEXT_FIELD("Advanced", CustomSound, true),
    BOOL_FIELD("Advanced", ShowQuery, true),
    BOOL_FIELD("Advanced", QueryWindowsMediaRuntime, true),
    BOOL_FIELD("Advanced", AlwaysYes, true),
    BOOL_FIELD("Advanced", EverydayTips, true),
};

}  // namespace

void OptionSettings::Load(forms::TIniFile& ini) {
    for (const Field& f : kFields) {
        if (f.text) this->*f.text = ini.ReadString(f.section, f.key, this->*f.text);
        else if (f.flag) this->*f.flag = ini.ReadBool(f.section, f.key, this->*f.flag);
        else this->*f.number = ini.ReadInteger(f.section, f.key, this->*f.number);
    }
}

void OptionSettings::Save(forms::TIniFile& ini) const {
    for (const Field& f : kFields) {
        if (!f.written) continue;
        if (f.text) ini.WriteString(f.section, f.key, this->*f.text);
        else if (f.flag) ini.WriteBool(f.section, f.key, this->*f.flag);
        else ini.WriteInteger(f.section, f.key, this->*f.number);
    }
}

}  // namespace app
