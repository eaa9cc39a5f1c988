#include "framework/core/RegScript.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using core::ParseRegScript;
using core::RegData;
using core::RegKeyNode;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

const RegKeyNode* Child(const RegKeyNode& node, const std::string& name) {
    for (const auto& k : node.subkeys)
        if (k.name == name) return &k;
    return nullptr;
}

std::string DefaultText(const RegKeyNode* node) {
    if (!node || !node->defaultValue) return "<none>";
    return node->defaultValue->text;
}

}  // namespace

// The control's own script, as it ships, parsed into the keys the control
// must register.
TEST(RegScript, ControlScriptGivesTheRegistrationTree) {
    const std::string text = ReadFile(SOURCE_ROOT "/convctl/Vantrex.rgs");
    ASSERT_FALSE(text.empty());
    const auto r = ParseRegScript(text, {{"MODULE", "C:\\x\\Tromvex.dll"}});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.roots.size(), 1u);
    EXPECT_EQ(r.roots[0].root, "HKCR");
    const auto& keys = r.roots[0].keys;
    ASSERT_EQ(keys.size(), 3u);

    EXPECT_EQ(keys[0].name, "Vantrex.VantrexObj.1");
    EXPECT_EQ(DefaultText(&keys[0]), "VantrexObj Class");
    EXPECT_EQ(DefaultText(Child(keys[0], "CLSID")), "{F82FA24D-93F8-47CA-8B12-58372BF271EF}");

    EXPECT_EQ(keys[1].name, "Vantrex.VantrexObj");
    EXPECT_EQ(DefaultText(Child(keys[1], "CurVer")), "Vantrex.VantrexObj.1");

    const RegKeyNode& clsidRoot = keys[2];
    EXPECT_EQ(clsidRoot.name, "CLSID");
    EXPECT_EQ(clsidRoot.flag, RegKeyNode::Flag::NoRemove);
    ASSERT_EQ(clsidRoot.subkeys.size(), 1u);
    const RegKeyNode& cls = clsidRoot.subkeys[0];
    EXPECT_EQ(cls.flag, RegKeyNode::Flag::ForceRemove);
    EXPECT_EQ(DefaultText(&cls), "VantrexObj Class");
    EXPECT_EQ(DefaultText(Child(cls, "ProgID")), "Vantrex.VantrexObj.1");
    EXPECT_EQ(DefaultText(Child(cls, "VersionIndependentProgID")), "Vantrex.VantrexObj");
    const RegKeyNode* server = Child(cls, "InprocServer32");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(DefaultText(server), "C:\\x\\Tromvex.dll");
    ASSERT_EQ(server->values.size(), 1u);
    EXPECT_EQ(server->values[0].first, "ThreadingModel");
    EXPECT_EQ(server->values[0].second.text, "Apartment");
    EXPECT_EQ(DefaultText(Child(cls, "ToolboxBitmap32")), "C:\\x\\Tromvex.dll, 101");
    for (const char* empty : {"Programmable", "Control", "Insertable"}) {
        const RegKeyNode* k = Child(cls, empty);
        ASSERT_NE(k, nullptr) << empty;
        EXPECT_EQ(k->flag, RegKeyNode::Flag::ForceRemove);
        EXPECT_FALSE(k->defaultValue.has_value());
    }
    const RegKeyNode* misc = Child(cls, "MiscStatus");
    EXPECT_EQ(DefaultText(misc), "0");
    EXPECT_EQ(DefaultText(Child(*misc, "1")), "131473");
    EXPECT_EQ(DefaultText(Child(cls, "TypeLib")), "{519727AE-C591-4DCE-AFB0-D462D9E384D5}");
    EXPECT_EQ(DefaultText(Child(cls, "Version")), "1.0");
}

TEST(RegScript, ValueTypesQuotingAndVariables) {
    const auto r = ParseRegScript(
        "HKLM { Key = s 'it''s %NAME%' { val D = d 0x10 val Dec = d 42 val B = b 00FFa0 "
        "val P = s '100%%' } 'Quoted Name' Delete Gone }",
        {{"NAME", "here"}});
    ASSERT_TRUE(r.ok) << r.error;
    const auto& keys = r.roots[0].keys;
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].defaultValue->text, "it's here");
    ASSERT_EQ(keys[0].values.size(), 4u);
    EXPECT_EQ(keys[0].values[0].second.type, RegData::Type::Dword);
    EXPECT_EQ(keys[0].values[0].second.dword, 16u);
    EXPECT_EQ(keys[0].values[1].second.dword, 42u);
    EXPECT_EQ(keys[0].values[2].second.bytes, (std::vector<uint8_t>{0x00, 0xFF, 0xA0}));
    EXPECT_EQ(keys[0].values[3].second.text, "100%");
    EXPECT_EQ(keys[1].name, "Quoted Name");
    EXPECT_EQ(keys[2].name, "Gone");
    EXPECT_EQ(keys[2].flag, RegKeyNode::Flag::Delete);
}

TEST(RegScript, VariableValuesAreNotReparsed) {
    // A module path with a quote or a brace must stay one value.
    const auto r = ParseRegScript("HKCR { K = s '%MODULE%' }", {{"MODULE", "C:\\it's {odd}.dll"}});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.roots[0].keys[0].defaultValue->text, "C:\\it's {odd}.dll");
}

TEST(RegScript, BadScriptsAreRefusedWithTheirLine) {
    struct Case {
        const char* text;
        const char* errorPart;
    };
    const Case cases[] = {
        {"HKXX { }", "unknown root key"},
        {"HKCR { K = s 'open }", "unterminated quoted text"},
        {"HKCR {\n K = s 'v'\n", "missing '}'"},
        {"HKCR { K = q 'v' }", "unknown value type"},
        {"HKCR { K = d 12x }", "bad number"},
        {"HKCR { K = d 0x100000000 }", "bad number"},
        {"HKCR { K = b 0F0 }", "odd number of hex digits"},
        {"HKCR { K = b ZZ }", "bad hex digits"},
        {"HKCR { val V = s 'x' }", "a named value outside a key"},
        {"HKCR { K = s '%NOPE%' }", "unknown variable"},
        {"HKCR { K = s '%OPEN' }", "unterminated variable"},
        {"HKCR K", "expected '{'"},
        {"HKCR { K = }", "expected a value"},
        {"HKCR { = s 'x' }", "expected a key name"},
    };
    for (const auto& c : cases) {
        const auto r = ParseRegScript(c.text, {});
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << c.text << " -> " << r.error;
        EXPECT_EQ(r.error.rfind("line ", 0), 0u) << r.error;
    }
    const auto third = ParseRegScript("HKCR\n{\n  K = x 'v'\n}", {});
    EXPECT_EQ(third.error.rfind("line 3:", 0), 0u) << third.error;
}

TEST(RegScript, EmptyScriptAndEmptyRootAreFine) {
    EXPECT_TRUE(ParseRegScript("", {}).ok);
    const auto r = ParseRegScript("HKCU { }\nHKEY_LOCAL_MACHINE { }", {});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.roots.size(), 2u);
}
