#pragma once
// Parser for registrar scripts: nested keys with default values, named values and
// NoRemove / ForceRemove / Delete markers, with %NAME% replacements. No platform calls.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qern {

struct RegNode {
    enum class Mark { None, NoRemove, ForceRemove, Delete };
    enum class Kind { None, String, Dword };

    std::wstring name;
    bool isValue = false;  // "val name = ..." rather than a key
    Mark mark = Mark::None;
    Kind kind = Kind::None;  // of the key's default value or of the named value
    std::wstring text;
    uint32_t number = 0;
    std::vector<RegNode> children;
};

// The root hives of a script ("HKCR" and friends); each is a node with key children.
struct RegScript {
    std::vector<RegNode> roots;
};

// Replaces each %NAME% of vars; "%%" gives one "%". Unknown names are an error.
bool ExpandRegVariables(const std::wstring& in, const std::map<std::wstring, std::wstring>& vars, std::wstring& out,
                        std::string& error);

// Parses an expanded script. On failure returns false and describes the position in error.
bool ParseRegScript(const std::wstring& text, RegScript& out, std::string& error);

}  // namespace qern
