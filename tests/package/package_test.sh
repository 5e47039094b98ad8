#!/usr/bin/env bash
# Makes the Debian packages from a built tree, unpacks them into a temporary root and runs the
# installed programs there: what a user gets from the package must work without the build tree.
# usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
arch=$(dpkg --print-architecture)
main="$work/out/halyard_${version}_${arch}.deb"
sim="$work/out/halyard-sim370_${version}_${arch}.deb"
[ -f "$main" ] || fail "no $(basename "$main") among: $(ls "$work/out")"
[ -f "$sim" ] || fail "no $(basename "$sim")"

# The dependencies are computed from the programs' shared libraries.
depends=$(dpkg-deb -f "$main" Depends)
for lib in libc6 libstdc++6 libqt6widgets6; do
    [[ $depends == *"$lib"* ]] || fail "halyard's Depends lacks $lib: $depends"
done
[[ $(dpkg-deb -f "$sim" Depends) == *"halyard (= $version)"* ]] || fail "halyard-sim370 does not depend on halyard"
# The stand-in stays out of the main package.
! dpkg-deb -c "$main" | grep -q -e cl370 -e halyard-sample || fail "the stand-in is in the main package"

root="$work/root"
dpkg-deb -x "$main" "$root"
dpkg-deb -x "$sim" "$root"
for f in usr/bin/halyard usr/bin/halyard-build usr/bin/halyard-batch usr/bin/halyard-help-reader usr/bin/halyard-sample \
         usr/libexec/halyard-sim370/cl370 usr/share/applications/org.orlin.Halyard.desktop \
         usr/share/metainfo/org.orlin.Halyard.metainfo.xml usr/share/mime/packages/org.orlin.Halyard.xml \
         usr/share/icons/hicolor/scalable/apps/org.orlin.Halyard.svg \
         usr/share/icons/hicolor/48x48/apps/org.orlin.Halyard.png \
         usr/share/man/man1/halyard.1.gz usr/share/man/man1/halyard-build.1.gz \
         usr/share/man/man1/halyard-batch.1.gz usr/share/doc/halyard/LICENSE-toolbar-icons.txt \
         usr/share/halyard/halyard.chm; do
    [ -e "$root/$f" ] || fail "the packages do not install /$f"
done

# A double-click on a project reaches Halyard: *.prj is our type, and the desktop entry opens it.
mime="$work/mime"
cp -r "$root/usr/share/mime" "$mime"
update-mime-database "$mime" 2>"$work/mime.log" || { cat "$work/mime.log"; fail "update-mime-database"; }
grep -q ":application/x-halyard-project:\*\.prj$" "$mime/globs2" || fail "*.prj is not a Halyard project"
grep -q "^MimeType=application/x-halyard-project;$" "$root/usr/share/applications/org.orlin.Halyard.desktop" ||
    fail "the desktop entry does not open projects"

# The installed programs, in a home of their own so no user's settings or drives are touched.
export HOME="$work/home" PATH="$root/usr/bin:$PATH"
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME"
for p in halyard halyard-build halyard-batch halyard-help-reader; do
    out=$("$root/usr/bin/$p" --version) || fail "$p --version"
    [ "$out" = "$p $version" ] || fail "$p --version printed '$out'"
done
"$root/usr/bin/halyard-sample" --if-fresh >"$work/sample.log" || { cat "$work/sample.log"; fail "halyard-sample"; }
summary=$("$root/usr/bin/halyard-build" summary 'C:\Halyard\demo\demo.prj') || fail "halyard-build summary"
[[ $summary == *"demo"* ]] || fail "the summary does not name the demo project: $summary"
build_out=$("$root/usr/bin/halyard-build" build 'C:\Halyard\demo\demo.prj') || { echo "$build_out"; fail "halyard-build build"; }
verdict=$(grep -E "^(Created|Updated) " <<<"$build_out") || { echo "$build_out"; fail "no verdict"; }
echo "packages: $(basename "$main") $(basename "$sim"); installed build: $verdict"
