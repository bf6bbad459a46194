# Shared by ./tavro, ./run-tests, bench/run and tools/screenshots: packages,
# build, Wine prefix and the screen session. Sourced, not run.
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
TAVRO_TEST_PACKAGES=(googletest libjpeg-turbo-progs xdotool openbox)

# The Windows program's build: its packages, its libjpeg and its tree.
source "$TAVRO_ROOT/tools/windows.sh"

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
        tavro_wine_places_hold && { WINE_DIR=${WINE%/*}; return 0; }
    fi
    tavro_find_wine_places
    mkdir -p "$TAVRO_STATE"
    printf '%s\n' "WINE=$WINE" "WINESERVER=$WINESERVER" "WINE_TOOLS_DIR=$WINE_TOOLS_DIR" \
        "WINE_NLS_DIR=$WINE_NLS_DIR" "WINE_INF=$WINE_INF" >"$places"
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
# change to the program's sources (their folders and files, and the
# build's own files): a warm start then needs no run of Ninja, which costs
# more than all the rest of the launcher. A changed or new source, a build
# configured again or a built file gone sends the start to Ninja.
tavro_built_files_current() {  # STAMP FILE...
    local stamp=$1 built source
    shift
    [ -f "$stamp" ] && [ "$TAVRO_BUILD/build.ninja" -ot "$stamp" ] || return 1
    for built; do
        [ -f "$built" ] || return 1
    done
    for source in "$TAVRO_ROOT"/CMakeLists.txt "$TAVRO_ROOT"/{app,cmake,config,optiontree,output} \
        "$TAVRO_ROOT"/{platform,platform/windows,platform/winelib,res} \
        "$TAVRO_ROOT"/{app,cmake,config,optiontree,output,platform,platform/windows}/* \
        "$TAVRO_ROOT"/{platform/winelib,res}/*; do
        [ "$source" -nt "$stamp" ] && return 1
    done
    return 0
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

# ---- Wine -----------------------------------------------------------------

# Quiet Wine: no debug chatter, no Mono or Gecko installers.
tavro_wine_environment() {
    tavro_locate_wine
    # Wine maps Windows names to Unix ones in the locale's character set:
    # without UTF-8 a Cyrillic folder name has no Unix name at all.
    case ${LC_ALL:-${LC_CTYPE:-${LANG:-}}} in
        *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) ;;
        *) export LANG=C.UTF-8 LC_CTYPE=C.UTF-8; unset LC_ALL ;;
    esac
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
    export WINELOADER=$WINE
}

# Where nobody listens (a private screen, a test): no sound system to talk
# to, which would also leave its folder in /tmp.
tavro_quiet_sound() {
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv=d"
}

# With no sound card, ALSA can only complain (a dozen lines on the terminal
# for every sound), and the sound is fire-and-forget: Wine's ALSA driver
# stays out of it. A sound server, where there is one, still plays it.
tavro_quiet_alsa_without_card() {
    compgen -G '/dev/snd/pcmC*' >/dev/null ||
        export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv=d"
}

# A prefix for tests and benchmarks: quiet, and no entries in the user's
# desktop menu for the shortcuts it makes.
tavro_throwaway_wine() {
    tavro_quiet_sound
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
}

# The prefix's lock, for the steps that launchers starting together must
# take one at a time. Commands run while it is held close its descriptor
# ({TAVRO_PREFIX_LOCK}>&-): Wine's long-lived processes would otherwise
# inherit it and hold the lock for good.
tavro_lock_prefix() {
    mkdir -p "$WINEPREFIX"
    exec {TAVRO_PREFIX_LOCK}>"$WINEPREFIX/.tavro-lock"
    flock "$TAVRO_PREFIX_LOCK"
}

tavro_unlock_prefix() {
    exec {TAVRO_PREFIX_LOCK}>&-
}

# Creates $WINEPREFIX on first use. Ready means that wineboot finished: the
# marker is written the moment it returns, unlike the registry files, which
# the wineserver writes only later.
tavro_prepare_prefix() {
    local ready=$WINEPREFIX/.tavro-ready
    [ -f "$ready" ] && return 0
    tavro_lock_prefix
    # A prefix that has its registry files already was made before
    # readiness was recorded: it is ready.
    if [ ! -f "$ready" ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
        tavro_log "creating the Wine prefix $WINEPREFIX (first run only; about 700 MB)"
        mkdir -p "$TAVRO_STATE"
        if ! "$WINE" wineboot -i >"$TAVRO_STATE/wineboot.log" 2>&1 {TAVRO_PREFIX_LOCK}>&-; then
            tavro_unlock_prefix
            tavro_die "creating the Wine prefix failed (log: $TAVRO_STATE/wineboot.log)"
        fi
    fi
    touch "$ready"
    tavro_unlock_prefix
}

# The dpi of this prefix's screen. Wine reads it when a session starts, so
# the running session, if any, ends; the next one sees it.
tavro_set_dpi() {
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
        >/dev/null 2>&1 || tavro_die "could not set the dpi to $1 in $WINEPREFIX"
    tavro_stop_wine
}

# The socket of this prefix's wineserver (Wine keeps it in a folder of
# /tmp that it names in the prefix); fails before the first server.
tavro_wineserver_socket() {
    local name device inode
    [ -f "$WINEPREFIX/wineserver" ] || return 1
    read -r name <"$WINEPREFIX/wineserver"
    read -r device inode < <(stat -c '%D %i' "$WINEPREFIX")
    printf '%s/%s/server-%s-%x/socket\n' "${TMPDIR:-/tmp}" "$name" "$device" "$inode"
}

# Ends this prefix's Wine session and takes away what it left in /tmp.
tavro_stop_wine() {
    [ -d "$WINEPREFIX" ] && [ -n "$WINESERVER" ] || return 0
    local socket
    socket=$(tavro_wineserver_socket) || socket=
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    if [ -n "$socket" ]; then
        rm -rf "$(dirname "$socket")"
        rmdir "$(dirname "$(dirname "$socket")")" 2>/dev/null || true
    fi
    rm -f "$WINEPREFIX/.tavro-screen"
}

# The wineserver process serving the session whose socket is given: the
# one working in the socket's folder.
tavro_wineserver_pid() {
    local folder=${1%/*} cwd pid comm
    for cwd in /proc/[0-9]*/cwd; do
        [ "$cwd" -ef "$folder" ] || continue
        pid=${cwd#/proc/}
        pid=${pid%/cwd}
        read -r comm <"/proc/$pid/comm" 2>/dev/null || continue
        [[ $comm == wineserver* ]] && { echo "$pid"; return 0; }
    done
    return 1
}

# Wine processes of this prefix that outlived their wineserver (one that
# ended abruptly leaves the session's services and programs behind, for
# good): found by the prefix in their environment among the processes
# running Wine's programs, and ended by their ids. Called only while the
# prefix has no server.
tavro_end_wine_leftovers() {
    local environ pid pids=()
    while IFS= read -r environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        case $(readlink "/proc/$pid/exe" 2>/dev/null) in
            "$WINE_DIR"/*) pids+=("$pid") ;;
        esac
    done < <(grep -lsxzF -e "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ)
    [ ${#pids[@]} -eq 0 ] && return 0
    tavro_log "ending ${#pids[@]} Wine processes left behind by a session that ended abruptly"
    kill -KILL "${pids[@]}" 2>/dev/null || true
}

# Wine reads the screen's size once per session and keeps it while the
# wineserver lives, so a session started for another screen (another
# display, another size, an X server started since) would capture a
# picture of the wrong size. The session is restarted for the screen it
# is to run on, and kept running so that later starts are quick. The
# record holds the screen, the server's socket and its process id, so that
# a warm start decides with file tests alone.
#
# A restart would end every program still running in the session (a
# delayed capture, the settings dialog, a notice waiting for a tap), so
# whoever binds the session holds its users' lock, shared, until it exits;
# a restart takes that lock for itself, which waits for those programs to
# end, for TAVRO_SESSION_WAIT seconds at most, and then refuses.
TAVRO_SESSION_WAIT=${TAVRO_SESSION_WAIT:-15}
TAVRO_SESSION_LOCK=

tavro_bind_wine_session() {
    # A caller binding again (another screen) lets go of its own share first.
    [ -n "$TAVRO_SESSION_LOCK" ] && exec {TAVRO_SESSION_LOCK}>&-
    [ -d "$WINEPREFIX" ] || mkdir -p "$WINEPREFIX"
    exec {TAVRO_SESSION_LOCK}>>"$WINEPREFIX/.tavro-session-users"
    if tavro_session_is_current; then
        # Waits only while another launcher restarts the session.
        flock -s "$TAVRO_SESSION_LOCK"
        tavro_session_is_current && tavro_session_keeper_runs && return 0
        flock -u "$TAVRO_SESSION_LOCK"
    fi
    # Launchers starting together: one restarts the session, the others
    # find it current.
    tavro_lock_prefix
    if ! tavro_session_is_current; then
        tavro_take_session
        tavro_stop_wine
        tavro_end_wine_leftovers
        "$WINESERVER" -p >/dev/null 2>&1 {TAVRO_PREFIX_LOCK}>&- {TAVRO_SESSION_LOCK}>&- || true
        # The first program of a session starts its services and desktop,
        # which keep that program's standard output open for as long as
        # the session lasts: a harmless program starts them, with nothing
        # attached, so that a pipe from the program to its caller closes
        # when the program ends.
        tavro_setup_program
        "$WINE" "$TAVRO_SETUP_PROGRAM" --mode </dev/null >/dev/null 2>&1 {TAVRO_PREFIX_LOCK}>&- \
            {TAVRO_SESSION_LOCK}>&- || true
        local keeper socket server=
        keeper=$(tavro_keep_session)
        socket=$(tavro_wineserver_socket) && server=$(tavro_wineserver_pid "$socket") || true
        tavro_record_session "$DISPLAY $TAVRO_SCREEN_SIZE" "$socket" "$server" "$keeper"
    elif ! tavro_session_keeper_runs; then
        # Its keeper was ended (by hand, say) while the session's X server
        # stayed: a new one keeps it from here on.
        local recorded socket server
        { read -r recorded; read -r socket; read -r server; } <"$WINEPREFIX/.tavro-screen"
        tavro_record_session "$recorded" "$socket" "$server" "$(tavro_keep_session)"
    fi
    # Still under the prefix's lock, so no other restart comes in between.
    flock -s "$TAVRO_SESSION_LOCK"
    tavro_unlock_prefix
}

# The helper that starts and keeps sessions, into TAVRO_SETUP_PROGRAM: the
# one tavro_build_target chose, else the winelib build's.
tavro_setup_program() {
    TAVRO_SETUP_PROGRAM=${TAVRO_SETUP:-$TAVRO_BUILD/tavro-setup.exe.so}
}

# The session's record, a line each: its display and screen size, its
# wineserver's socket and process id, and its keeper (process id and start
# time).
tavro_record_session() {  # DISPLAY_AND_SIZE SOCKET SERVER KEEPER
    printf '%s\n' "$@" >"$WINEPREFIX/.tavro-screen"
}

# Wine ends the desktop a second after its last program and the next
# program starts it again, attached to that program's output: a program
# that stays keeps it for the session. It is waited for until the desktop
# runs, or a program started meanwhile would start a desktop of its own,
# which then held its output for good. It ends when the session's X server
# goes. Says which process it is (tavro_process_identity).
tavro_keep_session() {
    local keeper kept= pid
    tavro_setup_program
    exec {keeper}< <(exec "$WINE" "$TAVRO_SETUP_PROGRAM" --keep-session </dev/null 2>/dev/null \
        {TAVRO_PREFIX_LOCK}>&- {TAVRO_SESSION_LOCK}>&-)
    pid=$!
    read -r -t 30 -u "$keeper" kept || true
    exec {keeper}<&-
    # The Windows program ends its lines as Windows does.
    if [ "${kept%$'\r'}" = kept ] && tavro_process_identity "$pid"; then
        echo "$TAVRO_PROCESS_IDENTITY"
    else
        tavro_log "the Wine session's desktop could not be kept running"
    fi
}

# A running process's id and start time, into TAVRO_PROCESS_IDENTITY:
# together they name that process and no later one given the same id.
tavro_process_identity() {
    local stat fields
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    # The fields after the command's name, which may hold blanks; the
    # state first, the start time twentieth.
    read -r -a fields <<<"${stat##*) }"
    [ "${fields[0]}" != Z ] || return 1
    TAVRO_PROCESS_IDENTITY="$1 ${fields[19]}"
}

# Whether the keeper that the session's record names still runs; while it
# does, the X server the session started on is up.
tavro_session_keeper_runs() {
    local record=$WINEPREFIX/.tavro-screen keeper=
    [ -f "$record" ] && { read -r; read -r; read -r; read -r keeper; } <"$record"
    [ -n "$keeper" ] && tavro_process_identity "${keeper% *}" &&
        [ "$TAVRO_PROCESS_IDENTITY" = "$keeper" ]
}

# Whether the recorded server of a session still runs: it works in its
# socket's folder. A server whose process id could not be found when the
# session started counts as running while its socket is there.
tavro_session_server_lives() {
    local socket=$1 server=$2
    [ -n "$socket" ] && [ -S "$socket" ] || return 1
    [ -z "$server" ] || [ "/proc/$server/cwd" -ef "${socket%/*}" ]
}

# The session's users' lock, for a restart: at once when nobody runs a
# program in the session or its server is gone (what still runs then is
# left over and is ended); otherwise after the users end, or a refusal.
tavro_take_session() {
    flock -x -n "$TAVRO_SESSION_LOCK" && return 0
    local record=$WINEPREFIX/.tavro-screen recorded= socket= server=
    [ -f "$record" ] && { read -r recorded; read -r socket; read -r server; } <"$record"
    if [ -n "$socket" ] && ! tavro_session_server_lives "$socket" "$server"; then
        tavro_end_wine_leftovers
        flock -x -w 5 "$TAVRO_SESSION_LOCK" && return 0
    fi
    local running
    running=$(tavro_session_users)
    tavro_log "waiting up to $TAVRO_SESSION_WAIT s for Tavro to end on the X display" \
        "${recorded% *}: ${running:-a program} still runs there, and a Wine prefix's session" \
        "serves one screen at a time"
    flock -x -w "$TAVRO_SESSION_WAIT" "$TAVRO_SESSION_LOCK" && return 0
    running=$(tavro_session_users)
    tavro_unlock_prefix
    tavro_die "not started: ${running:-a program} still runs on the X display ${recorded% *}" \
        "in $WINEPREFIX; start again when it has ended, or give this start a WINEPREFIX of its own"
}

# Launchers note what they run in the session, for a restart that has to
# wait to say what it waits for.
tavro_note_session_use() {
    local notes=$WINEPREFIX/.tavro-session-runs
    [ -d "$notes" ] || mkdir -p "$notes"
    echo "$*" >"$notes/$$"
    TAVRO_TEMP_FILES+=("$notes/$$")
}

tavro_session_users() {
    local note pid text list=
    for note in "$WINEPREFIX"/.tavro-session-runs/*; do
        [ -f "$note" ] || continue
        pid=${note##*/}
        pid=${pid%%.*}
        [[ $pid =~ ^[0-9]+$ ]] || continue
        # Notes of launchers that were killed go.
        if ! kill -0 "$pid" 2>/dev/null; then
            rm -f "$note"
            continue
        fi
        [ "${note##*/}" = "$pid" ] || continue
        read -r text <"$note" || true
        list+="${list:+, }'$text' (process $pid)"
    done
    echo "$list"
}

tavro_session_is_current() {
    local record=$WINEPREFIX/.tavro-screen recorded= socket= server= x_socket
    [ -f "$record" ] || return 1
    { read -r recorded; read -r socket; read -r server; } <"$record"
    [ "$recorded" = "$DISPLAY $TAVRO_SCREEN_SIZE" ] && [ -S "$socket" ] || return 1
    # The session's server ended abruptly: its socket stays, unanswered.
    tavro_session_server_lives "$socket" "$server" || return 1
    # An X server started on the same number since the session began.
    x_socket=${DISPLAY#*:}
    x_socket=/tmp/.X11-unix/X${x_socket%%.*}
    ! { [ -S "$x_socket" ] && [ "$x_socket" -nt "$record" ]; }
}

# ---- Screens --------------------------------------------------------------

# The size (WIDTHxHEIGHT) of the X display's screen; fails when the display
# cannot be reached.
tavro_screen_size() {
    local info
    info=$(tavro_screen_dimensions "$1") || return 1
    tavro_size_in "$info" || return 1
    echo "$TAVRO_SIZE_FOUND"
}

# The one line of xdpyinfo's that matters (it says some 100 KB in all,
# which the shell would take long to read).
tavro_screen_dimensions() {
    xdpyinfo -display "$1" 2>/dev/null | grep 'dimensions:'
}

# The screen's size in what xdpyinfo said, into TAVRO_SIZE_FOUND.
tavro_size_in() {
    [[ $1 =~ dimensions:\ +([0-9]+x[0-9]+) ]] || return 1
    TAVRO_SIZE_FOUND=${BASH_REMATCH[1]}
}

# Asks the X server in DISPLAY for its screen in the background, so that
# the question and the build's check run side by side; tavro_use_screen
# takes the answer. Nothing is asked when the prefix's session serves that
# display and its keeper still runs: the server is up then (the keeper
# ends with it), and Wine follows the server's own size changes.
TAVRO_SCREEN_ANSWER=
TAVRO_SCREEN_KNOWN=0
tavro_ask_screen() {
    [ -n "${DISPLAY:-}" ] || return 0
    local recorded=
    if [ -f "$WINEPREFIX/.tavro-screen" ]; then
        read -r recorded <"$WINEPREFIX/.tavro-screen"
        if [ "${recorded% *}" = "$DISPLAY" ] && tavro_session_keeper_runs; then
            TAVRO_SCREEN_SIZE=${recorded##* }
            TAVRO_SCREEN_KNOWN=1
            return 0
        fi
    fi
    # Before the first install there is nothing to ask with yet.
    command -v xdpyinfo >/dev/null || return 0
    exec {TAVRO_SCREEN_ANSWER}< <(tavro_screen_dimensions "$DISPLAY")
}

# The answer asked for above (closed, so that no program inherits it);
# fails when the display could not be reached.
tavro_screen_answer() {
    local info=
    IFS= read -r -d '' -u "$TAVRO_SCREEN_ANSWER" info || true
    exec {TAVRO_SCREEN_ANSWER}<&-
    TAVRO_SCREEN_ANSWER=
    tavro_size_in "$info"
}

TAVRO_XVFB_PID=
TAVRO_SCREEN_SIZE=
TAVRO_TEMP_FILES=()
TAVRO_OWNS_WINE=0

# Makes DISPLAY name a screen to run on. With "own", a DISPLAY that cannot
# be reached is an error (a picture of the user's screen was asked for);
# with "any", a private screen of the given size stands in for it. Without
# DISPLAY, both start a private screen.
tavro_use_screen() {
    local policy=$1 private_screen=$2
    [ "$TAVRO_SCREEN_KNOWN" -eq 1 ] && return 0
    if [ -n "${DISPLAY:-}" ]; then
        if [ -n "$TAVRO_SCREEN_ANSWER" ]; then
            if tavro_screen_answer; then
                TAVRO_SCREEN_SIZE=$TAVRO_SIZE_FOUND
                return 0
            fi
        elif TAVRO_SCREEN_SIZE=$(tavro_screen_size "$DISPLAY"); then
            return 0
        fi
        if [ "$policy" != any ]; then
            local number=${DISPLAY##*:}
            if [[ $number == *.* ]] && tavro_screen_size "${DISPLAY%.*}" >/dev/null; then
                tavro_die "the X display ${DISPLAY%.*} has no screen ${number#*.}; set DISPLAY" \
                    "to one of its screens, for example DISPLAY=${DISPLAY%.*}.0"
            fi
            tavro_die "cannot reach the X display $DISPLAY; start its X server, or unset DISPLAY" \
                "to work on an empty private screen"
        fi
    fi
    tavro_start_xvfb "$private_screen"
}

# Starts a private X server on a free display with the given screen
# (WIDTHxHEIGHTxDEPTH), exports DISPLAY, and arranges for the session to end
# with the script. The server runs in its own session, so that Ctrl-C stops
# the program first and the screen after it.
tavro_start_xvfb() {
    local screen=$1 fifo display=
    tavro_session_trap
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/tavro-xvfb.XXXXXX")
    mkfifo "$fifo"
    TAVRO_TEMP_FILES+=("$fifo")
    # The server outlives this script's hold on the session (a benchmark
    # moves on to another screen), so it does not inherit that hold.
    (
        [ -z "$TAVRO_SESSION_LOCK" ] || exec {TAVRO_SESSION_LOCK}>&-
        exec setsid Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fifo" </dev/null \
            >/dev/null 2>&1
    ) &
    TAVRO_XVFB_PID=$!
    read -r -t 30 display <"$fifo" || true
    rm -f "$fifo"
    [ -n "$display" ] || tavro_die "the private X server (Xvfb -screen 0 $screen) did not start"
    export DISPLAY=:$display
    TAVRO_SCREEN_SIZE=${screen%x*}
}

tavro_stop_xvfb() {
    if [ -n "$TAVRO_XVFB_PID" ]; then
        kill "$TAVRO_XVFB_PID" 2>/dev/null || true
        wait "$TAVRO_XVFB_PID" 2>/dev/null || true
        TAVRO_XVFB_PID=
    fi
}

# The one exit action of a script: the Wine session it owns, then its
# screen, then its temporary files.
tavro_session_end() {
    [ "$TAVRO_OWNS_WINE" -eq 1 ] && tavro_stop_wine
    tavro_stop_xvfb
    [ ${#TAVRO_TEMP_FILES[@]} -eq 0 ] || rm -rf "${TAVRO_TEMP_FILES[@]}"
}

tavro_session_trap() {
    trap tavro_session_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# ---- Throwaway prefixes ---------------------------------------------------

# A prefix made once per build and cloned for each test run: a fresh prefix
# costs 10 to 15 s, a clone a fraction of a second. It is made again when
# Wine changes (the prefix would otherwise update itself on first use).
tavro_prefix_template() {
    local template=$TAVRO_STATE/wine-template made= wine_inf
    wine_inf=$(stat -c %Y "$WINE_INF")
    [ -f "$template/.tavro-ready" ] && read -r made <"$template/.update-timestamp"
    made=${made%$'\r'}
    [ "$made" = "$wine_inf" ] && return 0
    rm -rf "$template"
    (
        export WINEPREFIX=$template
        tavro_prepare_prefix
        # No window manager runs on a test screen: Wine draws the frames
        # itself instead of waiting on one that never answers.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        tavro_stop_wine
    )
}

# Clones the template into a new folder. The Windows folder, nearly all of
# the prefix's 700 MB and never written by a run, is linked file by file;
# the registry, the user folders and the .ini files are copied.
tavro_clone_prefix() {
    local template=$TAVRO_STATE/wine-template clone=$1 ini
    mkdir -p "$clone"
    tar -C "$template" --exclude=./drive_c/windows --exclude=./wineserver --exclude=./.tavro-lock \
        -cf - . | tar -C "$clone" -xf -
    cp -al "$template/drive_c/windows" "$clone/drive_c/windows"
    for ini in "$clone"/drive_c/windows/*.ini; do
        [ -f "$ini" ] && cp --remove-destination "$template/drive_c/windows/${ini##*/}" "$ini"
    done
}

# A folder for one run's prefix and files, in the build's state folder (on
# the template's file system, so that links work), removed at exit. Folders
# of runs that were killed before they could clean up go first.
tavro_run_folder() {
    local runs=$TAVRO_STATE/runs stale owner
    mkdir -p "$runs"
    for stale in "$runs"/*/; do
        [ -f "$stale/owner" ] || continue
        read -r owner <"$stale/owner"
        kill -0 "$owner" 2>/dev/null && continue
        WINEPREFIX=${stale%/}/wine tavro_stop_wine
        rm -rf "$stale"
    done
    TAVRO_RUN=$(mktemp -d "$runs/run.XXXXXX")
    echo "$$" >"$TAVRO_RUN/owner"
    TAVRO_TEMP_FILES+=("$TAVRO_RUN")
}
