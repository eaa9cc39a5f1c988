// The settings file's keys and defaults, and the quality slider's
// arithmetic.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/OptionSettings.h"
#include "app/QualitySlider.h"

using app::OptionSettings;

namespace {

class TempIni {
public:
    TempIni() {
        char tmpl[] = "/tmp/optiontest.XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_path = m_dir + "/Option.ini";
    }
    ~TempIni() {
        std::remove(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    forms::String Path() const { return forms::Utf8ToText(m_path); }
    std::string Read() const {
        std::ifstream f(m_path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    void Write(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }

private:
    std::string m_dir, m_path;
};

// The settings file a fresh installation writes, as the settings table
// gives it (Skin holds whatever the window chose; here the default).
const char kDefaultFile[] =
    "[General]\r\nDefault=1\r\nSource=0\r\nCustom=0\r\nCustomFolder=\r\nSkip=0\r\nOverwrite=0\r\nQuery=1\r\n"
    "AutoRenaming=0\r\nRenamingRule=%_copy\r\n\r\n"
    "[OutputFormat]\r\nAVI=1\r\nMPEG=0\r\nWMV=0\r\nAviVidCodec=0\r\nAviAudCodec=0\r\nMpegFormat=0\r\n"
    "CombineVidAud=1\r\nDelTempFile=1\r\nWmvProfile=0\r\nWmvVidCodec=0\r\nWmvAudCodec=0\r\nUseCBR=0\r\nUseVBR=1\r\n"
    "VideoBitrate=2000\r\nAudioBitrate=128\r\nVBR=90\r\n\r\n"
    "[Skin]\r\nSkin=macos\r\n\r\n"
    "[Advanced]\r\nDeleteSourceFile=0\r\nOpenDirectory=0\r\nExitProgram=0\r\nShutDown=0\r\nPlaySound=1\r\n"
    "SoundDefault=1\r\nCustomSound=\r\nShowQuery=1\r\nQueryWindowsMediaRuntime=1\r\nAlwaysYes=0\r\n"
    "EverydayTips=1\r\n";

}  // namespace

TEST(OptionSettings, DefaultsWriteTheFileOfAFreshInstallation) {
    TempIni file;
    {
        forms::TIniFile ini(file.Path());
        OptionSettings().Save(ini);
        ini.UpdateFile();
    }
    EXPECT_EQ(file.Read(), kDefaultFile);
}

TEST(OptionSettings, AMissingFileGivesEveryDefault) {
    TempIni file;
    forms::TIniFile ini(file.Path());
    OptionSettings s;
    s.VBR = 7;  // overwritten by the default, not kept
    s = OptionSettings();
    s.Load(ini);
    EXPECT_EQ(s.Version, u"1.8");
    EXPECT_EQ(s.RenamingRule, u"%_copy");
    EXPECT_EQ(s.Skin, u"macos");
    EXPECT_TRUE(s.InitialDir.empty());
    EXPECT_EQ(s.VBR, 90);
    EXPECT_TRUE(s.Query && s.Default && s.AVI && s.UseVBR && s.PlaySoundOn && s.EverydayTips);
    EXPECT_FALSE(s.Skip || s.Custom || s.WMV || s.UseCBR || s.AlwaysYes || s.ShutDown);
}

TEST(OptionSettings, EveryKeyRoundTripsAndInitialDirAndVersionAreNotWritten) {
    TempIni file;
    file.Write("[General]\r\nInitialDir=C:\\Videos\r\nVersion=2.0\r\n");
    OptionSettings s;
    s.Default = false;
    s.Custom = true;
    s.CustomFolder = u"D:\\Out \u00E9";
    s.AutoRenaming = true;
    s.Query = false;
    s.RenamingRule = u"new_%";
    s.WMV = true;
    s.AVI = false;
    s.AviVidCodec = 3;
    s.WmvProfile = 12;
    s.UseCBR = true;
    s.UseVBR = false;
    s.VBR = 55;
    s.AudioBitrate = u"64";
    s.Skin = u"None";
    s.SoundDefault = false;
    s.CustomSound = u"C:\\ding.wav";
    s.ShowQuery = false;
    s.AlwaysYes = true;
    s.EverydayTips = false;
    {
        forms::TIniFile ini(file.Path());
        s.Save(ini);
    }
    forms::TIniFile ini(file.Path());
    OptionSettings back;
    back.Load(ini);
    EXPECT_EQ(back.InitialDir, u"C:\\Videos");
    EXPECT_EQ(back.Version, u"2.0");
    back.InitialDir = s.InitialDir;
    back.Version = s.Version;
    EXPECT_EQ(back.CustomFolder, s.CustomFolder);
    EXPECT_EQ(back.RenamingRule, s.RenamingRule);
    EXPECT_EQ(back.Custom, true);
    EXPECT_EQ(back.WmvProfile, 12);
    EXPECT_EQ(back.VBR, 55);
    EXPECT_EQ(back.UseCBR, true);
    EXPECT_EQ(back.Skin, u"None");
    EXPECT_EQ(back.CustomSound, u"C:\\ding.wav");
    EXPECT_EQ(back.AlwaysYes, true);
    EXPECT_EQ(back.EverydayTips, false);
}

TEST(OptionSettings, BadValuesGiveTheirDefaults) {
    TempIni file;
    file.Write("[OutputFormat]\nVBR=ninety\nAVI=yes\nMPEG=2\nAviVidCodec=\n[Advanced]\nPlaySound=off\n");
    forms::TIniFile ini(file.Path());
    OptionSettings s;
    s.Load(ini);
    EXPECT_EQ(s.VBR, 90);
    EXPECT_TRUE(s.AVI);
    EXPECT_TRUE(s.MPEG);  // any non-zero integer is true
    EXPECT_EQ(s.AviVidCodec, 0);
    EXPECT_TRUE(s.PlaySoundOn);
}

TEST(QualitySlider, ValuesAndThumbPositions) {
    EXPECT_EQ(app::ThumbLeftForQuality(0), 76);
    EXPECT_EQ(app::ThumbLeftForQuality(100), 216);
    EXPECT_EQ(app::ThumbLeftForQuality(90), 202);
    EXPECT_EQ(app::ThumbLeftForQuality(1), 77);  // 77.4
    EXPECT_EQ(app::ThumbLeftForQuality(3), 80);  // 80.2
    for (int q = 0; q <= 100; ++q) EXPECT_EQ(app::QualityForThumbLeft(app::ThumbLeftForQuality(q)), q) << q;
    EXPECT_EQ(app::QualityForThumbLeft(77), 1);  // 0.714
    EXPECT_EQ(app::QualityForThumbLeft(216), 100);
}

TEST(QualitySlider, DraggingStaysOnTheBevel) {
    EXPECT_EQ(app::DragThumb(100, 5, 9), 104);
    EXPECT_EQ(app::DragThumb(100, 5, 1), 96);
    EXPECT_EQ(app::DragThumb(80, 5, -100), 76);   // beyond the left end
    EXPECT_EQ(app::DragThumb(200, 5, 500), 216);  // beyond the right end
    EXPECT_EQ(app::DragThumb(76, 5, 0), 76);      // at the end it moves towards
    EXPECT_EQ(app::DragThumb(216, 5, 9), 216);
    EXPECT_EQ(app::DragThumb(76, 5, 8), 79);      // but away from it freely
}
