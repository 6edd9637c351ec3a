#!/usr/bin/env bash
# The program as a user gets it: installed with `cmake --install` into a
# prefix, or packaged by CPack and unpacked from the .deb.
#
#   install_test.sh tree|start|deb BUILD_DIR SOURCE_DIR APP_ID VERSION
#
#   tree   install into a temporary prefix and check the installed tree
#   start  install into a temporary prefix and start the installed program
#   deb    make the .deb, check its control fields, unpack it, check the
#          unpacked tree and start the unpacked program
set -euo pipefail

if [ "${1:-}" = "--watch-login" ]; then
    mode=watch
else
    mode=${1:?mode} build=${2:?build dir} source=${3:?source dir} app_id=${4:?app id} version=${5:?version}
fi

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs inside a virtual X server (see start_program): starts EXE with an empty
# home and waits for its login window. The offscreen platform cannot tell the
# login window from a fatal message box (both keep the program running); on
# an X server the window titles can be read.
watch_login() {
    local exe=$1 home=$2 log=$3
    local pid found="" i
    (
        cd "$home"
        exec env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME \
            HOME="$home" XDG_RUNTIME_DIR="$home/.run" LANG=C.UTF-8 QT_QPA_PLATFORM=xcb "$exe"
    ) >"$log" 2>&1 &
    pid=$!
    for i in $(seq 1 150); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid" && status=0 || status=$?
            cat "$log" >&2
            fail "$exe ended by itself (status $status) before its login window appeared"
        fi
        # The login window and only it is titled 登录 at start; a fatal
        # message box is titled Kestrune.
        if LC_ALL=C.UTF-8 xdotool search --onlyvisible --name '^登录$' >/dev/null 2>&1; then
            found=yes
            break
        fi
        sleep 0.2
    done
    if [ -z "$found" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        cat "$log" >&2
        fail "$exe showed no login window within 30 seconds"
    fi
    # Still running a moment later, then ended by us and not by a crash.
    sleep 1
    kill -TERM "$pid" 2>/dev/null || fail "$exe ended right after showing its login window"
    wait "$pid" && status=0 || status=$?
    [ "$status" -eq 143 ] || { cat "$log" >&2; fail "$exe ended with status $status instead of by SIGTERM"; }
    echo "login window shown by $exe"
}

if [ "$mode" = watch ]; then
    watch_login "$2" "$3" "$4"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrune-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Starts the executable under a virtual X server with a fresh, empty home:
# $home, which is left for checks of what the program wrote there.
home="$work/home"
start_program() {
    local exe=$1
    mkdir -p "$home" && mkdir -m 700 "$home/.run"
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash "$0" --watch-login "$exe" "$home" "$work/program.log"
}

install_prefix() {
    local prefix=$1
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "cmake --install"; }
}

# Checks an installed tree: ROOT is the prefix (or usr/ of the unpacked package).
check_tree() {
    local root=$1 icon launchable size png out
    [ -x "$root/bin/kestrune" ] || fail "no executable $root/bin/kestrune"

    for template in "$source"/templates/*.xls; do
        cmp -s "$template" "$root/share/kestrune/$(basename "$template")" ||
            fail "template $(basename "$template") not installed as in the source tree"
    done

    local desktop="$root/share/applications/$app_id.desktop"
    [ -f "$desktop" ] || fail "no desktop entry $desktop"
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate reports: $out"
    grep -qx 'Exec=kestrune' "$desktop" || fail "the desktop entry does not start kestrune"

    # The icon the desktop entry names, as SVG and at every usual size.
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon" = "$app_id" ] || fail "desktop entry names icon '$icon', not $app_id"
    local svg="$root/share/icons/hicolor/scalable/apps/$icon.svg"
    grep -q '<svg' "$svg" 2>/dev/null || fail "no SVG icon $svg"
    grep -q '<path' "$svg" || fail "the SVG icon $svg holds no drawing"
    for size in 16 24 32 48 64 128 256; do
        png="$root/share/icons/hicolor/${size}x${size}/apps/$icon.png"
        file -b "$png" 2>/dev/null | grep -q "^PNG image data, $size x $size," ||
            fail "no ${size}x${size} PNG icon $png"
        # The rounded tile covers nearly all of the square: an icon painted
        # on nothing would be transparent.
        coverage=$(convert "$png" -alpha extract -format '%[fx:mean]' info:)
        awk -v c="$coverage" 'BEGIN { exit !(c > 0.8) }' ||
            fail "the ${size}x${size} icon is mostly transparent (alpha mean $coverage)"
    done

    local metainfo="$root/share/metainfo/$app_id.metainfo.xml"
    [ -f "$metainfo" ] || fail "no metainfo $metainfo"
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    [ "$launchable" = "$app_id.desktop" ] || fail "metainfo launches '$launchable', not the installed $app_id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "metainfo has no release $version (the package's version)"

    [ -f "$root/share/doc/kestrune/copyright" ] || fail "no licence in share/doc/kestrune"
    gzip -t "$root/share/doc/kestrune/changelog.gz" 2>/dev/null || fail "no changelog.gz in share/doc/kestrune"

    # The tools come with the program; each explains itself and has a
    # manual page, as the program does.
    local tool page
    for tool in kestrune-verify kestrune-migrate kestrune-server-copy; do
        [ -x "$root/bin/$tool" ] || fail "no executable $root/bin/$tool"
        out=$(LANG=C.UTF-8 "$root/bin/$tool" --help 2>&1) || fail "$tool --help ended with an error: $out"
        grep -q "用法" <<<"$out" || fail "$tool --help printed no usage: $out"
    done
    for page in kestrune kestrune-verify kestrune-migrate kestrune-server-copy; do
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null) ||
            fail "the manual page of $page does not format"
        [ -z "$out" ] || fail "the manual page of $page gives warnings: $out"
    done
}

case "$mode" in
tree)
    install_prefix "$work/prefix"
    check_tree "$work/prefix"
    # Nothing but the program and its shared files: no libraries, headers or
    # build tools.
    stray=$(cd "$work/prefix" && find . -type f ! -path './bin/kestrune' ! -path './bin/kestrune-verify' \
        ! -path './bin/kestrune-migrate' ! -path './bin/kestrune-server-copy' ! -path './share/*')
    [ -z "$stray" ] || fail "unexpected installed files: $stray"
    ;;
start)
    install_prefix "$work/prefix"
    start_program "$work/prefix/bin/kestrune"
    ;;
deb)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
    debs=("$work"/out/kestrune_*.deb)
    [ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single kestrune .deb"
    deb=${debs[0]}

    [ "$(dpkg-deb -f "$deb" Package)" = kestrune ] || fail "package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # Stated by hand: what the program starts or loads at run time.
    for wanted in 'libreoffice-calc-nogui | libreoffice-calc' fonts-noto-cjk xdg-utils qt6-translations-l10n \
        qt6-qpa-plugins; do
        [[ ", $depends," == *", $wanted,"* ]] || fail "Depends lacks $wanted"
    done
    # Found by dpkg-shlibdeps from the linked libraries: versioned entries.
    for lib in libc6 libqt6widgets6 libqt6pdf6 libsqlcipher0 libuno-sal3; do
        grep -Eq "(^|, )$lib \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks the linked library's package $lib"
    done

    # Debian's own check of a package: no error and no warning.
    lintian_out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) && lintian_ok=yes || lintian_ok=""
    echo "lintian: ${lintian_out:-clean}"
    [ -n "$lintian_ok" ] || fail "lintian reports errors or warnings (above)"

    dpkg-deb -x "$deb" "$work/root"
    check_tree "$work/root/usr"
    start_program "$work/root/usr/bin/kestrune"
    ;;
*)
    fail "unknown check $mode"
    ;;
esac
echo "$mode: passed"
