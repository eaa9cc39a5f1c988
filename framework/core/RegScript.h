// Parser for the registrar scripts that COM servers embed as REGISTRY
// resources. The text form is the usual one:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {GUID} = s 'Name'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space; quoted text uses single quotes, with
// a doubled quote standing for one. %NAME% is replaced from the variables the
// caller gives, %% is a literal percent sign. Applying the tree to a registry
// is the caller's business; this file only reads text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

struct RegData {
    enum class Type { String, Dword, Binary };
    Type type = Type::String;
    std::string text;             // String
    uint32_t dword = 0;           // Dword
    std::vector<uint8_t> bytes;   // Binary
};

struct RegKeyNode {
    enum class Flag { None, NoRemove, ForceRemove, Delete };
    std::string name;
    Flag flag = Flag::None;
    std::optional<RegData> defaultValue;
    std::vector<std::pair<std::string, RegData>> values;  // "val" entries
    std::vector<RegKeyNode> subkeys;
};

struct RegRootNode {
    std::string root;  // as written: HKCR, HKEY_LOCAL_MACHINE, ...
    std::vector<RegKeyNode> keys;
};

struct RegScriptResult {
    bool ok = false;
    std::string error;  // "line N: ..." when !ok
    std::vector<RegRootNode> roots;
};

using RegVariables = std::vector<std::pair<std::string, std::string>>;

RegScriptResult ParseRegScript(std::string_view text, const RegVariables& variables);

}  // namespace core
