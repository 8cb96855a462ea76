#!/usr/bin/env bash
# Installs orbantis-setup.exe silently in a Wine prefix, first for all users, then for
# the current user, and checks what each installation writes and what its removal
# leaves behind.
#
# Usage: tests/windows/check_installer.sh BUILD
#
# BUILD holds orbantis-setup.exe (packaging/windows/orbantis.nsi built with the real
# orbantis.exe). The environment names the prefix:
#   WINEPREFIX          a prepared prefix (wineboot done; a running wineserver makes
#                       each step fast) in which ORBANTIS is neither installed nor
#                       registered
#   WINE                the wine program (default: wine)
#   WINEDLLOVERRIDES    default "mscoree,mshtml=" (no Mono or Gecko prompts)
#   WINEDEBUG           default "-all"
#
# For each mode: the installer ends with status 0; its Add/Remove Programs entry (HKLM
# or HKCU) names the folder, which is the mode's default place and holds the files; the
# class root of that mode (HKLM\Software\Classes or HKCU\Software\Classes) has the
# ProgID, its CLSID, the class's ProgID, LocalServer32 (the installed orbantis.exe) and
# TypeLib keys, and the type library's own key and interfaces; the other root has no
# ProgID. Then the uninstaller ends with status 0, and the folder, the entry and every
# key above are gone from both roots.
#
# The identifiers are read, not written here: the CLSID from the ProgID's CLSID key, the
# type library's from the class's TypeLib key, the interfaces from the keys that name
# that library.
#
# One line per check, "ok ..." or "FAIL ..."; the last line is "N passed, M failed".
# Exit status: 0 all passed, 1 a check failed, 2 it could not run.
set -uo pipefail

readonly PROG_ID=ORBANTIS.KELMORA
readonly UNINSTALL_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\ORBANTIS'
readonly GUID='^\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}$'

if [[ $# -ne 1 ]]; then
  sed -n '2,/^set /{/^set /d;s/^# \{0,1\}//;p}' "$0" >&2
  exit 2
fi
setup="$1/orbantis-setup.exe"
if [[ ! -f $setup ]]; then
  echo "check_installer.sh: no $setup" >&2
  exit 2
fi
if [[ -z ${WINEPREFIX:-} || ! -d $WINEPREFIX/drive_c ]]; then
  echo "check_installer.sh: WINEPREFIX must name a prepared Wine prefix" >&2
  exit 2
fi
wine=${WINE:-wine}
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}" WINEDEBUG="${WINEDEBUG--all}"

work="$(mktemp -d /tmp/orbantis-installer-XXXXXX)"
trap 'rm -rf "$work"' EXIT
work_windows=$("$wine" winepath -w "$work" 2>/dev/null | tr -d '\r')

passed=0
failed=0
ok() { echo "ok $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
check() { # check CONDITION-STATUS TEXT [WHY]
  if (($1 == 0)); then ok "$2"; else fail "$2${3:+: $3}"; fi
}

# reg_value KEY [NAME]: prints the data of the key's default value (or of NAME);
# fails when the key or the value is missing. reg.exe prints
# "    NAME    REG_SZ    DATA" with CR LF.
reg_value() {
  local out
  if [[ $# -eq 2 ]]; then
    out=$("$wine" reg query "$1" /v "$2" 2>/dev/null) || return 1
  else
    out=$("$wine" reg query "$1" /ve 2>/dev/null) || return 1
  fi
  out=$(printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1)
  printf '%s\n' "$out"
}
reg_key() { "$wine" reg query "$1" >/dev/null 2>&1; }

# interfaces ROOT LIBID: the interface ids whose TypeLib key names LIBID. An export is
# read, not reg query /s: printing the thousands of keys of HKLM takes wine seconds.
interfaces() {
  rm -f "$work/interfaces.reg"
  "$wine" reg export "$1\\Software\\Classes\\Interface" "$work_windows\\interfaces.reg" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$work/interfaces.reg" | tr -d '\r' |
    awk -v lib="$2" '
      /^\[/ { key = toupper($0); next }
      index(toupper($0), "@=\"" toupper(lib) "\"") == 1 && key ~ /\\TYPELIB\]$/ {
        n = split(key, part, "\\"); print part[n - 1]
      }'
}

# unix_path WINDOWS-PATH
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
lower() { printf '%s' "$1" | tr '[:upper:]' '[:lower:]'; }

# The program of a LocalServer32 command line: quoted, or up to the first blank.
command_program() {
  local line=$1
  if [[ $line == \"* ]]; then
    line=${line#\"}
    printf '%s' "${line%%\"*}"
  else
    printf '%s' "${line%% *}"
  fi
}

# --------------------------------------------------------------- a clean prefix first

for root in HKLM HKCU; do
  if reg_key "$root\\Software\\Classes\\$PROG_ID" || reg_key "$root\\$UNINSTALL_KEY"; then
    echo "check_installer.sh: $PROG_ID or the ORBANTIS entry is already in $root of $WINEPREFIX;" \
      "this check needs a prefix without them (uninstall, or orbantis.exe /UnregServer[PerUser])" >&2
    echo "$passed passed, 1 failed"
    exit 2
  fi
done

program_files=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir)
local_appdata=$(reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' 'Local AppData')

# --------------------------------------------------------------- one mode

# run_mode NAME SWITCH ROOT OTHER-ROOT EXPECTED-FOLDER
run_mode() {
  local name=$1 switch=$2 root=$3 other=$4 expected=$5
  local classes="$root\\Software\\Classes"
  local status folder dir clsid server libid file iids iid

  echo "== $name: orbantis-setup.exe /S $switch"
  "$wine" "$setup" /S "$switch" >"$work/setup.out" 2>&1
  status=$?
  check "$status" "$name: the installer ends with status 0" "status $status"

  folder=$(reg_value "$root\\$UNINSTALL_KEY" InstallLocation)
  if [[ -z $folder ]]; then
    fail "$name: Add/Remove Programs entry in $root with InstallLocation"
    return
  fi
  ok "$name: Add/Remove Programs entry in $root with InstallLocation $folder"
  [[ $(reg_value "$root\\$UNINSTALL_KEY" DisplayName) == ORBANTIS &&
    $(reg_value "$root\\$UNINSTALL_KEY" UninstallString) == *uninstall.exe* ]]
  check $? "$name: the entry has DisplayName ORBANTIS and an UninstallString"
  [[ -n $expected && $(lower "$folder") == "$(lower "$expected")" ]]
  check $? "$name: installed in $expected" "in $folder"

  dir=$(unix_path "$folder")
  local missing=()
  for file in orbantis.exe orbantis-cli.exe uninstall.exe README.md LICENSE.txt examples/receipt.vbs examples/whole_receipt.vbs; do
    [[ -n $dir && -f $dir/$file ]] || missing+=("$file")
  done
  check ${#missing[@]} "$name: the folder holds the server, the client, the uninstaller, the texts and the examples" \
    "missing ${missing[*]}"

  clsid=$(reg_value "$classes\\$PROG_ID\\CLSID")
  [[ $clsid =~ $GUID ]]
  check $? "$name: $classes\\$PROG_ID\\CLSID names the class ($clsid)"
  if ! [[ $clsid =~ $GUID ]]; then return; fi
  reg_key "$classes\\CLSID\\$clsid"
  check $? "$name: $classes\\CLSID\\$clsid"
  [[ $(reg_value "$classes\\CLSID\\$clsid\\ProgID") == "$PROG_ID" ]]
  check $? "$name: the class's ProgID is $PROG_ID"

  server=$(reg_value "$classes\\CLSID\\$clsid\\LocalServer32")
  file=$(unix_path "$(command_program "$server")")
  [[ -n $file && -n $dir && $file -ef $dir/orbantis.exe ]]
  check $? "$name: LocalServer32 starts the installed orbantis.exe ($server)" "it names $file"

  libid=$(reg_value "$classes\\CLSID\\$clsid\\TypeLib")
  [[ $libid =~ $GUID ]]
  check $? "$name: the class's TypeLib names the type library ($libid)"
  if [[ $libid =~ $GUID ]]; then
    if reg_key "$classes\\TypeLib\\$libid"; then
      "$wine" reg query "$classes\\TypeLib\\$libid" /s 2>/dev/null | tr -d '\r' | grep -qi 'orbantis\.exe'
      check $? "$name: $classes\\TypeLib\\$libid points at orbantis.exe"
    elif reg_key "$other\\Software\\Classes\\TypeLib\\$libid"; then
      fail "$name: $classes\\TypeLib\\$libid: the type library went to $other instead"
    else
      fail "$name: $classes\\TypeLib\\$libid"
    fi
    iids=$( (interfaces "$root" "$libid"; interfaces "$other" "$libid") | sort -u | tr '\n' ' ')
    [[ -n $iids ]]
    check $? "$name: the type library's interfaces are registered (${iids% })"
  fi

  ! reg_key "$other\\Software\\Classes\\$PROG_ID"
  check $? "$name: nothing of $PROG_ID in $other"

  # The uninstaller copies itself to %TEMP% and returns at once; run such a copy
  # ourselves with _?= and wait for it. _?= takes the rest of the line unquoted, and
  # wine quotes an argument with a blank: give the folder in its short form.
  echo "== $name: uninstall.exe /S"
  local short
  short=$("$wine" winepath -s "$folder" 2>/dev/null | tr -d '\r')
  mkdir -p "$work/$name"
  cp "$dir/uninstall.exe" "$work/$name/uninstall.exe" 2>/dev/null
  "$wine" "$work/$name/uninstall.exe" /S "_?=${short:-$folder}" >"$work/uninstall.out" 2>&1
  status=$?
  check "$status" "$name: the uninstaller ends with status 0" "status $status"

  [[ -n $dir && ! -e $dir ]]
  check $? "$name: the folder is gone" "$(ls -A "$dir" 2>/dev/null | tr '\n' ' ')left"
  ! reg_key "$root\\$UNINSTALL_KEY"
  check $? "$name: the Add/Remove Programs entry is gone"
  local left=()
  for r in "$root" "$other"; do
    reg_key "$r\\Software\\Classes\\$PROG_ID" && left+=("$r ProgID")
    reg_key "$r\\Software\\Classes\\CLSID\\$clsid" && left+=("$r CLSID\\$clsid")
    if [[ $libid =~ $GUID ]]; then
      reg_key "$r\\Software\\Classes\\TypeLib\\$libid" && left+=("$r TypeLib\\$libid")
      for iid in $iids; do
        reg_key "$r\\Software\\Classes\\Interface\\$iid" && left+=("$r Interface\\$iid")
      done
    fi
  done
  check ${#left[@]} "$name: no ProgID, class, type library or interface key is left" "${left[*]}"
}

run_mode "all users" /AllUsers HKLM HKCU "${program_files:+$program_files\\ORBANTIS}"
run_mode "current user" /CurrentUser HKCU HKLM "${local_appdata:+$local_appdata\\Programs\\ORBANTIS}"

echo "$passed passed, $failed failed"
((failed == 0))
