#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian packages from a built tree, unpacks them into a temporary root and runs the
# installed programs there: what a user gets from the package must work without the build tree.
# Then holds them to Debian's standard: lintian, hardening-check, identical archives from two runs.
# usage: package_test.sh BUILD_DIR DEBIAN_VERSION BUILD_TYPE
set -euo pipefail
build=$1
version=$2
build_type=$3
upstream=${version%-*}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Two runs with the same SOURCE_DATE_EPOCH must give the same bytes.
export SOURCE_DATE_EPOCH=1700000000
for run in 1 2; do
    cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out$run" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack"; }
done
arch=$(dpkg --print-architecture)
main="$work/out1/halyard_${version}_${arch}.deb"
sim="$work/out1/halyard-sim370_${version}_${arch}.deb"
[ -f "$main" ] || fail "no $(basename "$main") among: $(ls "$work/out1")"
[ -f "$sim" ] || fail "no $(basename "$sim")"
for deb in "$main" "$sim"; do
    cmp "$deb" "$work/out2/$(basename "$deb")" || fail "two runs made different $(basename "$deb")"
    [[ $(ar t "$deb") == *data.tar.xz* ]] || fail "$(basename "$deb") is not compressed with xz: $(ar t "$deb")"
done
dpkg-deb --fsys-tarfile "$main" | TZ=UTC tar -tv --full-time | grep -v -q " 2023-11-14 22:13:20 " &&
    fail "file times are not SOURCE_DATE_EPOCH's"

# The dependencies: the programs' shared libraries, and what they run.
depends=$(dpkg-deb -f "$main" Depends)
for dep in libc6 libstdc++6 libqt6widgets6 adwaita-icon-theme; do
    [[ $depends == *"$dep"* ]] || fail "halyard's Depends lacks $dep: $depends"
done
sim_depends=$(dpkg-deb -f "$sim" Depends)
[[ $sim_depends == *"halyard (= $version)"* ]] || fail "halyard-sim370 does not depend on halyard"
[[ $sim_depends =~ (^|, )gcc(,|$) ]] || fail "halyard-sim370 does not depend on gcc (cl370 runs it): $sim_depends"
# The stand-in stays out of the main package.
! dpkg-deb -c "$main" | grep -q -e cl370 -e halyard-sample || fail "the stand-in is in the main package"

root="$work/root"
dpkg-deb -x "$main" "$root"
dpkg-deb -x "$sim" "$root"
for f in usr/bin/halyard usr/bin/halyard-build usr/bin/halyard-batch usr/bin/halyard-help-reader usr/bin/halyard-sample \
         usr/libexec/halyard-sim370/cl370 usr/share/applications/org.orlin.halyard.desktop \
         usr/share/metainfo/org.orlin.halyard.metainfo.xml usr/share/mime/packages/org.orlin.halyard.xml \
         usr/share/icons/hicolor/scalable/apps/org.orlin.halyard.svg \
         usr/share/icons/hicolor/48x48/apps/org.orlin.halyard.png \
         usr/share/man/man1/halyard.1.gz usr/share/man/man1/halyard-build.1.gz \
         usr/share/man/man1/halyard-batch.1.gz usr/share/man/man1/halyard-sample.1.gz \
         usr/share/halyard/halyard.chm; do
    [ -e "$root/$f" ] || fail "the packages do not install /$f"
done
for p in halyard halyard-sim370; do
    doc="$root/usr/share/doc/$p"
    for f in copyright changelog.gz changelog.Debian.gz; do
        [ -f "$doc/$f" ] || fail "$p has no /usr/share/doc/$p/$f"
    done
    zcat "$doc/changelog.Debian.gz" >"$work/changelog"
    latest=$(dpkg-parsechangelog -l "$work/changelog" -S Version) || fail "$p's Debian changelog does not parse"
    [ "$latest" = "$version" ] || fail "$p's Debian changelog is at $latest, the package at $version"
done

# A double-click on a project reaches Halyard: *.prj is our type, and the desktop entry opens it.
mime="$work/mime"
cp -r "$root/usr/share/mime" "$mime"
update-mime-database "$mime" 2>"$work/mime.log" || { cat "$work/mime.log"; fail "update-mime-database"; }
grep -q ":application/x-halyard-project:\*\.prj$" "$mime/globs2" || fail "*.prj is not a Halyard project"
grep -q "^MimeType=application/x-halyard-project;$" "$root/usr/share/applications/org.orlin.halyard.desktop" ||
    fail "the desktop entry does not open projects"

# The installed programs, in a home of their own so no user's settings or drives are touched, and
# without a display.
export HOME="$work/home" PATH="$root/usr/bin:$PATH"
unset XDG_CONFIG_HOME XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$HOME"
for p in halyard halyard-build halyard-batch halyard-help-reader halyard-sample; do
    out=$("$root/usr/bin/$p" --version) || fail "$p --version"
    [ "$(head -n 1 <<<"$out")" = "$p $upstream" ] || fail "$p --version printed '$out'"
    grep -q "^License GPLv3+" <<<"$out" || fail "$p --version names no licence"
    out=$("$root/usr/bin/$p" --help) || fail "$p --help"
    wide=$(awk 'length > 80' <<<"$out")
    [ -z "$wide" ] || fail "$p --help is wider than 80 columns: $wide"
done
status=0
out=$("$root/usr/bin/halyard" 2>&1) || status=$?
[ $status -eq 1 ] && [[ $out == *"xvfb-run"* ]] || fail "halyard without a display: exit $status, '$out'"

"$root/usr/bin/halyard-sample" --if-fresh >"$work/sample.log" || { cat "$work/sample.log"; fail "halyard-sample"; }
summary=$("$root/usr/bin/halyard-build" summary 'C:\Halyard\demo\demo.prj') || fail "halyard-build summary"
[[ $summary == *"demo"* ]] || fail "the summary does not name the demo project: $summary"
build_out=$("$root/usr/bin/halyard-build" build 'C:\Halyard\demo\demo.prj') || { echo "$build_out"; fail "halyard-build build"; }
verdict=$(grep -E "^(Created|Updated) " <<<"$build_out") || { echo "$build_out"; fail "no verdict"; }

# Every program is hardened. Control-flow protection is left out: Debian 12's start files and
# libgcc lack it, so no program linked there carries it. _FORTIFY_SOURCE needs an optimised build,
# and whether a program keeps a checked call depends on what the compiler could prove about its
# buffers: halyard-batch and halyard-help-reader, built with it, have none left for
# hardening-check to find. So each program is checked without that test, and a Release build must
# show checked calls in at least one program, which only the flag gives.
fortified=()
for elf in $(find "$root/usr/bin" "$root/usr/libexec" -type f | sort); do
    hardening-check --quiet --nocfprotection --nofortify "$elf" || fail "hardening-check $(basename "$elf")"
    if hardening-check --nocfprotection "$elf" | grep -q "Fortify Source functions: yes"; then
        fortified+=("$(basename "$elf")")
    fi
done
if [ "$build_type" = "Release" ] && [ ${#fortified[@]} -eq 0 ]; then
    fail "hardening-check: no program carries a checked (fortified) libc call; is _FORTIFY_SOURCE set?"
fi
echo "fortified calls in: ${fortified[*]:-none}"

# lintian: errors and warnings fail; informational and pedantic tags are listed.
lintian --pedantic --display-info --fail-on error,warning "$main" "$sim" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian"; }
sed 's/^/lintian: /' "$work/lintian.log"
echo "packages: $(basename "$main") $(basename "$sim"); installed build: $verdict"
