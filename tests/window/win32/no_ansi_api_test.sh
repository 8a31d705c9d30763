#!/usr/bin/env bash
# Our code calls only the wide-character Windows API: an ANSI call (sndPlaySoundA, CreateFileA,
# MessageBoxA...) passes text through the system code page, which on a Western Windows cannot
# hold "语音文件.WAV" or the window's Chinese texts. Fails on any import of an ...A function from
# our own libraries and objects (the static mingw runtime is not ours and is not looked at).
#
#   no_ansi_api_test.sh <nm> <library or object>...
set -euo pipefail
nm=$1
shift
files=()
for file in "$@"; do
  [[ $file == *.res ]] || files+=("$file") # compiled resources hold no code
done
found=$("$nm" --undefined-only "${files[@]}" | awk '$2 ~ /^__imp_[A-Za-z0-9]+[a-z0-9]A$/ {print $2}' | sort -u)
if [[ -n $found ]]; then
  echo "ANSI Windows functions called:" >&2
  echo "$found" >&2
  exit 1
fi
echo "no ANSI Windows function in: $(basename -a "${files[@]}" | tr '\n' ' ')"
