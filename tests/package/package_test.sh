#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: its control fields, its files, then
# unpacked into a scratch root, the desktop entry, the icons, and both programs started from
# there (vornak offscreen until it has painted its window).
# Usage: package_test.sh BUILD_DIR   (a configured build whose `package` target has run)
# shellcheck disable=SC2317  # the helpers run through check(), which shellcheck cannot follow
set -uo pipefail
build=${1:?usage: package_test.sh BUILD_DIR}
passed=0
failed=0
check() {  # check NAME COMMAND...: runs the command, counts and reports the result
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "package: FAILED: $name"
    fi
}
finish() {
    echo "package: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/vornak_${version}_${arch}.deb"
check "the package $deb exists" test -f "$deb"
[ -f "$deb" ] || finish
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"

root=$(mktemp -d /tmp/vornak-package.XXXXXX)
trap 'rm -rf "$root"' EXIT

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
echo "package: Depends: $depends"
has_dependency() { tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qx "$1"; }
check "Package is vornak" test "$(field Package)" = vornak
check "Version is $version" test "$(field Version)" = "$version"
check "Architecture is $arch" test "$(field Architecture)" = "$arch"
check "a Maintainer" test -n "$(field Maintainer)"
check "a short and a long description" test "$(field Description | wc -l)" -ge 3
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libc6 libstdc++6 fonts-nanum fonts-baekmuk \
    fonts-liberation qt6-translations-l10n; do
    check "Depends names $dep" has_dependency "$dep"
done
# Every dependency is a package this machine has installed in a version the field allows.
satisfied() {
    local clause name op version installed
    while IFS= read -r clause; do
        clause=$(sed 's/^ *//; s/ *$//' <<<"$clause")
        name=${clause%% *}
        installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) || return 1
        if [[ $clause =~ \((\>=|\<=|\>\>|\<\<|=)\ *([^\)]*)\) ]]; then
            op=${BASH_REMATCH[1]}
            version=${BASH_REMATCH[2]}
            case $op in '>=') op=ge ;; '<=') op=le ;; '>>') op=gt ;; '<<') op=lt ;; '=') op=eq ;; esac
            dpkg --compare-versions "$installed" "$op" "$version" || return 1
        fi
    done < <(tr ',' '\n' <<<"$depends")
}
check "every dependency is installed here in an allowed version" satisfied

# Files, unpacked as dpkg would put them.
dpkg -x "$deb" "$root"
files=(
    usr/bin/vornak
    usr/bin/vornak-slave
    usr/bin/vornak-poll
    usr/bin/vornak-monitor
    usr/share/doc/vornak/copyright
    usr/share/doc/vornak/changelog.gz
    usr/share/metainfo/com.quorvix.vornak.metainfo.xml
    usr/share/applications/vornak.desktop
    usr/share/icons/hicolor/16x16/apps/vornak.png
    usr/share/icons/hicolor/32x32/apps/vornak.png
    usr/share/icons/hicolor/48x48/apps/vornak.png
)
for f in "${files[@]}"; do
    check "installs /$f" test -f "$root/$f"
done
check "vornak is executable" test -x "$root/usr/bin/vornak"
check "vornak finds all its libraries" bash -c "! ldd '$root/usr/bin/vornak' | grep -q 'not found'"

for size in 16 32 48; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/vornak.png"
    check "the ${size}x${size} icon is a ${size}x${size} PNG with alpha" \
        test "$(identify -format '%m %wx%h %[channels]' "$icon" 2>/dev/null)" = "PNG ${size}x${size} srgba"
done

desktop="$root/usr/share/applications/vornak.desktop"
if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry validates" desktop-file-validate "$desktop"
else
    echo "package: desktop-file-validate is not installed; the entry is not validated"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
check "the entry's English name" test "$(entry 'Name')" = "Vornak Modbus Scanner"
check "the entry's Korean name" test "$(entry 'Name\[ko\]')" = "Vornak 모드버스 스캐너"
check "the entry is in Utility and Engineering" test "$(entry Categories)" = "Utility;Engineering;"
check "the entry starts the installed program" test -x "$root/usr/bin/$(entry Exec)"
check "the entry's icon is in the theme" test -f "$root/usr/share/icons/hicolor/48x48/apps/$(entry Icon).png"

# Debian's own judges: lintian (no error, no warning; informational tags are printed), the
# AppStream validator (no network: the screenshot's host is not asked), and every manual page
# rendered as lintian renders it, without a warning, one per program.
lintian_out=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v 'running with root privileges')
while IFS= read -r line; do [ -n "$line" ] && echo "package: lintian: $line"; done <<<"$lintian_out"
lintian_clean() { ! grep -q '^[EW]:' <<<"$lintian_out"; }
check "lintian reports no error and no warning" lintian_clean
check "the AppStream metadata validates" \
    appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.quorvix.vornak.metainfo.xml"
man_clean() {  # man_clean PAGE: renders without a warning and has a NAME section
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$warnings"; return 1; }
    man -l "$1" 2>/dev/null | grep -q '^NAME'
}
gzip_best_without_name() {  # the header: no flags, no time stamp, best compression (XFL 2)
    test "$(od -An -tx1 -j3 -N6 "$1" | tr -d ' ')" = "000000000002"
}
for program in "$root"/usr/bin/*; do
    page="$root/usr/share/man/man1/$(basename "$program").1.gz"
    check "$(basename "$program") has a manual page" test -f "$page"
    check "the manual page of $(basename "$program") renders cleanly" man_clean "$page"
    check "the manual page of $(basename "$program") is gzip -9n" gzip_best_without_name "$page"
done
check "the changelog names this version" bash -c "zcat '$root/usr/share/doc/vornak/changelog.gz' | head -1 | grep -q '^vornak ($version) '"
check "the copyright file is machine-readable" grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$root/usr/share/doc/vornak/copyright"

# The installed poller answers --version and refuses bad usage with status 2.
check "vornak-poll --version names $version" bash -c "'$root/usr/bin/vornak-poll' --version | grep -q ' $version'"
timeout 10 "$root/usr/bin/vornak-poll" --count 0 COM1 >/dev/null 2>&1
check "vornak-poll refuses bad usage with status 2" test $? -eq 2

# The installed monitor answers --version and refuses a line it would have to write to.
check "vornak-monitor --version names $version" bash -c "'$root/usr/bin/vornak-monitor' --version | grep -q ' $version'"
timeout 10 "$root/usr/bin/vornak-monitor" tcp://127.0.0.1 >/dev/null 2>&1
check "vornak-monitor refuses a Modbus TCP line with status 2" test $? -eq 2

# The installed slave answers --help.
help=$(timeout 10 "$root/usr/bin/vornak-slave" --help 2>&1)
check "vornak-slave --help exits 0" test $? -eq 0
check "vornak-slave --help lists its options" grep -q -- '--mode' <<<"$help"

# The installed scanner starts offscreen, paints its window, saves it and ends cleanly; at
# shutdown it stores its settings in the (fresh) configuration folder.
shot="$root/startup.png"
XDG_CONFIG_HOME="$root/config" QT_QPA_PLATFORM=offscreen VORNAK_STARTUP_SNAPSHOT="$shot" \
    timeout 60 "$root/usr/bin/vornak" >"$root/vornak.log" 2>&1
status=$?
check "vornak exits 0 after its start-up snapshot (status $status)" test "$status" -eq 0
[ "$status" -eq 0 ] || sed 's/^/vornak: /' "$root/vornak.log"
read -r width height < <(identify -format '%w %h\n' "$shot" 2>/dev/null || echo 0 0)
check "the snapshot is a PNG of a window (${width}x${height})" test "$width" -ge 200 -a "$height" -ge 150
# A painted frame has the toolbar bitmaps, text and borders: many colours, not one fill.
colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
echo "package: the start-up snapshot has $colours colours"
check "the snapshot is painted, not blank" test "$colours" -ge 16
check "vornak stored its settings at shutdown" test -f "$root/config/Quorvix/Vornak.ini"
[ -n "${VORNAK_PACKAGE_SHOT:-}" ] && cp "$shot" "$VORNAK_PACKAGE_SHOT"

finish
