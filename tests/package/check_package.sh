#!/usr/bin/env bash
# Builds the Debian package from a built tree with CPack and holds it to the distribution's own
# checks (lintian, desktop-file-validate, appstreamcli, hardening-check), then unpacks it into a
# throwaway root and checks what lands where. Every finding is reported; any finding fails.
# Usage: check_package.sh <build dir> <source dir>
set -euo pipefail

build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tonvela-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

findings=0
finding() {
  echo "FINDING: $*" >&2
  findings=$((findings + 1))
}

# AppStream's pedantic notes this package accepts, each with its reason.
declare -A appstream_accepted=(
  # The id is the reverse-DNS name the sound stream and the desktop entry already announce;
  # lower-casing it would make the three disagree.
  [cid-contains-uppercase-letter]=1
)

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "cpack failed" >&2
  exit 1
fi
deb=$(echo "$work"/out/tonvela_*.deb)
[[ -f $deb ]] || { echo "cpack made no tonvela_*.deb" >&2; exit 1; }
root=$work/root
dpkg-deb -x "$deb" "$root"
echo "package: $(basename "$deb")"

# lintian: errors and warnings fail, unless the package's own override file names the tag. An
# override that no longer matches anything is stale and fails too, as does one without a reason.
lintian_status=0
lintian --fail-on error,warning --display-info --show-overrides --no-tag-display-limit "$deb" \
  >"$work/lintian.log" 2>/dev/null || lintian_status=$?
cat "$work/lintian.log"
((lintian_status == 0)) || finding "lintian exit status $lintian_status"
if grep -E '^[EWI]: tonvela: (unused|mismatched)-override' "$work/lintian.log" >/dev/null; then
  finding "lintian overrides that match nothing"
fi
overrides=$root/usr/share/lintian/overrides/tonvela
if [[ -f $overrides ]]; then
  previous=""
  while IFS= read -r line; do
    if [[ -n $line && $line != \#* && $previous != \#* ]]; then
      finding "lintian override without a reason on the line above: $line"
    fi
    previous=$line
  done <"$overrides"
fi

# The desktop entry: desktop-file-validate prints nothing for a clean file, hints included.
desktop_files=("$root"/usr/share/applications/*.desktop)
((${#desktop_files[@]} == 1)) || finding "expected one desktop entry, found ${#desktop_files[@]}"
desktop=${desktop_files[0]}
validate_output=$(desktop-file-validate "$desktop" 2>&1) || finding "desktop-file-validate failed"
[[ -z $validate_output ]] || finding "desktop-file-validate: $validate_output"

# AppStream metainfo, pedantic, without network look-ups of the screenshot and home page.
metainfo_files=("$root"/usr/share/metainfo/*.metainfo.xml)
((${#metainfo_files[@]} == 1)) || finding "expected one metainfo file, found ${#metainfo_files[@]}"
metainfo=${metainfo_files[0]}
appstream_output=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1) ||
  finding "appstreamcli validate failed"
echo "$appstream_output"
while read -r severity _ tag _; do
  [[ $severity =~ ^[EWIP]:$ ]] || continue
  [[ -n ${appstream_accepted[$tag]:-} ]] || finding "appstreamcli: $severity $tag"
done <<<"$appstream_output"

# Hardening of the shipped (stripped) program: every item yes, except two that hardening-check
# cannot show for any program built on Debian 12; for those the compiler's own record of each
# file's options (DW_AT_producer in the build tree's unstripped copy) must name the flag.
declare -A hardening_accepted=(
  # Probes are emitted only for stack frames larger than a page; this program has none, so
  # there is no probe loop to find.
  ["Stack clash protection"]="unknown, no -fstack-clash-protection instructions found"
  # Debian 12's glibc start files (Scrt1.o, crti.o, crtn.o) carry no IBT/SHSTK note, so the
  # linker leaves the mark off every program; forcing it (-z ibt) would mark _init, which has
  # no endbr64.
  ["Control flow integrity"]="no, not found! (ignored)"
)
program=$root/usr/bin/tonvela
hardening_output=$(hardening-check --nocfprotection "$program" 2>&1) ||
  finding "hardening-check failed"
echo "$hardening_output"
while IFS= read -r line; do
  item=${line%%:*}
  item=${item#"${item%%[! ]*}"}
  value=${line#*: }
  [[ $value == yes* || ${hardening_accepted[$item]:-} == "$value" ]] ||
    finding "hardening-check: $item: $value"
done < <(tail -n +2 <<<"$hardening_output" | grep ': ')
readelf --debug-dump=info "$build/bin/tonvela" >"$work/dwarf.txt"
unhardened=$(awk '
  /DW_TAG_compile_unit/ { unit = 1; producer = ""; next }
  unit && /DW_AT_producer/ { producer = $0 }
  unit && /DW_AT_name/ {
    if (producer !~ /-fstack-clash-protection/ || producer !~ /-fcf-protection/) print $NF
    unit = 0
  }' "$work/dwarf.txt" | paste -sd ' ')
[[ -z $unhardened ]] || finding "compiled without stack clash or CET protection: $unhardened"
grep -q DW_TAG_compile_unit "$work/dwarf.txt" || finding "no debug record to read the flags from"

# Layout: nothing but the program in bin/, its data under share/.
bin_entries=$(ls -A "$root/usr/bin")
[[ $bin_entries == tonvela ]] || finding "usr/bin holds: $(echo "$bin_entries" | tr '\n' ' ')"
voice=$root/usr/share/tonvela/语音文件.WAV
if [[ ! -f $voice ]]; then
  finding "usr/share/tonvela/语音文件.WAV is missing"
elif ! cmp -s "$voice" "$source/resources/voice/reminder_zh.wav"; then
  finding "usr/share/tonvela/语音文件.WAV is not the sample voice"
fi

# The names that tie the desktop together: the program announces the desktop id (Wayland
# compositors find the entry, and through it the icon, by that id); the metainfo launches that
# entry; the entry's Icon= exists in every size, each image of the size its folder says.
desktop_id=$(basename "$desktop" .desktop)
# The id is in the program as UTF-8 text (from platform/program_identity.h) or UTF-16 (Qt).
texts=$(strings "$program"; strings -e l "$program")
grep -qxF "$desktop_id" <<<"$texts" ||
  finding "the program does not set its desktop file name to $desktop_id"
[[ $(basename "$metainfo") == "$desktop_id.metainfo.xml" ]] ||
  finding "metainfo file $(basename "$metainfo") does not match the desktop id $desktop_id"
grep -qF "<launchable type=\"desktop-id\">$desktop_id.desktop</launchable>" "$metainfo" ||
  finding "metainfo does not launch $desktop_id.desktop"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
  if [[ ! -f $png ]]; then
    finding "icon $icon missing at ${size}x${size}"
  elif [[ $(file -b "$png") != "PNG image data, $size x $size,"* ]]; then
    finding "icon $icon in ${size}x${size} is $(file -b "$png")"
  fi
done
[[ -f $root/usr/share/icons/hicolor/scalable/apps/$icon.svg ]] ||
  finding "scalable icon $icon.svg missing"

# What the program loads at run time without linking it: the Qt platform plugins for X11 and
# Wayland must come from packages the package depends on.
depends=$(dpkg-deb -f "$deb" Depends)
for plugin in libqxcb.so libqwayland-generic.so; do
  owner=$(dpkg-query -S "*/qt6/plugins/platforms/$plugin" 2>/dev/null | cut -d: -f1 | head -n 1)
  if [[ -z $owner ]]; then
    finding "no installed package provides the Qt platform plugin $plugin to compare against"
  elif ! grep -qE "(^|[ ,|])$owner([ ,(|]|$)" <<<"$depends"; then
    finding "Depends lacks $owner (the Qt platform plugin $plugin): $depends"
  fi
done

# The changelog's newest entry is the version being packaged.
zcat "$root/usr/share/doc/tonvela/changelog.gz" >"$work/changelog"
changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version)
package_version=$(dpkg-deb -f "$deb" Version)
[[ $changelog_version == "$package_version" ]] ||
  finding "changelog's newest entry is $changelog_version, the package is $package_version"

echo "findings: $findings"
((findings == 0))
