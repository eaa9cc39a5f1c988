// Ini files in the manner of the Windows profile functions: sections and
// keys compared without regard to case, values trimmed (and unquoted) on
// reading, the first of repeated sections or keys counting. Unlike the
// profile functions every line that is not touched stays byte for byte,
// so a damaged or foreign file loses nothing by being written to.
#pragma once

#include <string>
#include <vector>

#include "framework/forms/FileStore.h"
#include "framework/forms/Strings.h"

namespace forms {

// The parsed text of one ini file; texts are UTF-8.
class IniDocument {
public:
    void Parse(const std::string& bytes);
    std::string Serialize() const;

    bool Read(const std::string& section, const std::string& key, std::string& value) const;
    // Replaces the first key of the section, or adds the key after the
    // section's last entry, or adds the section at the end. Line breaks in
    // the value would break the file apart, so they become blanks.
    void Write(const std::string& section, const std::string& key, const std::string& value);
    bool SectionExists(const std::string& section) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(const std::string& section) const;
    // "key=value" lines of a section, values as stored.
    std::vector<std::string> Entries(const std::string& section) const;
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);

private:
    enum class Kind { Other, Section, Entry };
    struct Line {
        std::string text;
        Kind kind = Kind::Other;
        std::string name;  // section name or key, trimmed
    };
    // Index of the section's header line, or -1.
    int FindSection(const std::string& section) const;
    // End (exclusive) of the section starting at header index h.
    size_t SectionEnd(size_t h) const;
    int FindEntry(size_t header, const std::string& key) const;
    static Line Classify(std::string text);

    std::vector<Line> m_lines;
    bool m_crlf = true;
    bool m_bom = false;  // UTF-8 with a byte-order mark
    enum class Utf16 { No, LittleEndian, BigEndian };
    Utf16 m_utf16 = Utf16::No;
};

// One ini file on disk. The file is read on first use; writes collect in
// memory and go to the file in one piece by UpdateFile or when the object
// is destroyed. A file that exists but cannot be read (or is larger than
// kMaxFileSize) reads as empty and is never written, so nothing that was
// in it is lost.
class TIniFile : public TObject {
public:
    FORMS_CLASS(TIniFile)
    static constexpr size_t kMaxFileSize = 16u << 20;

    explicit TIniFile(const String& fileName, const FileStore& store = DefaultFileStore());
    ~TIniFile() override;

    const String& FileName() const { return m_fileName; }

    String ReadString(const String& section, const String& key, const String& fallback);
    // Decimal, or hexadecimal after "$" or "0x"; anything else is the default.
    int ReadInteger(const String& section, const String& key, int fallback);
    // Read as an integer: non-zero is true.
    bool ReadBool(const String& section, const String& key, bool fallback);
    void WriteString(const String& section, const String& key, const String& value);
    void WriteInteger(const String& section, const String& key, int value);
    void WriteBool(const String& section, const String& key, bool value);  // "1" or "0"

    bool SectionExists(const String& section);
    bool ValueExists(const String& section, const String& key);
    void ReadSections(TStrings& sections);
    void ReadSection(const String& section, TStrings& keys);
    void ReadSectionValues(const String& section, TStrings& lines);
    void EraseSection(const String& section);
    void DeleteKey(const String& section, const String& key);

    // Writes pending changes; raises EIniFileException when they cannot be
    // written (the file keeps what it held).
    void UpdateFile();

private:
    void EnsureLoaded();
    bool Flush();

    String m_fileName;
    const FileStore& m_store;
    IniDocument m_doc;
    bool m_loaded = false;
    bool m_writable = true;
    bool m_dirty = false;
};

}  // namespace forms
