#!/usr/bin/env bash
# Registers the DLL with regsvr32 and runs a JScript file through Wine's cscript; compares its output.
# Usage: late-binding.sh BIN_DIR WINERUN SCRIPT EXPECTED
set -euo pipefail
bin=$1 winerun=$2 script=$3 expected=$4
cd "$bin"
cp "$script" late_binding.js
"$winerun" regsvr32 /s QERNCamControl.dll
"$winerun" cscript.exe //nologo late_binding.js | tr -d '\r' >late_binding.out
diff -u "$expected" late_binding.out
