#!/usr/bin/env bash
# The Windows installer under Wine, as a user meets it:
# - a silent install puts the program, the sample voice, a Start-menu shortcut, the sign-in entry
#   and an uninstall entry (with its Chinese name) in place, and the installed program starts;
# - an install over a running Tonvela closes it and replaces the program; over a Tonvela that
#   does not close (stopped), it fails with a non-zero status;
# - an uninstall under a running Tonvela closes it and leaves nothing behind; under a Tonvela that
#   does not close, it fails and keeps the entry for another try;
# - /NOAUTOSTART leaves the sign-in entry out; /D= installs into a folder named in Chinese.
#
#   windows_installer_test.sh <Tonvela-<version>-setup.exe> <tonvela.exe it holds>
# Needs WINEPREFIX (Wine fixture).
set -euo pipefail

installer=$(realpath "$1")
program=$(realpath "$2")
: "${WINEPREFIX:?}"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
readonly kKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonvela'
readonly kRunKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
readonly kDefaultFolder='C:\Program Files\Tonvela'
readonly kChineseFolder='C:\程序 文件\Tonvela语音'
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

# The prefix's Unix folder for a C:\ path.
unix_dir() {
  local path=${1#C:\\}
  echo "$WINEPREFIX/drive_c/${path//\\//}"
}

# NSIS takes /D= (and the uninstaller _?=) only unquoted and last, spaces and all, but wine
# quotes any argument with a space in it when it builds the Windows command line: given as one
# argument, "/D=C:\程序 文件\..." reaches the installer in quotes and is ignored, and the default
# folder is used. Split at the spaces, the parts arrive unquoted and joined by single spaces.
folder_args() {
  local -a parts
  read -r -a parts <<<"$1$2"
  printf '%s\n' "${parts[@]}"
}

# Runs the installer silently with the given arguments; prints its exit status.
install_status() {
  local status=0
  wine "$installer" /S "$@" >/dev/null 2>&1 || status=$?
  echo "$status"
}

# Uninstalls from a folder silently, as a copy of the uninstaller run in place of it (_?=), so
# its exit status is the removal's; prints that status.
uninstall_status() {
  local folder=$1 status=0
  local -a args
  mapfile -t args < <(folder_args '_?=' "$folder")
  cp "$(unix_dir "$folder")/uninstall.exe" "$work/uninstall.exe"
  wine "$work/uninstall.exe" /S "${args[@]}" >/dev/null 2>&1 || status=$?
  rm -f "$work/uninstall.exe"
  echo "$status"
}

# reg query prints through the ANSI code page, which has no Chinese under a Western locale; an
# exported key is UTF-16 whatever the locale.
uninstall_entry() {
  local file=$work/entry.reg
  rm -f "$file"
  wine reg export "$kKey" 'Z:'"${file//\//\\}" /reg:64 >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep '"DisplayName"' || true
}

sign_in_entry() {
  wine reg query "$kRunKey" /v Tonvela 2>/dev/null | tr -d '\r' | grep -i 'tonvela\.exe' || true
}

# Starts the installed program from a folder and waits for its window; program_pid is its
# process.
start_program() {
  wine "$1\\tonvela.exe" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
  find_window --onlyvisible >/dev/null || {
    cat "$work/program.log" >&2
    fail "the installed program showed no window"
  }
}

# True once the program's process is gone, within five seconds.
program_ended() {
  for _ in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

end_program() {
  kill -CONT "$program_pid" 2>/dev/null || true
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}

# An older build in place of the installed program, told apart by a byte more at its end (the
# program still runs).
make_installed_program_old() {
  printf 'o' >>"$(unix_dir "$1")/tonvela.exe"
}

installed_program_is_new() {
  cmp -s "$(unix_dir "$1")/tonvela.exe" "$program"
}

# A stale install from an earlier run would hide what this one does.
rm -rf "$(unix_dir "$kDefaultFolder")" "$WINEPREFIX/drive_c/程序 文件" "$shortcut"
wine reg delete "$kKey" /f /reg:64 >/dev/null 2>&1 || true
wine reg delete "$kRunKey" /v Tonvela /f >/dev/null 2>&1 || true
dir=$(unix_dir "$kDefaultFolder")

echo "== silent install"
status=$(install_status)
[[ $status == 0 ]] || fail "the installer exited with status $status"
for file in tonvela.exe "语音文件.WAV" uninstall.exe; do
  [[ -f $dir/$file ]] || fail "not installed: $file"
done
cmp -s "$dir/语音文件.WAV" "$(dirname "$0")/../../resources/voice/reminder_zh.wav" ||
  fail "the installed voice differs from the sample"
[[ -f $shortcut ]] || fail "no Start-menu shortcut"
entry=$(uninstall_entry)
echo "$entry"
grep -q "Tonvela 语音提醒" <<<"$entry" || fail "no uninstall entry with the Chinese name"
run=$(sign_in_entry)
echo "sign-in entry: $run"
grep -qiF "\"$kDefaultFolder\\tonvela.exe\"" <<<"$run" || fail "no sign-in entry for the program"
echo "installed: $(du -sh "$dir" | cut -f1) in Program Files\\Tonvela"

echo "== install over a running Tonvela"
make_installed_program_old "$kDefaultFolder"
start_program "$kDefaultFolder"
echo "the installed program shows its window"
status=$(install_status)
[[ $status == 0 ]] || fail "the installer exited with status $status over a running Tonvela"
program_ended || fail "the running Tonvela was not closed"
installed_program_is_new "$kDefaultFolder" || fail "the running program was not replaced"
end_program

echo "== install over a Tonvela that does not close"
make_installed_program_old "$kDefaultFolder"
start_program "$kDefaultFolder"
kill -STOP "$program_pid"
status=$(install_status)
echo "installer status: $status"
[[ $status != 0 ]] || fail "the installer reported success but could not replace the program"
installed_program_is_new "$kDefaultFolder" && fail "a program that could not close was replaced"
end_program

echo "== uninstall under a running Tonvela"
status=$(install_status)
[[ $status == 0 ]] || fail "the installer exited with status $status"
start_program "$kDefaultFolder"
status=$(uninstall_status "$kDefaultFolder")
[[ $status == 0 ]] || fail "the uninstaller exited with status $status under a running Tonvela"
program_ended || fail "the running Tonvela was not closed"
end_program
[[ ! -e $dir ]] || fail "left behind: $(ls -A "$dir")"
[[ ! -e $shortcut ]] || fail "the Start-menu shortcut is left behind"
[[ -z $(uninstall_entry) ]] || fail "the uninstall entry is left behind"
[[ -z $(sign_in_entry) ]] || fail "the sign-in entry is left behind"

echo "== uninstall under a Tonvela that does not close"
status=$(install_status)
[[ $status == 0 ]] || fail "the installer exited with status $status"
start_program "$kDefaultFolder"
kill -STOP "$program_pid"
status=$(uninstall_status "$kDefaultFolder")
echo "uninstaller status: $status"
[[ $status != 0 ]] || fail "the uninstaller reported success but could not remove the program"
for file in tonvela.exe uninstall.exe; do
  [[ -f $dir/$file ]] || fail "$file is gone although the uninstaller failed"
done
[[ -n $(uninstall_entry) ]] || fail "the uninstall entry is gone although the program stays"
end_program
# As the list of installed apps runs it: the uninstaller copies itself away and returns at once;
# wait for it, up to ten times and more the few seconds it takes on a loaded machine.
wine "$dir/uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller exited with status $?"
deadline=$((SECONDS + 120))
while [[ -e $dir ]] && ((SECONDS < deadline)); do sleep 0.2; done
[[ ! -e $dir ]] || fail "left behind: $(ls -A "$dir")"
[[ -z $(uninstall_entry) ]] || fail "the uninstall entry is left behind"

echo "== /NOAUTOSTART, into a folder named in Chinese"
mapfile -t folder < <(folder_args '/D=' "$kChineseFolder")
status=$(install_status /NOAUTOSTART "${folder[@]}")
[[ $status == 0 ]] || fail "the installer exited with status $status"
chinese_dir=$(unix_dir "$kChineseFolder")
[[ -f $chinese_dir/tonvela.exe ]] || fail "not installed into $kChineseFolder"
[[ ! -e $dir ]] || fail "installed into the default folder instead of $kChineseFolder"
[[ -z $(sign_in_entry) ]] || fail "a sign-in entry despite /NOAUTOSTART"
status=$(uninstall_status "$kChineseFolder")
[[ $status == 0 ]] || fail "the uninstaller exited with status $status"
[[ ! -e $chinese_dir ]] || fail "left behind: $(ls -A "$chinese_dir")"
[[ -z $(uninstall_entry) ]] || fail "the uninstall entry is left behind"
rmdir "$WINEPREFIX/drive_c/程序 文件"

echo "PASS: installed, upgraded and uninstalled, around a running Tonvela too"
