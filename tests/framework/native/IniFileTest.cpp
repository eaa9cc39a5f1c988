// The ini-file rules the settings file relies on: booleans as 1 and 0,
// defaults for missing and bad values, sections, and files that are
// missing, read-only, damaged or too large.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "framework/forms/IniFiles.h"

using forms::String;
using forms::TIniFile;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/initest.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_path = m_dir + "/Option.ini";
    }
    void TearDown() override {
        chmod(m_path.c_str(), 0644);
        std::remove(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    String Path() const { return forms::Utf8ToText(m_path); }
    void WriteRaw(const std::string& bytes) {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    std::string ReadRaw() const {
        std::ifstream f(m_path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool Exists() const {
        struct stat st;
        return stat(m_path.c_str(), &st) == 0;
    }

    std::string m_dir, m_path;
};

}  // namespace

TEST_F(IniFileTest, BooleansAreWrittenAsOneAndZeroAndReadAsIntegers) {
    {
        TIniFile ini(Path());
        ini.WriteBool(u"General", u"Default", true);
        ini.WriteBool(u"General", u"Source", false);
    }
    EXPECT_EQ(ReadRaw(), "[General]\r\nDefault=1\r\nSource=0\r\n");
    WriteRaw("[A]\r\nTwo=2\r\nMinus=-1\r\nZero=0\r\nHex=$10\r\nWord=true\r\nEmpty=\r\n");
    TIniFile ini(Path());
    EXPECT_TRUE(ini.ReadBool(u"A", u"Two", false));
    EXPECT_TRUE(ini.ReadBool(u"A", u"Minus", false));
    EXPECT_TRUE(ini.ReadBool(u"A", u"Hex", false));
    EXPECT_FALSE(ini.ReadBool(u"A", u"Zero", true));
    // Not an integer: the default, whichever it is.
    EXPECT_TRUE(ini.ReadBool(u"A", u"Word", true));
    EXPECT_FALSE(ini.ReadBool(u"A", u"Word", false));
    EXPECT_TRUE(ini.ReadBool(u"A", u"Empty", true));
}

TEST_F(IniFileTest, MissingAndBadValuesGiveTheDefault) {
    WriteRaw("[OutputFormat]\nVBR= 75 \nAviVidCodec=abc\nBig=99999999999\nWmvProfile=0x1F\nText=  spaced out  \n"
             "Quoted=\"%_copy\"\n");
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger(u"OutputFormat", u"VBR", 90), 75);
    EXPECT_EQ(ini.ReadInteger(u"OutputFormat", u"AviVidCodec", 7), 7);
    EXPECT_EQ(ini.ReadInteger(u"OutputFormat", u"Big", 3), 3);
    EXPECT_EQ(ini.ReadInteger(u"OutputFormat", u"WmvProfile", 0), 31);
    EXPECT_EQ(ini.ReadInteger(u"OutputFormat", u"Missing", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"NoSection", u"VBR", 90), 90);
    EXPECT_EQ(ini.ReadString(u"OutputFormat", u"Text", u"x"), u"spaced out");
    EXPECT_EQ(ini.ReadString(u"OutputFormat", u"Quoted", u"x"), u"%_copy");
    EXPECT_EQ(ini.ReadString(u"OutputFormat", u"Nothing", u"2000"), u"2000");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCaseAndTheFirstOneCounts) {
    WriteRaw("[general]\nDEFAULT=1\ndefault=0\n[Skin]\nSkin=macos\n[GENERAL]\nSource=1\n");
    TIniFile ini(Path());
    EXPECT_TRUE(ini.ReadBool(u"General", u"Default", false));
    EXPECT_FALSE(ini.ReadBool(u"General", u"Source", false));  // only the first [general] counts
    EXPECT_EQ(ini.ReadString(u"skin", u"SKIN", u""), u"macos");
    forms::TStringList sections, keys, values;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Text(), u"general\r\nSkin\r\n");
    ini.ReadSection(u"General", keys);
    EXPECT_EQ(keys.Text(), u"DEFAULT\r\ndefault\r\n");
    ini.ReadSectionValues(u"Skin", values);
    EXPECT_EQ(values.Values(u"Skin"), u"macos");
    EXPECT_TRUE(ini.SectionExists(u"SKIN"));
    EXPECT_FALSE(ini.ValueExists(u"Skin", u"Other"));
}

TEST_F(IniFileTest, WritesReplaceInPlaceAndAddKeysAtTheEndOfTheirSection) {
    WriteRaw("; settings\n[General]\nDefault=1\n\n[Advanced]\nPlaySound=1\n");
    {
        TIniFile ini(Path());
        ini.WriteString(u"general", u"default", u"0");
        ini.WriteString(u"General", u"CustomFolder", u"C:\\Out put");
        ini.WriteString(u"Skin", u"Skin", u"None");
        ini.WriteString(u"Advanced", u"CustomSound", u"two\r\nlines");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadRaw(),
              "; settings\n[General]\nDefault=0\nCustomFolder=C:\\Out put\n\n[Advanced]\nPlaySound=1\n"
              "CustomSound=two  lines\n\n[Skin]\nSkin=None\n");
}

TEST_F(IniFileTest, AMissingFileReadsDefaultsAndIsCreatedOnWrite) {
    {
        TIniFile ini(Path());
        EXPECT_EQ(ini.ReadString(u"General", u"Version", u"1.8"), u"1.8");
        EXPECT_FALSE(ini.SectionExists(u"General"));
    }
    EXPECT_FALSE(Exists());  // reading alone creates nothing
    TIniFile ini(Path());
    ini.WriteInteger(u"OutputFormat", u"VBR", 90);
    ini.UpdateFile();
    EXPECT_EQ(ReadRaw(), "[OutputFormat]\r\nVBR=90\r\n");
}

TEST_F(IniFileTest, AReadOnlyFileIsReadButNeverChanged) {
    const std::string original = "[General]\r\nDefault=0\r\nSource=1\r\n";
    WriteRaw(original);
    chmod(m_path.c_str(), 0444);
    TIniFile ini(Path());
    EXPECT_TRUE(ini.ReadBool(u"General", u"Source", false));
    ini.WriteBool(u"General", u"Default", true);
    EXPECT_THROW(ini.UpdateFile(), forms::EIniFileException);
    EXPECT_EQ(ReadRaw(), original);
}

// A disk that fills up half way through the write: the file keeps every
// byte it had, and no half-written copy is left beside it.
TEST_F(IniFileTest, AWriteThatFailsHalfWayLeavesTheFileAsItWas) {
    const std::string original = "[General]\r\nDefault=0\r\nCustomFolder=D:\\Out\r\n";
    WriteRaw(original);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    {
        TIniFile ini(Path());
        ini.WriteString(u"General", u"CustomFolder", String(200, u'x'));
        try {
            ini.UpdateFile();
        } catch (const forms::EIniFileException&) {
            raised = true;
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_TRUE(raised);
    EXPECT_EQ(ReadRaw(), original);
    int entries = 0;
    if (DIR* d = opendir(m_dir.c_str())) {
        while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
        closedir(d);
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(IniFileTest, AFileInAMissingFolderFailsToWriteWithoutACrash) {
    TIniFile ini(forms::Utf8ToText(m_dir + "/no/such/folder/Option.ini"));
    EXPECT_EQ(ini.ReadInteger(u"A", u"B", 5), 5);
    ini.WriteInteger(u"A", u"B", 1);
    EXPECT_THROW(ini.UpdateFile(), forms::EIniFileException);
}

TEST_F(IniFileTest, DamagedLinesSurviveAWriteByteForByte) {
    std::string junk = "\xEF\xBB\xBF[General\r\n=nokey\r\n";
    junk += std::string("bin\0ary\xFF\xFE", 10) + "\r\n";
    junk += "[General]\r\nno equals sign here\r\nCustomFolder=D:\\Vid\xE9os\r\n";
    junk += std::string(5000, 'x') + "\r\n[\r\n";
    WriteRaw(junk);
    {
        TIniFile ini(Path());
        // Not UTF-8: the byte reads as Latin-1.
        EXPECT_EQ(ini.ReadString(u"General", u"CustomFolder", u""), u"D:\\Vid\u00E9os");
        EXPECT_EQ(ini.ReadBool(u"General", u"Default", true), true);
        ini.WriteBool(u"General", u"Default", false);
    }
    std::string expected = junk;
    const std::string anchor = "CustomFolder=D:\\Vid\xE9os\r\n";
    expected.insert(expected.find(anchor) + anchor.size(), "Default=0\r\n");
    EXPECT_EQ(ReadRaw(), expected);
}

TEST_F(IniFileTest, AFileAboveTheLimitReadsAsEmptyAndIsLeftAlone) {
    std::string huge = "[General]\r\nDefault=0\r\n";
    huge += std::string(TIniFile::kMaxFileSize, ';');
    WriteRaw(huge);
    {
        TIniFile ini(Path());
        EXPECT_TRUE(ini.ReadBool(u"General", u"Default", true));
        ini.WriteBool(u"General", u"Default", true);
        EXPECT_THROW(ini.UpdateFile(), forms::EIniFileException);
    }
    EXPECT_EQ(ReadRaw().size(), huge.size());
}

TEST_F(IniFileTest, ErasingSectionsAndDeletingKeys) {
    WriteRaw("[A]\nx=1\ny=2\n[B]\nz=3\n[a]\nw=4\n");
    {
        TIniFile ini(Path());
        ini.DeleteKey(u"A", u"X");
        ini.EraseSection(u"b");
    }
    EXPECT_EQ(ReadRaw(), "[A]\ny=2\n[a]\nw=4\n");
    {
        TIniFile ini(Path());
        ini.EraseSection(u"A");  // every copy of the section
    }
    EXPECT_EQ(ReadRaw(), "");
}

// An Option.ini saved as UTF-16 with a byte-order mark read as nothing, and
// the first write replaced it with a file of defaults.
TEST_F(IniFileTest, UnicodeFilesAreReadAndStayUnicode) {
    auto utf16 = [](const std::string& ascii, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : ascii) {
            out += bigEndian ? '\0' : c;
            out += bigEndian ? c : '\0';
        }
        return out;
    };
    for (const bool bigEndian : {false, true}) {
        WriteRaw(utf16("[General]\r\nVersion=2.5\r\n; kept\r\n[Advanced]\r\nShowQuery=0\r\n", bigEndian));
        {
            TIniFile ini(Path());
            EXPECT_EQ(forms::TextToUtf8(ini.ReadString(u"General", u"Version", u"1.8")), "2.5");
            EXPECT_FALSE(ini.ReadBool(u"Advanced", u"ShowQuery", true));
            ini.WriteBool(u"Advanced", u"EverydayTips", false);
            ini.WriteString(u"General", u"InitialDir", u"C:\\Vid\u00e9os");
        }
        EXPECT_EQ(ReadRaw(), utf16("[General]\r\nVersion=2.5\r\nInitialDir=C:\\Vid", bigEndian) +
                                 (bigEndian ? std::string("\0\xE9", 2) : std::string("\xE9\0", 2)) +
                                 utf16("os\r\n; kept\r\n[Advanced]\r\nShowQuery=0\r\nEverydayTips=0\r\n", bigEndian)
                                     .substr(2));
        TIniFile again(Path());
        EXPECT_EQ(forms::TextToUtf8(again.ReadString(u"General", u"InitialDir", u"")), "C:\\Vid\xC3\xA9os");
    }
}
