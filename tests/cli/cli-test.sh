#!/usr/bin/env bash
# Command-line behaviour of nightjar-cli over a fresh machine root: identity, definition
# counts and encoding, the registry and settings commands, a scan's exit statuses and
# JSON, exclusions, the stored scan report, quarantine list and restore, guard mode, and
# the error path (message on stderr, exit status 2).
# Usage: cli-test.sh NIGHTJAR_CLI
set -uo pipefail
cli="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export NIGHTJAR_MACHINE_ROOT="$work/machine"
export NIGHTJAR_LAUNCHER_RECORD="$work/launcher.txt"
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
json() { python3 -c "import json,sys; d=json.load(sys.stdin); print($1)"; }
run() { "$cli" "$@"; }

# --- info: the machine root is created on first use with c: and z:
out=$(run info --json) || fail "info exited $?"
expect_eq "$(echo "$out" | json 'd["product"]')" "Nightjar" "product"
expect_eq "$(echo "$out" | json 'd["machine_root"]')" "$work/machine" "machine_root"
expect_eq "$(echo "$out" | json 'd["registry"]')" "sqlite" "registry kind"
data_win=$(echo "$out" | json 'd["data_folder"]')
expect_eq "$(run --version)" "Nightjar $(echo "$out" | json 'd["version"]')" "--version"
data_host=$(echo "$out" | json 'd["data_folder_host"]')
case "$data_win" in
  C:\\users\\*\\AppData\\Roaming\\ZuvoDivavarIVA) ;;
  *) fail "data_folder is $data_win" ;;
esac
case "$data_host" in
  "$work/machine/drive_c/users/"*"/AppData/Roaming/ZuvoDivavarIVA") ;;
  *) fail "data_folder_host is $data_host" ;;
esac
[ -L "$work/machine/dosdevices/c:" ] || fail "no c: drive link"
[ "$(readlink "$work/machine/dosdevices/z:")" = "/" ] || fail "z: is not /"

# --- definitions encode/decode round trip, including 8-bit bytes and a missing final break
printf 'bad.exe=Bad Thing|[windir]|Trojan\nsecond=line\xe9\xff' >"$work/plain.txt"
run definitions encode "$work/plain.txt" "$work/stored.dat" || fail "encode exited $?"
# "b" (98) is stored as 162; every line ends in CR LF.
first=$(head -c 1 "$work/stored.dat" | od -An -tu1 | tr -d ' ')
expect_eq "$first" "162" "scrambled first byte"
expect_eq "$(tr -cd '\r' <"$work/stored.dat" | wc -c)" "2" "CR count in stored form"
run definitions decode "$work/stored.dat" "$work/back.txt" || fail "decode exited $?"
# Code 255 does not survive the round trip (it comes back as 0); everything else does.
expect_eq "$(head -n1 "$work/back.txt")" "bad.exe=Bad Thing|[windir]|Trojan" "decoded line 1"
expect_eq "$(tail -n1 "$work/back.txt" | od -An -tx1 | tr -s ' ')" \
  " 73 65 63 6f 6e 64 3d 6c 69 6e 65 e9 00 0a" "decoded line 2 bytes"

# --- definitions count: files and folders share a counter
mkdir -p "$data_host"
run definitions encode "$work/plain.txt" "$data_host/FileDefinition.dat"
printf 'x\r\ny\r\nz' >"$data_host/DirectoryDefinition.dat"
printf 'a\r\n' >"$data_host/BlockedCookies.dat"
out=$(run definitions count --json) || fail "count exited $?"
expect_eq "$(echo "$out" | json 'd["files"], d["cookies"], d["exe"], d["registry"], d["total"]')" \
  "5 1 0 0 6" "definition counts"

# --- registry: set, get, list, delete on both spellings of a hive
run registry set 'HKCU\Software\NJTest' --value Name --string 'hello world' || fail "set string"
run registry set 'HKEY_CURRENT_USER\Software\NJTest' --value Count --dword 42 || fail "set dword"
run registry set 'HKCU\Software\NJTest\Sub' || fail "create key"
expect_eq "$(run registry get 'HKEY_CURRENT_USER\software\njtest' --value name)" "hello world" "get string"
expect_eq "$(run registry get 'HKCU\Software\NJTest' --value Count --json | json 'd["type"], d["data"]')" \
  "REG_DWORD 42" "get dword"
out=$(run registry list 'HKCU\Software\NJTest' --json)
expect_eq "$(echo "$out" | json 'd["subkeys"], len(d["values"])')" "['Sub'] 2" "list"
run registry delete 'HKCU\Software\NJTest' --value Name || fail "delete value"
run registry get 'HKCU\Software\NJTest' --value Name >/dev/null 2>&1
expect_eq "$?" "2" "get of a deleted value"
run registry delete 'HKCU\Software\NJTest' || fail "delete tree"
run registry list 'HKCU\Software\NJTest\Sub' >/dev/null 2>"$work/err"
expect_eq "$?" "2" "list of a deleted tree"
grep -q 'nightjar-cli: ' "$work/err" || fail "no error message on stderr"
run registry get 'HKEY_NOWHERE\X' --value a >/dev/null 2>&1
expect_eq "$?" "2" "unknown hive"

# --- settings under the product's application name, with defaults
expect_eq "$(run settings get OptionAndSettings chkScanCookies --default 1)" "1" "settings default"
run settings set OptionAndSettings chkScanCookies 0 || fail "settings set"
expect_eq "$(run settings get OptionAndSettings chkScanCookies --default 1)" "0" "settings stored"
expect_eq "$(run registry get 'HKCU\Software\VB and VBA Program Settings\Nightjar\OptionAndSettings' --value chkScanCookies)" \
  "0" "settings live in the registry"
run settings set OptionAndSettings chkScanCookies 1

# --- scan: missing definitions are an error with the catalog text
rm -f "$data_host"/*.dat
run scan --mode smart >/dev/null 2>"$work/err"
expect_eq "$?" "2" "scan without definitions"
grep -q 'Definition files are missing or they have been corrupted. Please run Live Update.' \
  "$work/err" || fail "missing-definitions text"
# ... and says in its JSON that it did not run, with no result to mistake for a clean one
out=$(run scan --mode smart --json 2>/dev/null)
expect_eq "$?" "2" "json scan without definitions"
expect_eq "$(echo "$out" | json 'd["ran"], d["outcome"], "results" in d')" \
  "False definitions_missing False" "json of a refused scan"

# --- scan: a File Scan finds a planted file by its host path; clean files give 0
plant="$work/machine/drive_c/Program Files/NJCliTest"
mkdir -p "$plant"
printf 'x' >"$plant/njclitest_spy.exe"
printf 'x' >"$plant/harmless.txt"
# The second definition is written in Windows-1252, as definition files are.
printf 'njclitest_spy.exe=NJCli.Spy|[progfil]NJCliTest|Spyware\n\xc4rger.exe=NJCli.Umlaut|[progfil]NJCliTest|Spyware\n' >"$work/files.txt"
run definitions encode "$work/files.txt" "$data_host/FileDefinition.dat"
for f in DirectoryDefinition RegistryDefinition ExeDefinition; do : >"$data_host/$f.dat"; done
: >"$data_host/BlockedCookies.dat"
out=$(run scan --mode file --path "$plant/njclitest_spy.exe" --json)
expect_eq "$?" "1" "file scan of a threat"
expect_eq "$(echo "$out" | json 'd["mode"], d["cancelled"], d["counters"]["threats"]')" \
  "file False 1" "file scan summary"
expect_eq "$(echo "$out" | json 'd["results"][0]["title"], d["results"][0]["risk"]')" \
  "NJCli.Spy Medium/High" "file scan result"
run scan --mode file --path 'C:\Program Files\NJCliTest\harmless.txt' --json >/dev/null
expect_eq "$?" "0" "file scan of a clean file"

# --- names are UTF-8: the definition of Ärger.exe finds a host file ärger.exe
printf 'x' >"$plant/ärger.exe"
out=$(run scan --mode file --path "$plant/ärger.exe")
expect_eq "$?" "1" "file scan of a threat with a Latin letter"
echo "$out" | grep -qiF 'location: C:\Program Files\NJCliTest\ärger.exe' ||
  fail "location of ärger.exe: $out"

# --- scan --remove: the threat goes into the quarantine, the JSON says so, exit 1
out=$(run scan --mode file --path "$plant/ärger.exe" --remove --json)
expect_eq "$?" "1" "file scan with removal"
expect_eq "$(echo "$out" | json 'd["removal"]["problems"], d["removal"]["removed_total"], d["results"][0]["title"]')" \
  "[] 1 NJCli.Umlaut" "removal result"
[ ! -e "$plant/ärger.exe" ] || fail "removed file is still there"
cmp -s "$data_host/quarantine/ärger.exe" <(printf 'x') || fail "no quarantine copy of ärger.exe"
grep -qiF ' - Location: C:\Program Files\NJCliTest\ärger.exe' "$data_host/quarantine/QuarantineLog.txt" ||
  fail "removal not logged"

# --- exclusions: an excluded threat shows as EXCLUDED and the scan finds nothing
run exclusions add 'C:\Program Files\NJCliTest\njclitest_spy.exe' || fail "exclusions add"
run exclusions list | grep -qi 'njclitest_spy.exe' || fail "exclusions list"
# A "|" in an entry is part of it: written as one entry, and said so.
run exclusions add 'HKEY_CURRENT_USER\Software\NJCli|Bar' || fail "exclusions add with a bar"
expect_eq "$(run exclusions list | grep -c 'NJCli|Bar')" "1" "an entry with a bar is one entry"
out=$(run scan --mode file --path "$plant/njclitest_spy.exe" --json)
expect_eq "$?" "0" "scan of an excluded file"
expect_eq "$(echo "$out" | json 'd["feed"][0]["text"], d["counters"]["threats"]')" "EXCLUDED 0" \
  "excluded feed row"

# --- last complete scan: a Smart Scan never stamps it (every start selects Quick Scan,
# whatever is stored); a Full System Scan from here does
run settings set OptionAndSettings optScanAllSelectedHardDrive True
run settings set Drives Z False
run scan --mode smart >/dev/null || fail "smart scan exited $?"
expect_eq "$(run settings get Settings lblLastFullScan --default Never)" "Never" "smart scan stamp"
[ "$(run settings get Settings lblLastScan --default Never)" != "Never" ] || fail "no last scan"
run scan --mode full >/dev/null || fail "full scan exited $?"
[ "$(run settings get Settings lblLastFullScan --default Never)" != "Never" ] ||
  fail "full scan is not a complete scan"

# --- update: while another program holds the data folder's update lock, exit 2, "busy"
out=$(flock "$data_host/update.lock" "$cli" update --server http://127.0.0.1:9 --json)
expect_eq "$?" "2" "update while another one runs"
expect_eq "$(echo "$out" | json 'd["outcome"]')" "busy" "update outcome while locked"

# --- report: none is exit 2 with a message; the stored report is printed byte for byte
rm -f "$data_host/Scan_Log.txt"
run report >"$work/out" 2>"$work/err"
expect_eq "$?" "2" "report without a report"
grep -q 'nightjar-cli: no scan report' "$work/err" || fail "no-report message"
printf '\r\n   Nightjar v1.0   Scan Report\r\n\xc3\xa4\r\n=====================End Of Report.' \
  >"$data_host/Scan_Log.txt"
run report >"$work/out" || fail "report exited $?"
cmp -s "$work/out" "$data_host/Scan_Log.txt" || fail "report bytes differ from Scan_Log.txt"

# --- quarantine: list and restore a file and a registry value put there as a removal leaves them
qdir="$data_host/quarantine"
mkdir -p "$qdir"
printf 'MZ\0\1quarantined' >"$qdir/tool.exe.001"
python3 - "$qdir/NJQuar.reg" <<'PY'
import sys
text = ('Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\NJQuar]\r\n'
        '"Run"="C:\\\\x.exe"\r\n\r\n')
open(sys.argv[1], 'wb').write(b'\xff\xfe' + text.encode('utf-16-le'))
PY
cat >"$qdir/QuarantineIndex.json" <<'JSON'
[{"time":"12/8/2026 2:05:07 PM","kind":"file","original":"C:\\NJQuarantine\\tool.exe","value":"","name":"tool.exe.001"},
 {"time":"12/8/2026 2:05:08 PM","kind":"registry_value","original":"HKEY_CURRENT_USER\\Software\\NJQuar","value":"Run","name":"NJQuar.reg"}]
JSON
out=$(run quarantine list --json) || fail "quarantine list exited $?"
expect_eq "$(echo "$out" | json '[(e["kind"], e["name"], e.get("value")) for e in d]')" \
  "[('file', 'tool.exe.001', None), ('registry value', 'NJQuar.reg', 'Run')]" "quarantine list"
run quarantine list | grep -qF 'HKEY_CURRENT_USER\Software\NJQuar (value "Run")' ||
  fail "quarantine list text"
run registry set 'HKCU\Software\NJQuar' --value Run --string 'newer'
out=$(run quarantine restore --all)
expect_eq "$?" "2" "restore over an existing value"
expect_eq "$out" $'tool.exe.001: restored\nNJQuar.reg: target exists (use --force to replace it)' \
  "restore lines"
cmp -s "$work/machine/drive_c/NJQuarantine/tool.exe" <(printf 'MZ\0\1quarantined') ||
  fail "restored file differs"
run quarantine restore NJQuar.reg --force >/dev/null || fail "forced restore exited $?"
expect_eq "$(run registry get 'HKCU\Software\NJQuar' --value Run)" 'C:\x.exe' "restored value"
expect_eq "$(run quarantine list --json)" "[]" "quarantine empty after restore"
grep -qF ' - Restored: NJQuar.reg' "$qdir/QuarantineLog.txt" || fail "restore not logged"
run quarantine restore NJQuar.reg >/dev/null 2>&1
expect_eq "$?" "2" "restore of a name no longer held"

# --- guard: runs until SIGTERM, says when it started and stopped, ends with status 0
"$cli" guard --on-threat stop --on-homepage restore </dev/null >"$work/guard.out" 2>&1 &
guard=$!
for _ in $(seq 100); do
  grep -q 'guard started' "$work/guard.out" && break
  sleep 0.1
done
kill -TERM "$guard"
wait "$guard"
expect_eq "$?" "0" "guard after SIGTERM"
grep -q '^[0-9-]* [0-9:]* guard started: memory shield on' "$work/guard.out" || fail "guard start line"
grep -q '^[0-9-]* [0-9:]* guard stopped$' "$work/guard.out" || fail "guard stop line"

# --- language: list marks the stored choice, set takes a name in any letter case and the
# catalog texts a scan prints follow it, an unknown name is exit 2 naming the languages
prog="$work/prog"
mkdir -p "$prog"
group() {
  printf '<LANGUAGE_GROUP xml:lang="xx">\r\n\t<LANGUAGE_NAME>%s</LANGUAGE_NAME>\r\n' "$1"
  printf '\t<TRANSLATION_ITEMS>\r\n\t\t%s\r\n\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n' "$2"
}
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<XML_DIZ_INFO>\r\n'
  group English ''
  group German $'<MSG_SCAN_COMPLETED>Suche beendet.</MSG_SCAN_COMPLETED>\r\n\t\t<FrmMain_lbltracesFoundCaption>Spuren:</FrmMain_lbltracesFoundCaption>'
  printf '</XML_DIZ_INFO>\r\n'
} >"$prog/Localization.txt"
cp "$prog/Localization.txt" "$work/Localization.orig"
expect_eq "$(run --program-dir "$prog" language list)" $'* English\n  German' "language list"
expect_eq "$(run --program-dir "$prog" language set gERMAN)" "Language set to German." "language set"
expect_eq "$(run settings get Settings Language)" "German" "stored language"
expect_eq "$(run --program-dir "$prog" language list)" $'  English\n* German' "list after set"
out=$(run --program-dir "$prog" scan --mode smart 2>/dev/null)
echo "$out" | grep -qxF 'Suche beendet.' || fail "scan summary not in German"
# A caption the language has is translated, one it lacks stays English.
echo "$out" | grep -qE '^Threats found: [0-9]+   Spuren: [0-9]+$' || fail "summary captions: $out"
run --program-dir "$prog" language set Klingon >/dev/null 2>"$work/err"
expect_eq "$?" "2" "unknown language"
grep -qF 'choose one of: English, German' "$work/err" || fail "unknown language message"
run --program-dir "$prog" language update --server http://127.0.0.1:9 >/dev/null 2>&1
expect_eq "$?" "2" "language update without a server"
cmp -s "$prog/Localization.txt" "$work/Localization.orig" || fail "failed update changed the file"
run --program-dir "$prog" language set English >/dev/null || fail "back to English"

# --- language keys: each listed key has an item in every group of the language file that
# the build puts beside the program
loc="$(dirname "$cli")/Localization.txt"
[ -f "$loc" ] || fail "no Localization.txt beside the program"
keys=$(run language keys) || fail "language keys exited $?"
groups=$(grep -c '<LANGUAGE_GROUP' "$loc")
[ "$groups" -gt 1 ] || fail "language groups: $groups"
expect_eq "$(run language list | wc -l)" "$groups" "languages found beside the program"
missing=$(echo "$keys" | while read -r k; do
  [ "$(grep -ci "<$k>" "$loc")" -eq "$groups" ] || echo "$k"
done)
expect_eq "$missing" "" "keys without an item in every language"

# --- every command has --help
for c in "info" "definitions count" "registry set" "settings get" "scan" "exclusions add" "update" \
  "report" "quarantine restore" "guard"; do
  run $c --help >/dev/null || fail "$c --help"
done

# --- submissions without a server: the problem texts, exit 2, nothing excluded
out=$(run --server http://127.0.0.1:9 submit 'a b.exe')
expect_eq "$?" "2" "submit without a server"
expect_eq "$out" "Results: There was a problem submitting a b.exe.  Please make sure you are connected to the internet, or try again later." "submit problem text"
run --server http://127.0.0.1:9 false-positive --exclude --details why 'C:\q.exe' >"$work/out"
expect_eq "$?" "2" "false-positive without a server"
grep -q '^There was an error submitting your report' "$work/out" || fail "false-positive error text"
! grep -qF 'C:\q.exe' "$data_host/ENoSignature.dat" 2>/dev/null || fail "refused report excluded"
run false-positive >/dev/null 2>&1
expect_eq "$?" "2" "false-positive without details and locations"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "all command-line checks passed"
