# Shared by ./tavro, ./run-tests, bench/run, tools/screenshots and the
# tests' scripts: packages, where Wine is, the build, and (tools/session.sh)
# the Wine session. Sourced, not run.
#
# Everything here sits on the path of every capture, so the checks that run
# each time are plain file tests and at most one small X query; the slow
# work (packages, configure, prefix) happens once and leaves a stamp.

# This file is always sourced by a name with its folder in it. Cutting the
# name gives the root without starting a process, on every capture; only
# names with "." or ".." in them need the shell to resolve them.
if [ -z "${TAVRO_ROOT:-}" ]; then
    TAVRO_ROOT=${BASH_SOURCE[0]}
    [[ $TAVRO_ROOT == /* ]] || TAVRO_ROOT=./$TAVRO_ROOT
    TAVRO_ROOT=${TAVRO_ROOT%/tools/*}
    case $TAVRO_ROOT in
        .) TAVRO_ROOT=$PWD ;;
        */. | */./* | */.. | */../* | [!/]*) TAVRO_ROOT=$(cd "$TAVRO_ROOT" && pwd) ;;
    esac
fi
TAVRO_BUILD=${TAVRO_BUILD:-$TAVRO_ROOT/build}
# The scripts' own stamps and logs, beside the build they belong to.
TAVRO_STATE=$TAVRO_BUILD/.tavro
# Wine's places, found by tavro_locate_wine.
WINE= WINE_DIR= WINESERVER= WINE_TOOLS_DIR= WINE_NLS_DIR= WINE_INF=

# What building and running the program takes; the tests and the benchmark
# add their own.
TAVRO_PACKAGES=(wine wine64 wine64-tools libwine-dev libjpeg62-turbo-dev cmake ninja-build g++
                xvfb xauth x11-utils)
TAVRO_TEST_PACKAGES=(googletest libjpeg-turbo-progs xdotool openbox e2fsprogs weston xwayland)

# The Windows program's build: its packages, its libjpeg and its tree; and
# the Wine session the programs run in.
source "$TAVRO_ROOT/tools/windows.sh"
source "$TAVRO_ROOT/tools/session.sh"

# A launcher failure, not the program's result (the program's codes are 0,
# 1, 2 and 16); the convention of env, nice and timeout.
TAVRO_LAUNCH_FAILED=125

tavro_log() { printf 'tavro: %s\n' "$*" >&2; }
tavro_die() { tavro_log "$@"; exit "$TAVRO_LAUNCH_FAILED"; }

# ---- Packages -------------------------------------------------------------

# Installs whatever of the packages is missing. The packages found installed
# are remembered, so a later run with the same list asks dpkg nothing.
tavro_ensure_packages() {
    local stamp=$TAVRO_STATE/packages known= unknown=() package
    [ -f "$stamp" ] && read -r known <"$stamp"
    for package in "${TAVRO_PACKAGES[@]}" "$@"; do
        [[ " $known " == *" $package "* ]] || unknown+=("$package")
    done
    [ ${#unknown[@]} -eq 0 ] && return 0

    local installed missing=()
    # dpkg-query fails when any of them is unknown to it, and still lists
    # the others.
    installed=" $(dpkg-query -W -f='${db:Status-Status}:${Package} ' "${unknown[@]}" 2>/dev/null || true) "
    for package in "${unknown[@]}"; do
        [[ $installed == *" installed:$package "* ]] || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        tavro_install_packages "${missing[@]}"
    fi
    mkdir -p "$TAVRO_STATE"
    echo "$known ${unknown[*]}" >"$stamp"
}

tavro_install_packages() {
    local log sudo=() command="apt-get install --no-install-recommends $*"
    mkdir -p "$TAVRO_STATE"
    if [ "$(id -u)" -ne 0 ]; then
        # Without a terminal (a key binding, a desktop launcher, cron, su -c)
        # sudo can only fail, with advice that the user cannot follow: the
        # user is told what to install instead, unless sudo needs no
        # password.
        if ! command -v sudo >/dev/null; then
            tavro_log "missing Debian packages: $*"
            tavro_die "sudo is not installed; as root, install them with: $command"
        elif sudo -n true </dev/null >/dev/null 2>&1; then
            sudo=(sudo -n)
        elif { : </dev/tty; } 2>/dev/null; then
            sudo=(sudo)
            tavro_log "installing Debian packages needs root: sudo may ask for your password, once"
        else
            tavro_log "missing Debian packages: $*"
            tavro_die "there is no terminal for sudo to ask for your password; install them with:" \
                "sudo $command"
        fi
    fi
    # A log for each install: the tests' packages, installed later, must not
    # hide how the first install went.
    log=$(mktemp --suffix=.log "$TAVRO_STATE/packages-$(date +%Y%m%d-%H%M%S)-XXX")
    local count="$# Debian packages" cost=
    [ $# -eq 1 ] && count="1 Debian package"
    [[ " $* " == *" wine "* ]] && cost=", about 300 MB to download, once"
    tavro_log "installing $count$cost: $*"
    # One sudo for both steps, so the password is asked once; dpkg's
    # chatter goes to the log, which is shown only when something fails.
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive sh -c \
        'apt-get update && apt-get install -y --no-install-recommends "$@"' apt "$@" \
        >"$log" 2>&1 </dev/null; then
        tail -n 40 "$log" >&2
        tavro_die "installing the packages failed; the whole log is $log"
    fi
    tavro_log "packages installed (log: $log)"
}

# ---- Where Wine is --------------------------------------------------------

# Wine's loader, server, tools and data, where the installed packages put
# them: Debian keeps them off PATH, and a release may move them (Debian 13's
# wrc looks for its code pages in a folder its package does not make). Each
# piece: the variable it goes to, the package it comes with, and the file.
TAVRO_WINE_PIECES=("WINE wine64 wine64" "WINESERVER libwine wineserver"
                   "WINE_TOOLS_DIR wine64-tools winegcc" "WINE_NLS_DIR libwine locale.nls"
                   "WINE_INF libwine wine.inf")

# Sets the variables above from dpkg's lists of the packages' files, asked
# once and kept in the build's state; asked again when a place kept there no
# longer holds its file (Wine updated, or moved). Dies naming the package
# when a piece is not installed; the next install check then asks dpkg.
tavro_locate_wine() {
    [ -z "$WINE" ] || return 0
    local places=$TAVRO_STATE/wine-places
    if [ -f "$places" ]; then
        local name value
        while IFS='=' read -r name value; do
            case $name in
                WINE | WINESERVER | WINE_TOOLS_DIR | WINE_NLS_DIR | WINE_INF)
                    printf -v "$name" '%s' "$value" ;;
            esac
        done <"$places"
    fi
    if ! tavro_wine_places_hold; then
        tavro_find_wine_places
        mkdir -p "$TAVRO_STATE"
        printf '%s\n' "WINE=$WINE" "WINESERVER=$WINESERVER" "WINE_TOOLS_DIR=$WINE_TOOLS_DIR" \
            "WINE_NLS_DIR=$WINE_NLS_DIR" "WINE_INF=$WINE_INF" >"$places"
    fi
    WINE_DIR=${WINE%/*}
}

tavro_wine_places_hold() {
    [ -x "$WINE" ] && [ -x "$WINESERVER" ] && [ -x "$WINE_TOOLS_DIR/winegcc" ] &&
        [ -f "$WINE_NLS_DIR/locale.nls" ] && [ -f "$WINE_INF" ]
}

tavro_find_wine_places() {
    local listing piece variable package file path found
    listing=$(dpkg-query -L wine64 wine64-tools libwine 2>/dev/null) || true
    for piece in "${TAVRO_WINE_PIECES[@]}"; do
        read -r variable package file <<<"$piece"
        found=
        while IFS= read -r path; do
            # Folders of the same name (the package's documentation) are not it.
            [[ $path == */"$file" ]] && [ -f "$path" ] && { found=$path; break; }
        done <<<"$listing"
        if [ -z "$found" ]; then
            rm -f "$TAVRO_STATE/packages"
            tavro_die "Wine's $file is not installed: it comes with the Debian package $package;" \
                "install it with: apt-get install --no-install-recommends $package"
        fi
        case $variable in
            WINE_TOOLS_DIR | WINE_NLS_DIR) found=${found%/*} ;;
        esac
        printf -v "$variable" '%s' "$found"
    done
}

# ---- Build ----------------------------------------------------------------

# tavro_build [-DNAME=VALUE...] TARGET...: configures when there is no build
# yet or when the build lacks one of the given settings, then brings the
# targets up to date. A build that is up to date costs a few milliseconds.
tavro_build() {
    local settings=() targets=() argument
    for argument; do
        case $argument in
            -D*) settings+=("$argument") ;;
            *) targets+=("$argument") ;;
        esac
    done
    if tavro_needs_configure "${settings[@]}"; then
        tavro_configure "${settings[@]}"
    fi
    tavro_ninja "${targets[@]}"
}

# Whether the last build of these files, by its stamp, came after every
# change to the program's sources (every folder and file of the tree but
# what the program's build never reads, so that a new folder counts) and
# to the build's own files: a warm start then needs no run of Ninja, which
# costs more than all the rest of the launcher. A changed or new source, a
# build configured again or a built file gone sends the start to Ninja.
tavro_built_files_current() {  # STAMP FILE...
    local stamp=$1 built entry
    shift
    [ -f "$stamp" ] && [ "$TAVRO_BUILD/build.ninja" -ot "$stamp" ] || return 1
    for built; do
        [ -f "$built" ] || return 1
    done
    for entry in "$TAVRO_ROOT"/*; do
        case ${entry##*/} in
            build | build-* | bench | docs | tests | tools | README.md | run-tests | tavro) ;;
            *) tavro_newer_than "$stamp" "$entry" && return 1 ;;
        esac
    done
    return 0
}

# Whether an entry, or anything in it, is newer than the stamp.
tavro_newer_than() {  # STAMP ENTRY...
    local stamp=$1 entry
    shift
    for entry; do
        [ "$entry" -nt "$stamp" ] && return 0
        [ -d "$entry" ] && [ ! -L "$entry" ] && tavro_newer_than "$stamp" "$entry"/* && return 0
    done
    return 1
}

# Builds the targets and stamps the build with the time it started, so a
# source changed while it ran still counts as newer.
tavro_build_stamped() {  # STAMP TARGET...
    local stamp=$1 started
    shift
    mkdir -p "$TAVRO_STATE"
    started=$stamp.$$
    : >"$started"
    tavro_build "$@"
    mv -f "$started" "$stamp"
}

tavro_needs_configure() {
    [ -f "$TAVRO_BUILD/build.ninja" ] || return 0
    local setting name value
    for setting; do
        setting=${setting#-D}
        name=${setting%%=*}
        value=${setting#*=}
        grep -qx "$name:[A-Z]*=$value" "$TAVRO_BUILD/CMakeCache.txt" || return 0
    done
    return 1
}

tavro_configure() {
    local log=$TAVRO_STATE/configure.log
    mkdir -p "$TAVRO_STATE"
    if [ -f "$TAVRO_BUILD/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' \
        "$TAVRO_BUILD/CMakeCache.txt"; then
        # A build folder made by another generator cannot be switched in place.
        rm -rf "$TAVRO_BUILD/CMakeCache.txt" "$TAVRO_BUILD/CMakeFiles"
    fi
    if [ -f "$TAVRO_BUILD/build.ninja" ]; then
        tavro_log "configuring the build again: $*"
    else
        tavro_log "configuring the build in $TAVRO_BUILD"
    fi
    # The winelib build, with Wine's tools where they are installed, unless
    # the Windows program's build names its own.
    local wine=()
    if [ "${TAVRO_TOOLCHAIN:-winelib}" = winelib ]; then
        tavro_locate_wine
        wine=(-DWINE_TOOLS_DIR="$WINE_TOOLS_DIR" -DWINE_LOADER="$WINE"
              -DWINE_NLS_DIR="$WINE_NLS_DIR")
    fi
    if ! cmake -G Ninja -S "$TAVRO_ROOT" -B "$TAVRO_BUILD" -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$TAVRO_ROOT/cmake/${TAVRO_TOOLCHAIN:-winelib}-toolchain.cmake" \
        "${wine[@]}" "$@" >"$log" 2>&1; then
        cat "$log" >&2
        tavro_die "configuring the build failed (log: $log)"
    fi
}

# Runs Ninja with a progress line instead of its output, which goes to the
# log; on a failure the failing steps are shown.
tavro_ninja() {
    local log=$TAVRO_STATE/build.log tty=0 status=0
    [ -t 2 ] && tty=1
    [ -d "$TAVRO_STATE" ] || mkdir -p "$TAVRO_STATE"
    NINJA_STATUS='[%f/%t] ' ninja -C "$TAVRO_BUILD" "$@" 2>&1 |
        tavro_build_progress "$tty" >"$log" || status=$?
    if [ "$status" -ne 0 ]; then
        sed -n '/^FAILED: /,$p' "$log" >&2
        tavro_die "the build failed (log: $log)"
    fi
}

# Passes Ninja's output through and tells stderr how far the build is, the
# moment each step ends: on a terminal one line that counts, otherwise a
# line at the start, at each quarter and at the end. A shell loop, not awk:
# mawk, Debian's awk, holds back what it writes until it exits, and a
# machine need not have an awk at all.
tavro_build_progress() {
    local tty=$1 line done total shown=0
    local status_line='^\[([0-9]+)/([0-9]+)\] (.*)$'
    while IFS= read -r line || [ -n "$line" ]; do
        printf '%s\n' "$line"
        [[ $line =~ $status_line ]] || continue
        done=$((10#${BASH_REMATCH[1]}))
        total=$((10#${BASH_REMATCH[2]}))
        if [[ ${BASH_REMATCH[3]} == "Re-running CMake"* ]]; then
            if [ "$shown" -eq 1 ]; then
                printf '\n' >&2
                shown=0
            fi
            tavro_log "the build files changed: configuring again"
        elif [ "$done" -eq 0 ]; then
            :
        elif [ "$tty" -eq 1 ]; then
            printf '\rtavro: building %d of %d' "$done" "$total" >&2
            shown=1
        elif [ "$done" -eq 1 ] || [ "$done" -eq "$total" ] ||
            [ $((done * 4 / total)) -gt $(((done - 1) * 4 / total)) ]; then
            tavro_log "building $done of $total"
        fi
    done
    if [ "$shown" -eq 1 ]; then
        printf '\n' >&2
    fi
}
