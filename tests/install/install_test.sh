#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would: the desktop files are
# where the desktop looks for them and valid, and the installed corvane-cli finds its shipped data
# under the prefix, seeds a fresh user's application folder from it and scans a partner site.
# Usage: install_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1
app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/corvane-cli share/corvane/filetypes.txt share/corvane/Help.html \
         share/corvane/sounds/finished.wav "share/applications/$app_id.desktop" \
         "share/metainfo/$app_id.metainfo.xml" "share/mime/packages/$app_id.xml" \
         "share/icons/hicolor/48x48/apps/$app_id.png" "share/icons/hicolor/scalable/apps/$app_id.svg"; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop file rejected"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" 2>&1 \
        || { cat "$work/as.log" >&2; fail "metainfo rejected"; }
fi
if command -v xmllint >/dev/null; then
    xmllint --noout "$prefix/share/mime/packages/$app_id.xml" || fail "MIME description is not XML"
fi

# A fresh user: no application folder yet. The installed data seeds it.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
unset CORVANE_APP_DIR
mkdir -p "$HOME"
printf 'www.mysite.test\r\npartner.test|1\r\n' >"$work/links.prj"
mkdir -p "$work/site"
printf '<html><body><a href="http://www.mysite.test/">My site</a></body></html>\n' >"$work/site/index.html"

seeded=$XDG_DATA_HOME/Corvane
check_seeded() {
    cmp -s "$seeded/filetypes.txt" "$prefix/share/corvane/filetypes.txt" \
        || fail "application folder not seeded from $prefix/share/corvane"
    [ -f "$seeded/sounds/nextsearch.wav" ] || fail "sounds not seeded"
}

# The scan needs port 80 under a made-up host name: a private network namespace of its own.
if ! unshare -n -m true 2>/dev/null || ! command -v python3 >/dev/null; then
    "$prefix/bin/corvane-cli" scan "$work/links.prj" --set txtTimeout=1 >"$work/scan.out" 2>&1 || true
    check_seeded
    echo "install test: no private network namespace here; the scan's verdict is left out"
    exit 0
fi
printf '127.0.0.1 localhost partner.test www.mysite.test\n' >"$work/hosts"
unshare -n -m bash -euo pipefail -c '
    mount --bind "$1/hosts" /etc/hosts
    ip link set lo up
    python3 -m http.server 80 --bind 127.0.0.1 --directory "$1/site" >/dev/null 2>&1 &
    server=$!
    trap "kill $server" EXIT
    for i in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null && break; sleep 0.1; done
    "$2/bin/corvane-cli" scan "$1/links.prj" --tab "$1/results.tab" --set txtTimeout=5 >"$1/scan.out" 2>&1
' _ "$work" "$prefix" || { cat "$work/scan.out" >&2; fail "installed corvane-cli scan failed"; }
check_seeded
grep -q $'partner.test\tDirect Link' "$work/results.tab" || { cat "$work/results.tab" >&2; fail "no Direct Link found"; }
echo "install test: installed under $prefix, data found there, scan found the link"
