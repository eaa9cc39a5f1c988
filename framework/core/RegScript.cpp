#include "RegScript.h"

#include <cctype>

namespace core {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
    int line = 1;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

class Parser {
public:
    Parser(std::string_view text, const RegVariables& vars) : m_text(text), m_vars(vars) {}

    RegScriptResult Run() {
        RegScriptResult result;
        if (!Tokenize()) {
            result.error = m_error;
            return result;
        }
        while (m_pos < m_tokens.size()) {
            RegRootNode root;
            const Token& name = m_tokens[m_pos++];
            if (name.quoted || !IsRootName(name.text)) {
                result.error = At(name, "unknown root key '" + name.text + "'");
                return result;
            }
            root.root = name.text;
            if (!Expect("{") || !ParseBody(root.keys, false)) {
                result.error = m_error;
                return result;
            }
            result.roots.push_back(std::move(root));
        }
        result.ok = true;
        return result;
    }

private:
    static bool IsRootName(std::string_view n) {
        static constexpr std::string_view kRoots[] = {
            "HKCR", "HKCU", "HKLM", "HKU", "HKCC",
            "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
            "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
        for (auto r : kRoots)
            if (EqualsNoCase(n, r)) return true;
        return false;
    }

    std::string At(const Token& t, const std::string& msg) const {
        return "line " + std::to_string(t.line) + ": " + msg;
    }

    bool Fail(const std::string& msg) {
        const int line = m_pos < m_tokens.size() ? m_tokens[m_pos].line
                         : m_tokens.empty()      ? 1
                                                 : m_tokens.back().line;
        m_error = "line " + std::to_string(line) + ": " + msg;
        return false;
    }

    bool IsPunct(size_t at, std::string_view p) const {
        return at < m_tokens.size() && !m_tokens[at].quoted && m_tokens[at].text == p;
    }

    bool Expect(std::string_view p) {
        if (!IsPunct(m_pos, p)) return Fail("expected '" + std::string(p) + "'");
        ++m_pos;
        return true;
    }

    // Expands %NAME% and %% in one token.
    bool Expand(std::string& text, int line) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                out.push_back(text[i]);
                continue;
            }
            const size_t end = text.find('%', i + 1);
            if (end == std::string::npos) {
                m_error = "line " + std::to_string(line) + ": unterminated variable";
                return false;
            }
            const std::string name = text.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out.push_back('%');
            } else {
                bool found = false;
                for (const auto& [key, value] : m_vars) {
                    if (EqualsNoCase(key, name)) {
                        out += value;
                        found = true;
                        break;
                    }
                }
                if (!found) {
                    m_error = "line " + std::to_string(line) + ": unknown variable %" + name + "%";
                    return false;
                }
            }
            i = end;
        }
        text = std::move(out);
        return true;
    }

    bool Tokenize() {
        int line = 1;
        size_t i = 0;
        while (i < m_text.size()) {
            const char c = m_text[i];
            if (IsSpace(c)) {
                if (c == '\n') ++line;
                ++i;
                continue;
            }
            Token t;
            t.line = line;
            if (c == '\'') {
                t.quoted = true;
                ++i;
                bool closed = false;
                while (i < m_text.size()) {
                    if (m_text[i] == '\'') {
                        if (i + 1 < m_text.size() && m_text[i + 1] == '\'') {
                            t.text.push_back('\'');
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (m_text[i] == '\n') ++line;
                    t.text.push_back(m_text[i++]);
                }
                if (!closed) {
                    m_error = "line " + std::to_string(t.line) + ": unterminated quoted text";
                    return false;
                }
            } else {
                while (i < m_text.size() && !IsSpace(m_text[i])) t.text.push_back(m_text[i++]);
            }
            if (!Expand(t.text, t.line)) return false;
            m_tokens.push_back(std::move(t));
        }
        return true;
    }

    bool ParseData(RegData& data) {
        if (m_pos >= m_tokens.size()) return Fail("expected a value type");
        const Token& type = m_tokens[m_pos++];
        if (m_pos >= m_tokens.size()) return Fail("expected a value");
        const Token& value = m_tokens[m_pos++];
        if (!type.quoted && EqualsNoCase(type.text, "s")) {
            data.type = RegData::Type::String;
            data.text = value.text;
            return true;
        }
        if (!type.quoted && EqualsNoCase(type.text, "d")) {
            data.type = RegData::Type::Dword;
            const std::string& v = value.text;
            if (v.empty()) return Fail("empty number");
            size_t used = 0;
            unsigned long long n = 0;
            try {
                n = std::stoull(v, &used, 0);
            } catch (...) {
                used = 0;
            }
            if (used != v.size() || n > 0xFFFFFFFFull) return Fail("bad number '" + v + "'");
            data.dword = static_cast<uint32_t>(n);
            return true;
        }
        if (!type.quoted && EqualsNoCase(type.text, "b")) {
            data.type = RegData::Type::Binary;
            const std::string& v = value.text;
            if (v.size() % 2 != 0) return Fail("odd number of hex digits");
            for (size_t k = 0; k < v.size(); k += 2) {
                if (!std::isxdigit(static_cast<unsigned char>(v[k])) ||
                    !std::isxdigit(static_cast<unsigned char>(v[k + 1])))
                    return Fail("bad hex digits '" + v + "'");
                data.bytes.push_back(static_cast<uint8_t>(std::stoul(v.substr(k, 2), nullptr, 16)));
            }
            return true;
        }
        m_pos -= 2;
        return Fail("unknown value type '" + type.text + "'");
    }

    // Parses items up to and including the closing brace.
    bool ParseBody(std::vector<RegKeyNode>& keys, bool allowValues,
                   std::vector<std::pair<std::string, RegData>>* values = nullptr) {
        while (true) {
            if (m_pos >= m_tokens.size()) return Fail("missing '}'");
            if (IsPunct(m_pos, "}")) {
                ++m_pos;
                return true;
            }
            const Token& first = m_tokens[m_pos];
            if (!first.quoted && EqualsNoCase(first.text, "val")) {
                if (!allowValues) return Fail("a named value outside a key");
                ++m_pos;
                if (m_pos >= m_tokens.size()) return Fail("expected a value name");
                std::string name = m_tokens[m_pos++].text;
                if (!Expect("=")) return false;
                RegData data;
                if (!ParseData(data)) return false;
                values->emplace_back(std::move(name), std::move(data));
                continue;
            }
            RegKeyNode key;
            if (!first.quoted) {
                if (EqualsNoCase(first.text, "NoRemove")) key.flag = RegKeyNode::Flag::NoRemove;
                else if (EqualsNoCase(first.text, "ForceRemove")) key.flag = RegKeyNode::Flag::ForceRemove;
                else if (EqualsNoCase(first.text, "Delete")) key.flag = RegKeyNode::Flag::Delete;
                if (key.flag != RegKeyNode::Flag::None) ++m_pos;
            }
            if (m_pos >= m_tokens.size()) return Fail("expected a key name");
            const Token& name = m_tokens[m_pos];
            if (!name.quoted && (name.text == "{" || name.text == "}" || name.text == "="))
                return Fail("expected a key name");
            key.name = name.text;
            ++m_pos;
            if (key.name.empty()) return Fail("empty key name");
            if (IsPunct(m_pos, "=")) {
                ++m_pos;
                RegData data;
                if (!ParseData(data)) return false;
                key.defaultValue = std::move(data);
            }
            if (IsPunct(m_pos, "{")) {
                ++m_pos;
                if (!ParseBody(key.subkeys, true, &key.values)) return false;
            }
            keys.push_back(std::move(key));
        }
    }

    std::string_view m_text;
    const RegVariables& m_vars;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

RegScriptResult ParseRegScript(std::string_view text, const RegVariables& variables) {
    return Parser(text, variables).Run();
}

}  // namespace core
