#include "framework/com/Registrar.h"

#include "framework/com/Module.h"
#include "framework/com/WinText.h"

namespace com {
namespace {

using core::RegData;
using core::RegKeyNode;

HKEY RootFromName(const std::string& name) {
    const std::string n = core::AsciiLower(name);
    if (n == "hkcr" || n == "hkey_classes_root") return HKEY_CLASSES_ROOT;
    if (n == "hkcu" || n == "hkey_current_user") return HKEY_CURRENT_USER;
    if (n == "hklm" || n == "hkey_local_machine") return HKEY_LOCAL_MACHINE;
    if (n == "hku" || n == "hkey_users") return HKEY_USERS;
    if (n == "hkcc" || n == "hkey_current_config") return HKEY_CURRENT_CONFIG;
    return nullptr;
}

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (m_key) RegCloseKey(m_key);
    }
    HKEY* Put() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

HRESULT FromWin32(LONG err) { return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err); }

HRESULT SetValue(HKEY key, const std::u16string& name, const RegData& data) {
    const WCHAR* valueName = name.empty() ? nullptr : W(name);
    LONG err = ERROR_SUCCESS;
    switch (data.type) {
    case RegData::Type::String: {
        const std::u16string text = U16(data.text);
        err = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(W(text)),
                             static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
        break;
    }
    case RegData::Type::Dword: {
        const DWORD v = data.dword;
        err = RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        break;
    }
    case RegData::Type::Binary:
        err = RegSetValueExW(key, valueName, 0, REG_BINARY, data.bytes.data(),
                             static_cast<DWORD>(data.bytes.size()));
        break;
    }
    return FromWin32(err);
}

HRESULT DeleteTree(HKEY parent, const std::u16string& name) {
    const LONG err = RegDeleteTreeW(parent, W(name));
    if (err == ERROR_FILE_NOT_FOUND) return S_OK;
    if (err != ERROR_SUCCESS) return FromWin32(err);
    // RegDeleteTree empties the key; remove the key itself too.
    const LONG err2 = RegDeleteKeyW(parent, W(name));
    return (err2 == ERROR_SUCCESS || err2 == ERROR_FILE_NOT_FOUND) ? S_OK : FromWin32(err2);
}

HRESULT Install(HKEY parent, const RegKeyNode& node) {
    const std::u16string name = U16(node.name);
    if (node.flag == RegKeyNode::Flag::Delete) return DeleteTree(parent, name);
    if (node.flag == RegKeyNode::Flag::ForceRemove) {
        const HRESULT hr = DeleteTree(parent, name);
        if (FAILED(hr)) return hr;
    }
    RegKey key;
    HRESULT hr = FromWin32(RegCreateKeyExW(parent, W(name), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           key.Put(), nullptr));
    if (FAILED(hr)) return hr;
    if (node.defaultValue) {
        hr = SetValue(key.Get(), {}, *node.defaultValue);
        if (FAILED(hr)) return hr;
    }
    for (const auto& [valueName, data] : node.values) {
        hr = SetValue(key.Get(), U16(valueName), data);
        if (FAILED(hr)) return hr;
    }
    for (const auto& child : node.subkeys) {
        hr = Install(key.Get(), child);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Remove(HKEY parent, const RegKeyNode& node) {
    const std::u16string name = U16(node.name);
    if (node.flag == RegKeyNode::Flag::ForceRemove) return DeleteTree(parent, name);
    if (node.flag == RegKeyNode::Flag::Delete) return S_OK;  // acts at registration only
    bool empty = false;
    {
        RegKey key;
        const LONG err = RegOpenKeyExW(parent, W(name), 0, KEY_ALL_ACCESS, key.Put());
        if (err == ERROR_FILE_NOT_FOUND) return S_OK;
        if (err != ERROR_SUCCESS) return FromWin32(err);
        for (const auto& child : node.subkeys) {
            const HRESULT hr = Remove(key.Get(), child);
            if (FAILED(hr)) return hr;
        }
        for (const auto& value : node.values) RegDeleteValueW(key.Get(), W(U16(value.first)));
        DWORD subkeys = 0;
        RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        empty = subkeys == 0;
    }
    // A key that other software added subkeys to is left in place.
    if (node.flag == RegKeyNode::Flag::None && empty) {
        const LONG err = RegDeleteKeyW(parent, W(name));
        if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND) return FromWin32(err);
    }
    return S_OK;
}

}  // namespace

HRESULT ApplyRegScript(const core::RegScriptResult& script, bool install) {
    if (!script.ok) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (const auto& root : script.roots) {
        const HKEY hive = RootFromName(root.root);
        if (!hive) return E_INVALIDARG;
        for (const auto& key : root.keys) {
            const HRESULT hr = install ? Install(hive, key) : Remove(hive, key);
            // Registration stops at the first failure; removal goes on and
            // removes what it can.
            if (FAILED(hr)) {
                if (install) return hr;
                result = hr;
            }
        }
    }
    return result;
}

HRESULT RunModuleRegScript(HMODULE module, UINT resourceId, bool install) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
    if (!res) return HRESULT_FROM_WIN32(GetLastError());
    HGLOBAL data = LoadResource(module, res);
    const DWORD size = SizeofResource(module, res);
    const char* text = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    if (!text) return E_FAIL;

    const std::u16string path = Module::PathOf(module);
    const core::RegScriptResult script =
        core::ParseRegScript(std::string_view(text, size), {{"MODULE", core::Utf16ToUtf8(path)}});
    if (!script.ok) {
        OutputDebugStringA(("registration script: " + script.error + "\n").c_str());
        return E_UNEXPECTED;
    }
    return ApplyRegScript(script, install);
}

HRESULT RegisterInprocServers(HMODULE module, const InprocServerEntry* entries, size_t count, bool install) {
    RegKeyNode clsidRoot;
    clsidRoot.name = "CLSID";
    clsidRoot.flag = RegKeyNode::Flag::NoRemove;
    const std::string path = core::Utf16ToUtf8(Module::PathOf(module));
    for (size_t i = 0; i < count; ++i) {
        RegKeyNode cls;
        cls.name = core::Utf16ToUtf8(GuidToString(*entries[i].clsid));
        cls.flag = RegKeyNode::Flag::ForceRemove;
        cls.defaultValue = RegData{RegData::Type::String, entries[i].name, 0, {}};
        RegKeyNode server;
        server.name = "InprocServer32";
        server.defaultValue = RegData{RegData::Type::String, path, 0, {}};
        server.values.emplace_back("ThreadingModel", RegData{RegData::Type::String, entries[i].threadingModel, 0, {}});
        cls.subkeys.push_back(std::move(server));
        clsidRoot.subkeys.push_back(std::move(cls));
    }
    core::RegScriptResult script;
    script.ok = true;
    script.roots.push_back(core::RegRootNode{"HKCR", {std::move(clsidRoot)}});
    return ApplyRegScript(script, install);
}

}  // namespace com
