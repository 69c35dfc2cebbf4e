#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package from the release build into WORK and checks it without installing it: its
# name, control fields and dependencies, its files and their modes, lintian, the AppStream metadata
# against the desktop entry and the changelog, and the programs run from the unpacked tree.
#   package_test.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION
set -euo pipefail
export LC_ALL=C
build=$1 source=$2 work=$3 version=$4
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
# Made under a strict umask, which must not reach the modes in the package.
(umask 077 && cpack --config "$build/CPackConfig.cmake" -B "$work") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
arch=$(dpkg --print-architecture)
deb="$work/kelvora_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work" >&2; echo "FAIL: no $deb" >&2; exit 1; }
root="$work/root"
dpkg-deb -x "$deb" "$root"

# Control fields: the version, maintainer and date of the release come from the changelog as dpkg
# itself reads it.
changelog="$source/res/debian/changelog"
[ "$(dpkg-parsechangelog -l "$changelog" -S Version)" = "$version" ] ||
  fail "the newest changelog entry is not version $version"
declare -A fields=(
  [Package]=kelvora [Version]="$version" [Architecture]="$arch" [Section]=science [Priority]=optional
  [Maintainer]="$(dpkg-parsechangelog -l "$changelog" -S Maintainer)"
)
for field in "${!fields[@]}"; do
  value=$(dpkg-deb -f "$deb" "$field")
  [ "$value" = "${fields[$field]}" ] || fail "$field is '$value', not '${fields[$field]}'"
done
description=$(dpkg-deb -f "$deb" Description)
[ "$(wc -l <<<"$description")" -ge 4 ] || fail "the description has no long text: $description"

# Depends: every library a program links, through the package that holds it, with a lowest version
# (as dpkg-shlibdeps writes it), and the font that fontconfig is asked for.
depends=", $(dpkg-deb -f "$deb" Depends),"
[[ $depends == *", fonts-dejavu-core,"* ]] || fail "Depends lacks fonts-dejavu-core: $depends"
for program in "$root"/usr/bin/*; do
  for soname in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
    found=no
    for package in $(dpkg -S "*/$soname" 2>/dev/null | sed 's/[:,].*//' | sort -u); do
      [[ $depends == *", $package (>= "* ]] && found=yes
    done
    [ $found = yes ] || fail "Depends names no versioned package holding $soname (${program##*/}): $depends"
  done
done

# apt accepts the package with what this machine has (a simulation: nothing is installed).
apt-get -s install "$deb" >"$work/apt.log" 2>&1 && grep -q "^Inst kelvora ($version " "$work/apt.log" ||
  { cat "$work/apt.log" >&2; fail "apt-get -s install"; }

# Files: exactly these, owned by root, programs 0755 and the rest 0644; no maintainer scripts and no
# conffiles, so removing the package removes every file it brought.
expected=(
  usr/bin/kelvora usr/bin/kelvora-fit usr/bin/kelvora-replay
  usr/share/applications/kelvora.desktop
  usr/share/doc/kelvora/changelog.gz usr/share/doc/kelvora/copyright
  usr/share/icons/hicolor/{32x32,48x48,128x128,256x256}/apps/kelvora.png
  usr/share/icons/hicolor/scalable/apps/kelvora.svg
  usr/share/man/man1/{kelvora,kelvora-fit,kelvora-replay}.1.gz
  usr/share/metainfo/invalid.kelvora.kelvora.metainfo.xml
)
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) >&2 ||
  fail "the package's files differ from the list above (< expected, > packed)"
while read -r mode owner _ _ _ path; do
  path=${path#./}
  case $mode in
    d*) want=drwxr-xr-x ;;
    *) [[ $path == usr/bin/* ]] && want=-rwxr-xr-x || want=-rw-r--r-- ;;
  esac
  [ "$mode" = "$want" ] && [ "$owner" = root/root ] || fail "$path is $mode $owner"
done < <(dpkg-deb -c "$deb")
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort | tr '\n' ' ')" = "./control ./md5sums " ] ||
  fail "the control archive holds more than control and md5sums"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./md5sums >"$work/md5sums"
(cd "$root" && md5sum --quiet -c "$work/md5sums") >&2 || fail "md5sums do not match the files"
for page in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/kelvora/changelog.gz; do
  gzip -t "$page" || fail "${page#"$root"/} is not a gzip file"
done

# lintian: no error, no warning, no informational tag (a hardening flag lost, a section left unstripped).
lintian --display-info --fail-on error,warning,info "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian"; }

# AppStream: the tree validates (the metainfo and the desktop file it launches); the metainfo names the
# packaged programs, the changelog's newest release with its date, and the README's picture at its size.
metainfo="$root/usr/share/metainfo/invalid.kelvora.kelvora.metainfo.xml"
appstreamcli validate-tree --pedantic --no-net "$root" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "appstreamcli validate-tree"; }
binaries=$(grep -o '<binary>[^<]*</binary>' "$metainfo" | sed 's/<[^>]*>//g' | sort | tr '\n' ' ')
[ "$binaries" = "$(ls "$root/usr/bin" | tr '\n' ' ')" ] || fail "the metainfo provides '$binaries'"
date=$(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F)
grep -q "<release version=\"$version\" date=\"$date\"/>" "$metainfo" || fail "the metainfo lacks release $version of $date"
categories=$(grep -o '<category>[^<]*</category>' "$metainfo" | sed 's/<[^>]*>//g' | tr '\n' ';')
grep -qx "Categories=$categories" "$root/usr/share/applications/kelvora.desktop" ||
  fail "the metainfo's categories $categories differ from the desktop entry's"
image=$(grep -o '<image [^>]*>[^<]*</image>' "$metainfo")
picture=$(sed -n 's|.*/\(docs/screens/[^<]*\)</image>|\1|p' <<<"$image")
if [ -z "$picture" ] || [ ! -f "$source/$picture" ]; then
  fail "the screenshot is no picture of docs/screens: $image"
else
  size=$(file -b "$source/$picture" | grep -o '[0-9]* x [0-9]*')
  [[ $image == *"width=\"${size% x *}\" height=\"${size#* x }\""* ]] || fail "$picture is $size, the metainfo says $image"
fi

# The licence: GPL-3+ for every file in the copyright file, with the short notice pointing at the
# system's copy of the text, and the same licence in the metainfo.
copyright="$root/usr/share/doc/kelvora/copyright"
[ "$(grep -c '^License: GPL-3+$' "$copyright")" = 2 ] && grep -q '^Files: \*$' "$copyright" &&
  grep -q '"/usr/share/common-licenses/GPL-3"' "$copyright" || fail "the copyright file does not grant GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "the metainfo names no project licence"

# The programs, from the unpacked tree.
for program in kelvora kelvora-fit kelvora-replay; do
  out=$("$root/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$out" = "$program $version"$'\n'"License GPL-3.0-or-later: GNU GPL version 3 or later" ] ||
    fail "$program --version printed '$out'"
done
out=$("$root/usr/bin/kelvora-fit" "$source/examples/line.dat") || fail "kelvora-fit on line.dat failed"
grep -qx 'A=2.11019' <<<"$out" && grep -qx 'B=0.479301' <<<"$out" || fail "kelvora-fit on line.dat printed: $out"

[ $failures -eq 0 ] || { echo "$failures checks failed" >&2; exit 1; }
echo "$deb: all checks passed"
