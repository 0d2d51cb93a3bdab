#!/usr/bin/env bash
# nightjar-cli over a Windows disk given as machine root: the hive files (made here with
# hivexsh) are its registry, the chosen user's folders hold the data folder, and a Smart
# Scan with removal takes a key out of the user's hive after keeping a copy of the hive.
# Usage: disk-test.sh NIGHTJAR_CLI
set -uo pipefail
cli="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The machine root kept for the disk goes here, not into the home folder.
export XDG_DATA_HOME="$work/xdg"
export NIGHTJAR_LAUNCHER_RECORD="$work/launcher.txt"
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
json() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
disk="$work/disk"
run() { "$cli" --machine-root "$disk" "$@"; }

# An empty hive: the base block and one bin with the root key and its security cell.
empty_hive() {
  python3 - "$1" <<'EOF'
import struct, sys
b = bytearray(0x2000)
b[0:4] = b"regf"
struct.pack_into("<IIIIIIIII", b, 4, 1, 1, 0, 0, 1, 3, 0, 1, 0x20)
struct.pack_into("<II", b, 0x28, 0x1000, 1)
struct.pack_into("<I", b, 0x1FC, __import__("functools").reduce(
    lambda a, i: a ^ struct.unpack_from("<I", b, i)[0], range(0, 0x1FC, 4), 0))
b[0x1000:0x1004] = b"hbin"
struct.pack_into("<I", b, 0x1008, 0x1000)
nk, sk = 0x1020, 0x1078
struct.pack_into("<i2sH", b, nk, -0x58, b"nk", 0x2C)
struct.pack_into("<IIIIII", b, nk + 4 + 0x1C, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0x78, 0xFFFFFFFF)
struct.pack_into("<H", b, nk + 4 + 0x48, 4)
b[nk + 4 + 0x4C:nk + 4 + 0x50] = b"ROOT"
struct.pack_into("<i2sHIIII", b, sk, -0x30, b"sk", 0, 0x78, 0x78, 1, 20)
struct.pack_into("<BBH", b, sk + 4 + 0x14, 1, 0, 0x8000)
struct.pack_into("<i", b, sk + 0x30, 0x1000 - 0xA8)
open(sys.argv[1], "wb").write(b)
EOF
}
# hive FILE SCRIPT: the hive made from an empty one and the hivexsh commands of SCRIPT.
hive() {
  mkdir -p "$(dirname "$1")"
  empty_hive "$1"
  printf '%s\ncommit\n' "$2" >"$work/script"
  hivexsh -w -f "$work/script" "$1" || fail "hivexsh on $1"
}

hive "$disk/Windows/System32/config/SOFTWARE" 'add Microsoft
cd Microsoft
add Windows NT
cd Windows NT
add CurrentVersion
cd CurrentVersion
add ProfileList
cd ProfileList
add S-1-5-21-9-1001
cd S-1-5-21-9-1001
setval 1
ProfileImagePath
expandstring:%SystemDrive%\Users\alice'
hive "$disk/Windows/System32/config/SYSTEM" 'add Select'
hive "$disk/Users/alice/NTUSER.DAT" 'add Software
cd Software
add NJDiskSpy
add NJKeep
cd NJDiskSpy
setval 1
Name
string:planted'
ntuser="$disk/Users/alice/NTUSER.DAT"

# --- the user's registry and data folder come from the disk
expect_eq "$(run registry get 'HKCU\Software\NJDiskSpy' --value Name)" "planted" "registry get"
out=$(run info --json) || fail "info exited $?"
expect_eq "$(echo "$out" | json 'd["data_folder"]')" \
  'C:\Users\alice\AppData\Roaming\ZuvoDivavarIVA' "data folder of the disk's user"
expect_eq "$(echo "$out" | json 'd["registry"]')" "hives" "registry kind of a disk"
data_host="$disk/Users/alice/AppData/Roaming/ZuvoDivavarIVA"
[ ! -e "$disk/dosdevices" ] || fail "machine root written onto the disk"
run --user bob info >/dev/null 2>"$work/err"
expect_eq "$?" "2" "unknown user"
grep -q 'bob' "$work/err" || fail "unknown user not named: $(cat "$work/err")"

# --- a Smart Scan with removal takes the key out of the hive and keeps the hive's copy
mkdir -p "$data_host"
printf '1^Software\\NJDiskSpy^=NJDisk.Spy|Adware\n' >"$work/reg.txt"
run definitions encode "$work/reg.txt" "$data_host/RegistryDefinition.dat"
for f in FileDefinition DirectoryDefinition ExeDefinition BlockedCookies; do : >"$data_host/$f.dat"; done
out=$(run scan --mode smart --remove --json)
expect_eq "$?" "1" "smart scan of the disk"
expect_eq "$(echo "$out" | json 'd["results"][0]["title"], d["removal"]["problems"]')" \
  "NJDisk.Spy []" "registry threat found and removed"
printf 'cd \\Software\nls\n' >"$work/script"
# (The program's own settings are the user's too: they may have joined NJKeep.)
expect_eq "$(hivexsh -f "$work/script" "$ntuser" | grep -c '^NJ')" "1" "keys after removal"
hivexsh -f "$work/script" "$ntuser" | grep -qx 'NJKeep' || fail "NJKeep removed too"
copies=("$data_host/Hive backups/NTUSER.DAT "*)
[ -f "${copies[0]}" ] || fail "no copy of the hive"
expect_eq "$(hivexget "${copies[0]}" '\Software\NJDiskSpy' Name)" "planted" "copy of the hive"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "all Windows disk checks passed"
