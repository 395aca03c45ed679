#!/usr/bin/env bash
# Builds the Debian package from the build folder (as `make package` does, into a folder of its
# own) and checks what apt would install: the control fields from the project version and the
# branding, the Depends dpkg-shlibdeps computed plus the run-time pieces, every file under /usr
# and owned by root, no maintainer scripts, a packaged corvane-cli that runs, and no lintian error.
# Usage: package_test.sh BUILD_DIR VERSION APP_ID MAINTAINER HOMEPAGE GUI(ON|OFF)
set -euo pipefail
build=$1 version=$2 app_id=$3 maintainer=$4 homepage=$5 gui=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
deb=$work/corvane_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work" >&2; fail "no corvane_${version}_amd64.deb"; }

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
for pair in "Package=corvane" "Version=$version" "Architecture=amd64" "Maintainer=$maintainer" \
            "Homepage=$homepage" "Section=web" "Priority=optional"; do
    [ "$(field "${pair%%=*}")" = "${pair#*=}" ] || fail "${pair%%=*} is '$(field "${pair%%=*}")', not '${pair#*=}'"
done

# Depends: one name per line, versions dropped.
field Depends | tr ',' '\n' | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' | grep . >"$work/depends"
needed="libc6 libstdc++6 libqt6core6 libqt6network6 libqt6sql6-sqlite ca-certificates"
[ "$gui" = ON ] && needed="$needed libqt6gui6 libqt6widgets6 libqt6webenginewidgets6 libqt6multimedia6"
for p in $needed; do
    grep -qx "$p" "$work/depends" || { field Depends >&2; fail "Depends lacks $p"; }
done
if grep -E -- '-dev$|^cmake$|^g\+\+' "$work/depends"; then fail "Depends names build tools"; fi
# Every dependency is one apt can find in this release (when apt's lists are there to ask).
if [ -n "$(ls /var/lib/apt/lists/ 2>/dev/null | grep _Packages)" ]; then
    apt-get -s -o Debug::NoLocking=1 install "$deb" >"$work/apt.log" 2>&1 \
        || { cat "$work/apt.log" >&2; fail "apt cannot satisfy the package's Depends"; }
fi

# Control archive: control and md5sums only; the desktop's menu, MIME and icon caches are
# refreshed by their own packages' triggers.
dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep . | sort >"$work/control-files"
printf 'control\nmd5sums\n' | diff - "$work/control-files" >&2 || fail "unexpected control files"

# Contents: under /usr, owned by root, the programs executable.
dpkg-deb --contents "$deb" >"$work/contents"
awk '{print $6}' "$work/contents" | grep -vE '^\./(usr/.*)?$' && fail "files outside /usr"
awk '$2 != "root/root"' "$work/contents" | grep . && fail "files not owned by root"
expect=(usr/bin/corvane-cli usr/share/corvane/filetypes.txt usr/share/corvane/Help.html
        usr/share/corvane/sounds/finished.wav usr/share/corvane/sounds/nextsearch.wav
        "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml"
        "usr/share/mime/packages/$app_id.xml" "usr/share/icons/hicolor/48x48/apps/$app_id.png"
        "usr/share/icons/hicolor/256x256/apps/$app_id.png"
        "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
        usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.gz
        usr/share/man/man1/corvane-cli.1.gz)
[ "$gui" = ON ] && expect+=(usr/bin/corvane usr/share/man/man1/corvane.1.gz)
for f in "${expect[@]}"; do
    grep -q " \./$f\$" "$work/contents" || fail "not in the package: /$f"
done
for f in usr/bin/corvane-cli usr/bin/corvane; do
    line=$(grep " \./$f\$" "$work/contents") || continue
    [ "${line:0:10}" = "-rwxr-xr-x" ] || fail "/$f is not executable: $line"
done
grep -E '\.(qrc|py|in|cmake|o|a)$|CMake|_CPack' "$work/contents" && fail "build files in the package"

# The packaged command line runs and knows its version.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/corvane-cli" --version >"$work/version.out" 2>&1 || fail "corvane-cli --version failed"
grep -qF "$version" "$work/version.out" || { cat "$work/version.out" >&2; fail "corvane-cli --version does not say $version"; }

# Debian's own checks: warnings are shown, an error fails.
command -v lintian >/dev/null || fail "lintian is not installed (make deps-test installs it)"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 \
    || { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }
[ -s "$work/lintian.log" ] && cat "$work/lintian.log"
echo "package test: $(basename "$deb"), Depends: $(field Depends)"
