#include "framework/forms/IniFiles.h"

#include "framework/core/Utf.h"

namespace forms {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

std::string TrimBytes(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && core::AsciiLower(a) == core::AsciiLower(b);
}

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        if (c < 0x80) n = 0;
        else if ((c & 0xE0) == 0xC0 && c >= 0xC2) n = 1;
        else if ((c & 0xF0) == 0xE0) n = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4) n = 3;
        else return false;
        if (n > 0 && i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

// Files written by other tools may be in a single-byte code page; such
// bytes read as Latin-1 rather than as replacement characters.
String DecodeText(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return core::Utf8ToUtf16(bytes);
    String s;
    s.reserve(bytes.size());
    for (char c : bytes) s.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return s;
}

std::string Unquote(std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

std::string OneLine(std::string v) {
    for (auto& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    return v;
}

}  // namespace

IniDocument::Line IniDocument::Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    size_t i = 0;
    while (i < line.text.size() && IsBlank(line.text[i])) ++i;
    if (i < line.text.size() && line.text[i] == '[') {
        const size_t close = line.text.find(']', i + 1);
        if (close != std::string::npos) {
            line.kind = Kind::Section;
            line.name = TrimBytes(line.text.substr(i + 1, close - i - 1));
        }
        return line;
    }
    if (i < line.text.size() && line.text[i] == ';') return line;
    const size_t eq = line.text.find('=', i);
    if (eq == std::string::npos) return line;
    std::string key = TrimBytes(line.text.substr(i, eq - i));
    if (key.empty()) return line;
    line.kind = Kind::Entry;
    line.name = std::move(key);
    return line;
}

namespace {

// UTF-16 bytes after the byte-order mark to UTF-8; an odd last byte is dropped.
std::string FromUtf16(const std::string& bytes, bool bigEndian) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a));
    }
    return core::Utf16ToUtf8(text);
}

std::string ToUtf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : core::Utf8ToUtf16(utf8)) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

}  // namespace

void IniDocument::Parse(const std::string& raw) {
    m_lines.clear();
    // A file saved as UTF-16 with a byte-order mark (as Notepad offers) is
    // read as the profile functions read it, and written back as UTF-16.
    m_utf16 = Utf16::No;
    if (raw.compare(0, 2, "\xFF\xFE") == 0) m_utf16 = Utf16::LittleEndian;
    else if (raw.compare(0, 2, "\xFE\xFF") == 0) m_utf16 = Utf16::BigEndian;
    const std::string bytes = m_utf16 == Utf16::No ? raw : FromUtf16(raw, m_utf16 == Utf16::BigEndian);
    size_t start = 0;
    m_bom = m_utf16 == Utf16::No && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (m_bom) start = 3;
    m_crlf = bytes.find('\n') == std::string::npos || bytes.find("\r\n") != std::string::npos;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        m_lines.push_back(Classify(bytes.substr(start, stop - start)));
        start = end + 1;
    }
}

std::string IniDocument::Serialize() const {
    std::string out;
    if (m_bom) out = "\xEF\xBB\xBF";
    const char* eol = m_crlf ? "\r\n" : "\n";
    for (const Line& line : m_lines) {
        out += line.text;
        out += eol;
    }
    if (m_utf16 != Utf16::No) return ToUtf16(out, m_utf16 == Utf16::BigEndian);
    return out;
}

int IniDocument::FindSection(const std::string& section) const {
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == Kind::Section && SameName(m_lines[i].name, section)) return static_cast<int>(i);
    return -1;
}

size_t IniDocument::SectionEnd(size_t h) const {
    size_t i = h + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Section) ++i;
    return i;
}

int IniDocument::FindEntry(size_t header, const std::string& key) const {
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i)
        if (m_lines[i].kind == Kind::Entry && SameName(m_lines[i].name, key)) return static_cast<int>(i);
    return -1;
}

bool IniDocument::Read(const std::string& section, const std::string& key, std::string& value) const {
    const int h = FindSection(section);
    if (h < 0) return false;
    const int e = FindEntry(static_cast<size_t>(h), key);
    if (e < 0) return false;
    const std::string& text = m_lines[static_cast<size_t>(e)].text;
    value = Unquote(TrimBytes(text.substr(text.find('=') + 1)));
    return true;
}

void IniDocument::Write(const std::string& section, const std::string& key, const std::string& value) {
    const std::string cleanKey = OneLine(TrimBytes(key));
    std::string entry = cleanKey + "=" + OneLine(value);
    int h = FindSection(section);
    if (h < 0) {
        if (!m_lines.empty() && !TrimBytes(m_lines.back().text).empty()) m_lines.push_back(Classify(""));
        m_lines.push_back(Classify("[" + OneLine(TrimBytes(section)) + "]"));
        m_lines.push_back(Classify(std::move(entry)));
        return;
    }
    const int e = FindEntry(static_cast<size_t>(h), cleanKey);
    if (e >= 0) {
        Line& line = m_lines[static_cast<size_t>(e)];
        line = Classify(line.name + "=" + OneLine(value));
        return;
    }
    // After the last entry, so that blank lines and comments that close
    // the section stay where they are.
    size_t at = static_cast<size_t>(h) + 1;
    const size_t end = SectionEnd(static_cast<size_t>(h));
    for (size_t i = at; i < end; ++i)
        if (m_lines[i].kind == Kind::Entry) at = i + 1;
    m_lines.insert(m_lines.begin() + static_cast<long>(at), Classify(std::move(entry)));
}

bool IniDocument::SectionExists(const std::string& section) const { return FindSection(section) >= 0; }

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> out;
    for (const Line& line : m_lines) {
        if (line.kind != Kind::Section) continue;
        bool seen = false;
        for (const auto& s : out) seen = seen || SameName(s, line.name);
        if (!seen) out.push_back(line.name);
    }
    return out;
}

std::vector<std::string> IniDocument::Keys(const std::string& section) const {
    std::vector<std::string> out;
    const int h = FindSection(section);
    if (h < 0) return out;
    const size_t end = SectionEnd(static_cast<size_t>(h));
    for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i)
        if (m_lines[i].kind == Kind::Entry) out.push_back(m_lines[i].name);
    return out;
}

std::vector<std::string> IniDocument::Entries(const std::string& section) const {
    std::vector<std::string> out;
    const int h = FindSection(section);
    if (h < 0) return out;
    const size_t end = SectionEnd(static_cast<size_t>(h));
    for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
        if (m_lines[i].kind != Kind::Entry) continue;
        const std::string& text = m_lines[i].text;
        out.push_back(m_lines[i].name + "=" + TrimBytes(text.substr(text.find('=') + 1)));
    }
    return out;
}

void IniDocument::EraseSection(const std::string& section) {
    for (int h = FindSection(section); h >= 0; h = FindSection(section)) {
        const size_t end = SectionEnd(static_cast<size_t>(h));
        m_lines.erase(m_lines.begin() + h, m_lines.begin() + static_cast<long>(end));
    }
}

void IniDocument::DeleteKey(const std::string& section, const std::string& key) {
    const int h = FindSection(section);
    if (h < 0) return;
    const int e = FindEntry(static_cast<size_t>(h), key);
    if (e >= 0) m_lines.erase(m_lines.begin() + e);
}

// ---- TIniFile -------------------------------------------------------------------

TIniFile::TIniFile(const String& fileName, const FileStore& store) : m_fileName(fileName), m_store(store) {}

TIniFile::~TIniFile() {
    // Destructors must not throw; callers that care use UpdateFile.
    Flush();
}

void TIniFile::EnsureLoaded() {
    if (m_loaded) return;
    m_loaded = true;
    std::string bytes;
    switch (m_store.Read(m_fileName, bytes, kMaxFileSize)) {
    case FileReadResult::Ok:
        m_doc.Parse(bytes);
        break;
    case FileReadResult::Missing:
        break;
    case FileReadResult::TooLarge:
    case FileReadResult::Failed:
        m_writable = false;
        break;
    }
}

bool TIniFile::Flush() {
    if (!m_dirty) return true;
    if (!m_writable || !m_store.Write(m_fileName, m_doc.Serialize())) return false;
    m_dirty = false;
    return true;
}

void TIniFile::UpdateFile() {
    if (!Flush()) throw EIniFileException("Unable to write to " + TextToUtf8(m_fileName));
}

String TIniFile::ReadString(const String& section, const String& key, const String& fallback) {
    EnsureLoaded();
    std::string value;
    if (!m_doc.Read(TextToUtf8(section), TextToUtf8(key), value)) return fallback;
    return DecodeText(value);
}

int TIniFile::ReadInteger(const String& section, const String& key, int fallback) {
    const String text = ReadString(section, key, String());
    return StrToIntDef(text, fallback);
}

bool TIniFile::ReadBool(const String& section, const String& key, bool fallback) {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(const String& section, const String& key, const String& value) {
    EnsureLoaded();
    m_doc.Write(TextToUtf8(section), TextToUtf8(key), TextToUtf8(value));
    m_dirty = true;
}

void TIniFile::WriteInteger(const String& section, const String& key, int value) {
    WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(const String& section, const String& key, bool value) {
    WriteString(section, key, value ? u"1" : u"0");
}

bool TIniFile::SectionExists(const String& section) {
    EnsureLoaded();
    return m_doc.SectionExists(TextToUtf8(section));
}

bool TIniFile::ValueExists(const String& section, const String& key) {
    EnsureLoaded();
    std::string value;
    return m_doc.Read(TextToUtf8(section), TextToUtf8(key), value);
}

void TIniFile::ReadSections(TStrings& sections) {
    EnsureLoaded();
    sections.BeginUpdate();
    sections.Clear();
    for (const auto& s : m_doc.Sections()) sections.Add(DecodeText(s));
    sections.EndUpdate();
}

void TIniFile::ReadSection(const String& section, TStrings& keys) {
    EnsureLoaded();
    keys.BeginUpdate();
    keys.Clear();
    for (const auto& k : m_doc.Keys(TextToUtf8(section))) keys.Add(DecodeText(k));
    keys.EndUpdate();
}

void TIniFile::ReadSectionValues(const String& section, TStrings& lines) {
    EnsureLoaded();
    lines.BeginUpdate();
    lines.Clear();
    for (const auto& e : m_doc.Entries(TextToUtf8(section))) lines.Add(DecodeText(e));
    lines.EndUpdate();
}

void TIniFile::EraseSection(const String& section) {
    EnsureLoaded();
    m_doc.EraseSection(TextToUtf8(section));
    m_dirty = true;
}

void TIniFile::DeleteKey(const String& section, const String& key) {
    EnsureLoaded();
    m_doc.DeleteKey(TextToUtf8(section), TextToUtf8(key));
    m_dirty = true;
}

}  // namespace forms
