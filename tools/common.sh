# Shared by ./tavro, ./run-tests, bench/run and .ci/run: packages, build,
# Wine prefix and X display. Sourced, not run.

TAVRO_ROOT=${TAVRO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
TAVRO_BUILD=${TAVRO_BUILD:-$TAVRO_ROOT/build}
WINE_DIR=/usr/lib/wine
WINE=$WINE_DIR/wine64

TAVRO_PACKAGES=(wine wine64 wine64-tools libwine-dev xvfb xauth libjpeg62-turbo-dev
                libjpeg-turbo-progs googletest cmake g++ make)

tavro_log() { echo "tavro: $*" >&2; }

# Installs whatever of the packages is missing (and nothing when all are there).
tavro_ensure_packages() {
    local missing=() package
    for package in "${TAVRO_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    tavro_log "installing ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# Configures once, then builds incrementally; extra arguments go to cmake.
tavro_build() {
    if [ ! -f "$TAVRO_BUILD/CMakeCache.txt" ]; then
        cmake -S "$TAVRO_ROOT" -B "$TAVRO_BUILD" \
            -DCMAKE_TOOLCHAIN_FILE="$TAVRO_ROOT/cmake/winelib-toolchain.cmake" -Wno-dev "$@" >&2
    elif [ $# -gt 0 ]; then
        cmake "$TAVRO_BUILD" "$@" >&2
    fi
    cmake --build "$TAVRO_BUILD" -j "$(nproc)" >&2
}

# Quiet Wine: no debug chatter, no Mono or Gecko installers.
tavro_wine_environment() {
    # Wine maps Windows names to Unix ones in the locale's character set:
    # without UTF-8 a Cyrillic folder name has no Unix name at all.
    if [ "$(LC_ALL=${LC_ALL:-${LANG:-C}} locale charmap 2>/dev/null)" != "UTF-8" ]; then
        export LANG=C.UTF-8
        unset LC_ALL
    fi
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
    export WINELOADER=$WINE
}

# Creates $WINEPREFIX on first use and keeps a wineserver running so that
# later starts are quick.
tavro_prepare_prefix() {
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        tavro_log "creating the Wine prefix $WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
    fi
    "$WINE_DIR/wineserver" -p >/dev/null 2>&1 || true
}

# What a handheld's setup does when the program is installed: places the
# two launch shortcuts, through the program's own shortcut code (the
# tavro-setup program built beside it). Once per prefix, remembered by a
# marker in the prefix: a shortcut the user deletes later stays deleted, and
# the program's start-up rule (no main shortcut: configure) then applies.
tavro_place_shortcuts() {
    local marker=$WINEPREFIX/.tavro-shortcuts-placed
    [ -f "$marker" ] && return 0
    if "$WINE" "$TAVRO_BUILD/tavro-setup.exe.so" >/dev/null 2>&1; then
        touch "$marker"
    else
        tavro_log "could not place the launch shortcuts in $WINEPREFIX"
    fi
}

# True when DISPLAY names an X server that is there to talk to (a local
# display whose socket exists, or any remote one).
tavro_display_usable() {
    local display=${DISPLAY:-}
    [ -n "$display" ] || return 1
    case "$display" in
        :*) local number=${display#:}; number=${number%%.*}
            [ -S "/tmp/.X11-unix/X$number" ] ;;
        *) return 0 ;;
    esac
}

TAVRO_XVFB_PID=
# Starts a private X server on a free display with the given screen
# (WIDTHxHEIGHTxDEPTH) and exports DISPLAY.
tavro_start_xvfb() {
    local screen=$1 fifo display
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    TAVRO_XVFB_PID=$!
    read -r display <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$display"
}

tavro_stop_xvfb() {
    if [ -n "$TAVRO_XVFB_PID" ]; then
        kill "$TAVRO_XVFB_PID" 2>/dev/null || true
        wait "$TAVRO_XVFB_PID" 2>/dev/null || true
        TAVRO_XVFB_PID=
    fi
}
