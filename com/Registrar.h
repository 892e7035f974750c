#pragma once
// Applies registrar scripts to the registry, in register or unregister mode.
#include <windows.h>

#include <map>
#include <string>

#include "com/RegScript.h"

namespace qern {

// Register: creates keys and values (ForceRemove keys are deleted first, Delete keys removed).
// Unregister: removes every key the script names except NoRemove keys, whose children are visited.
HRESULT ApplyRegScript(const RegScript& script, bool registerMode);

// Loads resource type "REGISTRY" id from module, expands variables, parses and applies it.
HRESULT RunRegistrarResource(HINSTANCE module, UINT id, const std::map<std::wstring, std::wstring>& vars,
                             bool registerMode);

}  // namespace qern
