#!/usr/bin/env bash
# The Windows installer under Wine: a silent install puts the program, the sample voice, a
# Start-menu shortcut and an uninstall entry (with its Chinese name) in place; the installed
# program starts and shows its window; a silent uninstall leaves nothing behind.
#
#   windows_installer_test.sh <Tonvela-<version>-setup.exe>
# Needs WINEPREFIX (Wine fixture).
set -euo pipefail

installer=$(realpath "$1")
: "${WINEPREFIX:?}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
readonly kKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonvela'
dir="$WINEPREFIX/drive_c/Program Files/Tonvela"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tonvela.lnk"

source "$(dirname "$0")/../support/e2e.sh"
e2e_scratch
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DISPLAY=$("$(dirname "$0")/../support/wine_env.sh" display "$WINEPREFIX") ||
  fail "the Wine prefix has no display"
export DISPLAY

# reg query prints through the ANSI code page, which has no Chinese under a Western locale; an
# exported key is UTF-16 whatever the locale.
uninstall_entry() {
  local file=$work/entry.reg
  rm -f "$file"
  wine reg export "$kKey" 'Z:'"${file//\//\\}" /reg:64 >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep '"DisplayName"' || true
}

# A stale install from an earlier run would hide what this one does.
rm -rf "$dir" "$shortcut"
wine reg delete "$kKey" /f /reg:64 >/dev/null 2>&1 || true

wine "$installer" /S >/dev/null 2>&1 || fail "the installer exited with status $?"
for file in tonvela.exe "语音文件.WAV" uninstall.exe; do
  [[ -f $dir/$file ]] || fail "not installed: $file"
done
cmp -s "$dir/语音文件.WAV" "$(dirname "$0")/../../resources/voice/reminder_zh.wav" ||
  fail "the installed voice differs from the sample"
[[ -f $shortcut ]] || fail "no Start-menu shortcut"
entry=$(uninstall_entry)
echo "$entry"
grep -q "Tonvela 语音提醒" <<<"$entry" || fail "no uninstall entry with the Chinese name"
echo "installed: $(du -sh "$dir" | cut -f1) in Program Files\\Tonvela"

# The installed program starts from its own folder's copy and shows its window.
wine "C:\\Program Files\\Tonvela\\tonvela.exe" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
window=$(find_window --onlyvisible) || { cat "$work/program.log" >&2; fail "the installed program showed no window"; }
echo "the installed program shows its window"
# Only this program ends: the Wine server is shared with the other tests.
kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true

# The uninstaller copies itself to the temporary folder and returns at once; wait for it, up to
# ten times and more the few seconds it takes on a loaded machine.
wine "$dir/uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller exited with status $?"
deadline=$((SECONDS + 120))
while [[ -e $dir ]] && ((SECONDS < deadline)); do sleep 0.2; done
[[ ! -e $dir ]] || fail "left behind: $(ls -A "$dir")"
[[ ! -e $shortcut ]] || fail "the Start-menu shortcut is left behind"
[[ -z $(uninstall_entry) ]] || fail "the uninstall entry is left behind"
echo "PASS: installed, started and uninstalled without a trace"
