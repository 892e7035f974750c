#!/usr/bin/env bash
# Registration for the current user alone (regsvr32 /n /i:user, no administrator): the classes,
# ProgIDs and type library land under HKCU\Software\Classes, the machine's classes stay as they
# were, a late-binding client works through them, and /u /n /i:user leaves nothing behind.
# Usage: per-user-registration.sh BIN_DIR WINERUN SCRIPT EXPECTED
set -euo pipefail
bin=$1 winerun=$2 script=$3 expected=$4
diff=$(cd "$(dirname "$0")" && pwd)/regdiff.py
cd "$bin"
rm -rf peruser && mkdir peruser
machine='HKEY_LOCAL_MACHINE\Software\Classes' user='HKEY_CURRENT_USER\Software\Classes'
libid='{40DA1A22-6C0A-410D-B798-4FA43361E25E}'
snap() { "$winerun" reg export "$1" "peruser/$2.reg" /y >/dev/null 2>&1; }
fail() { echo "FAIL: $*"; exit 1; }

# Start without any registration (the machine's is restored at the end when there was one).
was_machine=0
"$winerun" reg query "$machine\\QERN.CamImage" >/dev/null 2>&1 && was_machine=1
restore() { [ "$was_machine" = 1 ] && "$winerun" regsvr32 /s QERNCamControl.dll || true; }
trap restore EXIT
"$winerun" regsvr32 /u /s QERNCamControl.dll
"$winerun" regsvr32 /u /n /i:user /s QERNCamControl.dll
snap "$machine" m0
snap "$user" u0

"$winerun" regsvr32 /n /i:user /s QERNCamControl.dll || fail "per-user registration returned $?"
snap "$machine" m1
snap "$user" u1
python3 "$diff" same peruser/m0.reg peruser/m1.reg || fail "per-user registration changed the machine's classes"
python3 "$diff" added peruser/u0.reg peruser/u1.reg QERN.CamImage 'QERN.CamImage.1\Insertable' \
  QERNCamControl.CImgCtrl.1 'QERNCamControl.CRec\CurVer' "TypeLib\\$libid\\1.0\\0\\win32" ||
  fail "per-user registration misses keys"
[ "$(iconv -f UTF-16 -t UTF-8 peruser/u1.reg | grep -ci 'InprocServer32\]')" -ge 3 ] || fail "fewer than three in-process servers"

# Windows shows HKCU\Software\Classes merged over the machine's classes as HKEY_CLASSES_ROOT;
# Wine 8 shows the machine's alone. There the added keys are mirrored into the machine's view
# for the client's run, and removed again.
mirrored=0
if ! "$winerun" reg query 'HKEY_CLASSES_ROOT\QERN.CamImage' >/dev/null 2>&1; then
  python3 "$diff" mirror peruser/u0.reg peruser/u1.reg peruser/m1.reg "$machine" peruser/mirror.reg
  "$winerun" reg import peruser/mirror.reg >/dev/null 2>&1
  mirrored=1
fi
cp "$script" peruser/late_binding.js
"$winerun" cscript.exe //nologo peruser/late_binding.js | tr -d '\r' >peruser/late_binding.out || true
if [ "$mirrored" = 1 ]; then
  python3 "$diff" tops peruser/u0.reg peruser/u1.reg peruser/m1.reg | while IFS= read -r key; do
    "$winerun" reg delete "$machine\\$key" /f >/dev/null 2>&1
  done
fi
diff -u "$expected" peruser/late_binding.out || fail "late binding through the per-user registration"

"$winerun" regsvr32 /u /n /i:user /s QERNCamControl.dll || fail "per-user unregistration returned $?"
snap "$machine" m2
snap "$user" u2
python3 "$diff" same peruser/u0.reg peruser/u2.reg || fail "per-user unregistration left keys behind"
python3 "$diff" same peruser/m0.reg peruser/m2.reg || fail "the machine's classes changed"
echo "per-user registration: OK"
