# The Wine session layer, sourced by common.sh: the prefix, its session (a
# wineserver that serves one X screen, with a desktop that a small process
# keeps), who uses it, and the program's runs in it. Nothing else in the
# scripts starts a Wine program, reads the session's record or takes its
# locks.
#
# Wine reads the screen's size once per session and keeps it while the
# wineserver lives, so a session started for another screen (another
# display, another size, an X server started since) would capture a
# picture of the wrong size: the session is restarted for the screen it is
# to run on, and kept running so that later starts are quick. A restart
# would end every program still running in the session (a delayed capture,
# the settings dialog, a notice waiting for a tap), so each of them holds a
# share of the session's users' lock for as long as it runs (its launcher
# holds one until then); a restart takes that lock for itself, which waits
# for those programs to end, TAVRO_SESSION_WAIT seconds at most in all, and
# then refuses.
TAVRO_SESSION_WAIT=${TAVRO_SESSION_WAIT:-15}
TAVRO_SESSION_LOCK=
TAVRO_PREFIX_LOCK=
TAVRO_XVFB_PID=
TAVRO_SCREEN_SIZE=
TAVRO_SCREEN_XWAYLAND=0
TAVRO_TEMP_FILES=()
TAVRO_OWNS_WINE=0

# ---- Wine's environment ---------------------------------------------------

# Quiet Wine: no debug chatter, no Mono or Gecko installers, and no
# debugger for a program that fails, which would wait for good where
# nobody sees it (the process ends instead, and its launcher says so).
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
    [[ $WINEDLLOVERRIDES == *winedbg.exe=d* ]] || WINEDLLOVERRIDES+=";winedbg.exe=d"
    export WINELOADER=$WINE
    # A file-size limit (ulimit -f) would end Wine's processes: the session's
    # server as it writes the registry, and the Windows program, which
    # cannot ignore a Unix signal. Ignored here, the signal is ignored in all
    # of them, and a write past the limit fails as on a full medium. (The
    # winelib program ignores it itself.)
    trap '' XFSZ
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

# ---- Starting Wine's programs ---------------------------------------------

# Runs Wine's loader with the arguments, holding none of the launcher's
# locks: Wine's long-lived processes (the server, the desktop, services)
# inherit every descriptor they are given and would hold a lock for good.
tavro_wine() {
    (tavro_become_wine "$WINE" "$@")
}

# The same for the wineserver.
tavro_wineserver() {
    (tavro_become_wine "$WINESERVER" "$@")
}

# Lets go of the launcher's locks and becomes the program: called in a
# subshell, which then is the program's process. With --with-share the
# program keeps its share of the session's users' lock, so that while it
# runs the session is held by its own process, and it runs in a session of
# its own, out of reach of a signal meant for the launcher (a hang-up, or
# timeout ending it): whatever becomes of the launcher, a pending capture
# takes its picture.
tavro_become_wine() {  # [--with-share] PROGRAM ARGUMENTS...
    [ -z "$TAVRO_PREFIX_LOCK" ] || exec {TAVRO_PREFIX_LOCK}>&-
    # Wine keeps its server's socket in /tmp; Debian 13's server aborts when
    # TMPDIR is set at all (as pam_tmpdir sets it for every login).
    unset TMPDIR
    if [ "$1" = --with-share ]; then
        shift
        exec setsid "$@"
    fi
    [ -z "$TAVRO_SESSION_LOCK" ] || exec {TAVRO_SESSION_LOCK}>&-
    exec "$@"
}

# The helper that starts and keeps sessions: the one tavro_build_target
# chose, else the winelib build's.
tavro_setup_program() {
    TAVRO_SETUP_PROGRAM=${TAVRO_SETUP:-$TAVRO_BUILD/tavro-setup.exe.so}
}

# ---- The prefix -----------------------------------------------------------

# Makes WINEPREFIX absolute and spelt one way (no "//", "/./" or trailing
# "/"): Wine wants an absolute path, and the session's record and the
# search for what a killed session left behind go by it.
tavro_use_prefix() {
    local prefix=$1
    [[ $prefix == /* ]] || prefix=$PWD/$prefix
    while [[ $prefix == *//* ]]; do prefix=${prefix//\/\//\/}; done
    while [[ $prefix == */./* ]]; do prefix=${prefix//\/.\//\/}; done
    prefix=${prefix%/.}
    while [[ $prefix == ?*/ ]]; do prefix=${prefix%/}; done
    export WINEPREFIX=$prefix
}

# The prefix's lock, for the steps that launchers starting together must
# take one at a time; with a number, given up after that many seconds.
tavro_lock_prefix() {  # [SECONDS]
    [ -d "$WINEPREFIX" ] || mkdir -p "$WINEPREFIX"
    exec {TAVRO_PREFIX_LOCK}>"$WINEPREFIX/.tavro-lock"
    flock ${1:+-w "$1"} "$TAVRO_PREFIX_LOCK"
}

tavro_unlock_prefix() {
    [ -z "$TAVRO_PREFIX_LOCK" ] || exec {TAVRO_PREFIX_LOCK}>&-
    TAVRO_PREFIX_LOCK=
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
        if ! tavro_wine wineboot -i >"$TAVRO_STATE/wineboot.log" 2>&1; then
            tavro_unlock_prefix
            tavro_die "creating the Wine prefix failed (log: $TAVRO_STATE/wineboot.log)"
        fi
    fi
    touch "$ready"
    tavro_unlock_prefix
}

# A registry change made with Wine's reg: reg add KEY /v NAME ... /f, or
# reg delete KEY ... /f.
tavro_reg() {
    tavro_wine reg "$@" >/dev/null 2>&1
}

# The dpi of this prefix's screen. Wine reads it when a session starts, so
# the running session, if any, ends; the next one sees it.
tavro_set_dpi() {
    tavro_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f ||
        tavro_die "could not set the dpi to $1 in $WINEPREFIX"
    tavro_stop_wine
}

# ---- The session's record -------------------------------------------------

# The record, a line each: the display and its screen's size, the
# wineserver's socket and process id, the keeper's identity
# (tavro_process_identity), and "xwayland" when the X server is Xwayland;
# read into TAVRO_RECORD_SCREEN, _SOCKET, _SERVER, _KEEPER and _XWAYLAND,
# all empty when there is none.
tavro_read_session_record() {
    TAVRO_RECORD_SCREEN= TAVRO_RECORD_SOCKET= TAVRO_RECORD_SERVER= TAVRO_RECORD_KEEPER=
    TAVRO_RECORD_XWAYLAND=
    [ -f "$WINEPREFIX/.tavro-screen" ] || return 1
    {
        read -r TAVRO_RECORD_SCREEN
        read -r TAVRO_RECORD_SOCKET
        read -r TAVRO_RECORD_SERVER
        read -r TAVRO_RECORD_KEEPER
        read -r TAVRO_RECORD_XWAYLAND
    } <"$WINEPREFIX/.tavro-screen" || true
}

tavro_write_session_record() {  # SCREEN SOCKET SERVER KEEPER [xwayland]
    printf '%s\n' "$@" >"$WINEPREFIX/.tavro-screen"
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

# Whether the process of an identity still runs.
tavro_identity_runs() {
    [ -n "$1" ] && tavro_process_identity "${1% *}" && [ "$TAVRO_PROCESS_IDENTITY" = "$1" ]
}

# Whether the recorded session's keeper runs; while it does, the X server
# the session started on is up.
tavro_session_keeper_runs() {
    tavro_identity_runs "$TAVRO_RECORD_KEEPER"
}

# Whether the recorded session's server runs: it works in its socket's
# folder. A server whose process id could not be found when the session
# started counts as running while its socket is there.
tavro_session_server_lives() {
    [ -n "$TAVRO_RECORD_SOCKET" ] && [ -S "$TAVRO_RECORD_SOCKET" ] || return 1
    [ -z "$TAVRO_RECORD_SERVER" ] ||
        [ "/proc/$TAVRO_RECORD_SERVER/cwd" -ef "${TAVRO_RECORD_SOCKET%/*}" ]
}

# Whether the recorded session serves this DISPLAY's screen.
tavro_session_is_current() {
    local x_socket
    tavro_read_session_record || return 1
    [ "$TAVRO_RECORD_SCREEN" = "$DISPLAY $TAVRO_SCREEN_SIZE" ] || return 1
    # The session's server ended abruptly: its socket stays, unanswered.
    tavro_session_server_lives || return 1
    # An X server started on the same number since the session began.
    x_socket=${DISPLAY#*:}
    x_socket=/tmp/.X11-unix/X${x_socket%%.*}
    ! { [ -S "$x_socket" ] && [ "$x_socket" -nt "$WINEPREFIX/.tavro-screen" ]; }
}

# ---- The session's server -------------------------------------------------

# The socket of this prefix's wineserver (Wine keeps it in a folder of
# /tmp that it names in the prefix); fails before the first server.
tavro_wineserver_socket() {
    local name device inode
    [ -f "$WINEPREFIX/wineserver" ] || return 1
    read -r name <"$WINEPREFIX/wineserver"
    read -r device inode < <(stat -c '%D %i' "$WINEPREFIX")
    printf '/tmp/%s/server-%s-%x/socket\n' "$name" "$device" "$inode"
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

# Ends this prefix's Wine session and takes away what it left in /tmp.
tavro_stop_wine() {
    [ -d "$WINEPREFIX" ] && [ -n "$WINESERVER" ] || return 0
    local socket
    socket=$(tavro_wineserver_socket) || socket=
    tavro_wineserver -k >/dev/null 2>&1 || true
    tavro_wineserver -w >/dev/null 2>&1 || true
    if [ -n "$socket" ]; then
        rm -rf "${socket%/*}"
        rmdir "${socket%/*/*}" 2>/dev/null || true
    fi
    rm -f "$WINEPREFIX/.tavro-screen"
}

# The processes running Wine's programs for this prefix, however its name
# was spelt when they started (found by the prefix in their environment).
tavro_wine_processes() {
    local environ pid entries entry
    while IFS= read -r environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        case $(readlink "/proc/$pid/exe" 2>/dev/null) in "$WINE_DIR"/*) ;; *) continue ;; esac
        mapfile -d '' -t entries <"$environ" 2>/dev/null || continue
        for entry in "${entries[@]}"; do
            [[ $entry == WINEPREFIX=* ]] || continue
            [ "${entry#WINEPREFIX=}" -ef "$WINEPREFIX" ] && echo "$pid"
            break
        done
    done < <(grep -lsz '^WINEPREFIX=' /proc/[0-9]*/environ)
}

# Wine processes that outlived their wineserver (one that ended abruptly
# leaves the session's services and programs behind, for good) are ended.
# Called only while the prefix has no server.
tavro_end_wine_leftovers() {
    local pids
    mapfile -t pids < <(tavro_wine_processes)
    [ ${#pids[@]} -eq 0 ] && return 0
    tavro_log "ending ${#pids[@]} Wine processes left behind by a session that ended abruptly"
    kill -KILL "${pids[@]}" 2>/dev/null || true
}

# ---- Binding the session to this screen -----------------------------------

# Takes a share of the prefix's session for DISPLAY's screen, restarting
# the session first when it serves another screen or none.
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
    # find it current. The wait for another's restart counts towards this
    # start's patience.
    local deadline=$((SECONDS + TAVRO_SESSION_WAIT))
    tavro_lock_prefix "$TAVRO_SESSION_WAIT" || tavro_refuse_start
    if ! tavro_session_is_current; then
        tavro_take_session "$deadline"
        tavro_restart_session
    elif ! tavro_session_keeper_runs; then
        # Its keeper was ended (by hand, say) while the session's X server
        # stayed: a new one keeps it from here on.
        tavro_keep_session
        tavro_write_session_record "$TAVRO_RECORD_SCREEN" "$TAVRO_RECORD_SOCKET" \
            "$TAVRO_RECORD_SERVER" "$TAVRO_KEEPER" "$TAVRO_RECORD_XWAYLAND"
    fi
    # Still under the prefix's lock, so no other restart comes in between.
    flock -s "$TAVRO_SESSION_LOCK"
    tavro_unlock_prefix
}

tavro_restart_session() {
    tavro_stop_wine
    tavro_end_wine_leftovers
    tavro_wineserver -p >/dev/null 2>&1 || true
    # The first program of a session starts its services and desktop,
    # which keep that program's standard output open for as long as the
    # session lasts: a harmless program starts them, with nothing attached.
    tavro_setup_program
    tavro_wine "$TAVRO_SETUP_PROGRAM" --mode </dev/null >/dev/null 2>&1 || true
    local socket server= kind=
    tavro_keep_session
    socket=$(tavro_wineserver_socket) && server=$(tavro_wineserver_pid "$socket") || true
    [ "$TAVRO_SCREEN_XWAYLAND" -eq 0 ] || kind=xwayland
    tavro_write_session_record "$DISPLAY $TAVRO_SCREEN_SIZE" "$socket" "$server" "$TAVRO_KEEPER" \
        "$kind"
}

# Wine ends the desktop a second after its last program and the next
# program starts it again, attached to that program's output: a program
# that stays keeps it for the session. It is waited for until the desktop
# runs, or a program started meanwhile would start a desktop of its own,
# which then held its output for good. It ends when the session's X server
# goes. Its identity (tavro_process_identity) goes into TAVRO_KEEPER.
tavro_keep_session() {
    local keeper kept= pid limit
    tavro_setup_program
    exec {keeper}< <(tavro_become_wine "$WINE" "$TAVRO_SETUP_PROGRAM" --keep-session \
        </dev/null 2>/dev/null)
    pid=$!
    read -r -t 30 -u "$keeper" kept || true
    exec {keeper}<&-
    TAVRO_KEEPER=
    # The Windows program ends its lines as Windows does.
    if [ "${kept%$'\r'}" = kept ] && tavro_process_identity "$pid"; then
        TAVRO_KEEPER=$TAVRO_PROCESS_IDENTITY
        return 0
    fi
    limit=$(ulimit -f)
    # Wine 10's server maps files of several megabytes as it starts.
    [ "$limit" = unlimited ] || tavro_die "the Wine session could not start: Wine's server" \
        "does not run under a file-size limit (ulimit -f is $limit); start once without it, and" \
        "later starts with it use that session"
    tavro_log "the Wine session's desktop could not be kept running"
}

# The session's users' lock, for a restart: at once when nobody runs a
# program in the session or its server is gone (what still runs then is
# left over and is ended); otherwise after the users end, or a refusal.
# The waits hold no other lock, so that a launcher killed while it waits
# keeps nobody else waiting.
tavro_take_session() {  # DEADLINE (in SECONDS)
    flock -x -n "$TAVRO_SESSION_LOCK" && return 0
    if [ -n "$TAVRO_RECORD_SOCKET" ] && ! tavro_session_server_lives; then
        tavro_end_wine_leftovers
        tavro_wait_session_lock 5 && return 0
    fi
    local left=$(($1 - SECONDS)) running
    if [ "$left" -gt 0 ]; then
        running=$(tavro_session_users)
        tavro_log "waiting up to $left s for Tavro to end on the X display" \
            "${TAVRO_RECORD_SCREEN% *}: ${running:-a program} still runs there, and a Wine" \
            "prefix's session serves one screen at a time"
        tavro_wait_session_lock "$left" && return 0
    fi
    tavro_refuse_start
}

tavro_wait_session_lock() {  # SECONDS
    (
        [ -z "$TAVRO_PREFIX_LOCK" ] || exec {TAVRO_PREFIX_LOCK}>&-
        exec flock -x -w "$1" "$TAVRO_SESSION_LOCK"
    )
}

tavro_refuse_start() {
    local running
    tavro_unlock_prefix
    tavro_read_session_record || true
    running=$(tavro_session_users)
    tavro_die "not started: ${running:-a program} still runs on the X display" \
        "${TAVRO_RECORD_SCREEN% *} in $WINEPREFIX; start again when it has ended, or give" \
        "this start a WINEPREFIX of its own"
}

# ---- Runs of the program --------------------------------------------------

# Each launcher's run has its files in the prefix's .tavro-session-runs,
# named by the launcher's identity (its process id and start time):
# NAME.what (what it runs, then the program's identity once it has
# started), NAME.said and NAME.errors (the program's output). The files of
# a run whose launcher and program have both ended go at the next start (a
# killed launcher leaves them).
tavro_begin_run() {  # WHAT...
    local runs=$WINEPREFIX/.tavro-session-runs
    [ -d "$runs" ] || mkdir -p "$runs"
    tavro_sweep_runs
    tavro_process_identity $$
    TAVRO_RUN_FILES=$runs/${TAVRO_PROCESS_IDENTITY/ /-}
    echo "$*" >"$TAVRO_RUN_FILES.what"
    TAVRO_TEMP_FILES+=("$TAVRO_RUN_FILES".{what,said,errors})
}

# The runs still going, into TAVRO_LIVE_RUNS ("'what' (process N)" each),
# after removing the files of those that have ended. A file is written in
# one step, so another launcher reads it whole or empty.
tavro_sweep_runs() {
    local what name text program stale=()
    TAVRO_LIVE_RUNS=()
    for what in "$WINEPREFIX"/.tavro-session-runs/*.what; do
        [ -f "$what" ] || continue
        name=${what##*/}
        name=${name%.what}
        text= program=
        { read -r text; read -r program; } <"$what" || true
        if tavro_identity_runs "$program"; then
            TAVRO_LIVE_RUNS+=("'$text' (process ${program% *})")
        elif tavro_identity_runs "${name/-/ }"; then
            TAVRO_LIVE_RUNS+=("'$text' (process ${name%-*})")
        else
            stale+=("${what%.what}".{what,said,errors})
        fi
    done
    [ ${#stale[@]} -eq 0 ] || rm -f -- "${stale[@]}"
}

tavro_session_users() {
    local run list=
    tavro_sweep_runs
    for run in "${TAVRO_LIVE_RUNS[@]}"; do list+="${list:+, }$run"; done
    echo "$list"
}

# Runs the program with the arguments in the session, holding its share
# (tavro_become_wine --with-share), and passes on what it said. Its output
# goes to files, not pipes: Wine starts and ends a program whose standard
# output or error is a pipe markedly slower (some 25 ms a capture), and a
# pipe stays open while anything the program started runs. On a private screen
# (--live) what it says is passed on as it says it, as it may wait there
# for a tap until Ctrl-C. The exit code is the program's; a run that did
# not end by itself ends the launcher (tavro_judge_run).
tavro_run_program() {  # [--live] PROGRAM ARGUMENTS...
    local live=0 status=0 program passer=
    [ "$1" = --live ] && { live=1; shift; }
    local said=$TAVRO_RUN_FILES.said errors=$TAVRO_RUN_FILES.errors
    : >"$said"  # there before tail follows it
    (tavro_become_wine --with-share "$WINE" "$@") >"$said" 2>"$errors" </dev/null &
    program=$!
    tavro_process_identity "$program" && echo "$TAVRO_PROCESS_IDENTITY" >>"$TAVRO_RUN_FILES.what"
    if [ "$live" -eq 1 ]; then
        tail -n +1 -s 0.1 --pid="$program" -f "$said" | tavro_pass_on_said &
        passer=$!
    fi
    wait "$program" || status=$?
    if [ -n "$passer" ]; then
        wait "$passer" || true
    else
        tavro_pass_on_said <"$said"
    fi
    tavro_pass_on_errors <"$errors"
    shift
    tavro_judge_run "$status" "$@"
}

# The run's files go once the launcher has gone (in the background, so
# that whoever started it does not wait for that), unless its program
# still runs (its launcher was ended): the next start sweeps them then.
tavro_end_run() {
    local text program=
    { read -r text; read -r program; } <"$TAVRO_RUN_FILES.what" 2>/dev/null || true
    ! tavro_identity_runs "$program" || return 0
    rm -f -- "${TAVRO_TEMP_FILES[@]}" </dev/null >/dev/null 2>&1 &
}

# The program's standard output as the user reads it: without the lines it
# says to the launcher alone (tavro-report: ...), and with the places it
# names resolved where they are on disk (the Windows program names them
# through the prefix's drive links, which only the host can follow, and
# ends its lines as Windows does).
tavro_pass_on_said() {
    local line place
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%$'\r'}
        [[ $line == "tavro-report: "* ]] && continue
        if [ "${TAVRO_TARGET:-linux}" = windows ] && [[ $line == /* ]] &&
            place=$(realpath -e -- "$line" 2>/dev/null); then
            line=$place
        fi
        printf '%s\n' "$line"
    done
}

# Its standard error, without Xlib's own words about a lost connection (a
# line and the one after it: the launcher says what happened) and Wine's
# complaint that Z: cannot be read as a device (for every shortcut made).
tavro_pass_on_errors() {
    local line skip=0
    while IFS= read -r line || [ -n "$line" ]; do
        if [[ $line == XIO:* ]]; then
            skip=1
        elif [ "$skip" -eq 1 ]; then
            skip=0
        elif [[ $line != "wine: Read access denied for device"* ]]; then
            printf '%s\n' "$line" >&2
        fi
    done
}

# The program's last word is "tavro-report: ended CODE". Without it, it
# was ended from outside or by a fault: the launcher says how, and which
# picture was not written (its scratch file goes with the next capture
# into that folder), and exits 125.
tavro_judge_run() {  # STATUS ARGUMENTS...
    local status=$1 line ended=0 writing= saved=0 when
    shift
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%$'\r'}
        case $line in
            "tavro-report: ended "*) ended=1 ;;
            "tavro-report: writing "*) writing=${line#tavro-report: writing } ;;
            *) [ -z "$writing" ] || saved=1 ;;
        esac
    done <"$TAVRO_RUN_FILES.said"
    [ "$ended" -eq 0 ] || return "$status"
    if [ "${*,,}" = -config ]; then
        when="while the settings dialog was open"
    elif [ "$saved" -eq 1 ]; then
        when="after the picture above was saved"
    elif [ -n "$writing" ]; then
        when="while writing $(realpath -m -- "$writing"): no picture was written"
    else
        when="before the picture was taken: no picture was written"
    fi
    tavro_read_session_record || true
    if ! tavro_session_server_lives; then
        tavro_die "the Wine session ended $when"
    elif ! tavro_screen_size "$DISPLAY" >/dev/null; then
        tavro_die "the X display $DISPLAY went away $when"
    elif [ "$status" -gt 128 ]; then
        tavro_die "the program was ended by signal $((status - 128)) $when"
    fi
    tavro_die "the program failed (exit status $status, an unhandled exception) $when"
}

# ---- Screens --------------------------------------------------------------

# The size (WIDTHxHEIGHT) of the X display's screen; fails when the display
# cannot be reached.
tavro_screen_size() {
    local info
    info=$(tavro_screen_facts "$1")
    tavro_size_in "$info" || return 1
    echo "$TAVRO_SIZE_FOUND"
}

# What matters of what xdpyinfo says (some 100 KB in all, which the shell
# would take long to read): the screen's dimensions, and whether the server
# is Xwayland (an extension of that name since Xwayland 23.1, an atom of its
# own before).
tavro_screen_facts() {
    xdpyinfo -display "$1" 2>/dev/null | grep -E 'dimensions:|XWAYLAND'
    xlsatoms -display "$1" -name _XWAYLAND_ALLOW_COMMITS 2>/dev/null
}

# The screen's size in what tavro_screen_facts said, into TAVRO_SIZE_FOUND,
# and TAVRO_XWAYLAND_FOUND (1 for Xwayland).
tavro_size_in() {
    [[ $1 =~ dimensions:\ +([0-9]+x[0-9]+) ]] || return 1
    TAVRO_SIZE_FOUND=${BASH_REMATCH[1]}
    TAVRO_XWAYLAND_FOUND=0
    [[ $1 != *XWAYLAND* ]] || TAVRO_XWAYLAND_FOUND=1
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
    if tavro_read_session_record && [ "${TAVRO_RECORD_SCREEN% *}" = "$DISPLAY" ] &&
        tavro_session_keeper_runs; then
        TAVRO_SCREEN_SIZE=${TAVRO_RECORD_SCREEN##* }
        [ -z "$TAVRO_RECORD_XWAYLAND" ] || TAVRO_SCREEN_XWAYLAND=1
        TAVRO_SCREEN_KNOWN=1
        return 0
    fi
    # Before the first install there is nothing to ask with yet.
    command -v xdpyinfo >/dev/null || return 0
    exec {TAVRO_SCREEN_ANSWER}< <(tavro_screen_facts "$DISPLAY")
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

# Makes DISPLAY name a screen to run on. With "own", a DISPLAY that cannot
# be reached is an error (a picture of the user's screen was asked for);
# with "any", a private screen of the given size stands in for it. Without
# DISPLAY, both start a private screen.
tavro_use_screen() {
    local policy=$1 private_screen=$2
    [ "$TAVRO_SCREEN_KNOWN" -eq 1 ] && return 0
    if [ -n "${DISPLAY:-}" ]; then
        # Asked again when the question in the background found no answer:
        # an X server under load may refuse a connection now and then.
        if { [ -n "$TAVRO_SCREEN_ANSWER" ] && tavro_screen_answer; } ||
            tavro_size_in "$(tavro_screen_facts "$DISPLAY")"; then
            TAVRO_SCREEN_SIZE=$TAVRO_SIZE_FOUND
            TAVRO_SCREEN_XWAYLAND=$TAVRO_XWAYLAND_FOUND
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

# Starts an X server of its own with the given screen (WIDTHxHEIGHTxDEPTH)
# on a free display, or on display NUMBER, and says which in
# TAVRO_XVFB_DISPLAY; its process id is TAVRO_XVFB_STARTED. The server runs
# in its own session (Ctrl-C stops the program first and the screen after
# it) and holds none of the launcher's locks.
tavro_xvfb() {  # SCREEN [NUMBER]
    local fifo display=
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/tavro-xvfb.XXXXXX")
    mkfifo "$fifo"
    (
        [ -z "$TAVRO_SESSION_LOCK" ] || exec {TAVRO_SESSION_LOCK}>&-
        [ -z "$TAVRO_PREFIX_LOCK" ] || exec {TAVRO_PREFIX_LOCK}>&-
        exec setsid Xvfb ${2:+":$2"} -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$fifo" \
            </dev/null >/dev/null 2>&1
    ) &
    TAVRO_XVFB_STARTED=$!
    read -r -t 30 display <"$fifo" || true
    rm -f "$fifo"
    TAVRO_XVFB_DISPLAY=$display
    [ -n "$display" ]
}

# A private screen for this script, ended with it: DISPLAY names it.
tavro_start_xvfb() {  # SCREEN
    tavro_session_trap
    tavro_xvfb "$1" || tavro_die "the private X server (Xvfb -screen 0 $1) did not start"
    TAVRO_XVFB_PID=$TAVRO_XVFB_STARTED
    export DISPLAY=:$TAVRO_XVFB_DISPLAY
    TAVRO_SCREEN_SIZE=${1%x*}
}

tavro_stop_xvfb() {
    if [ -n "$TAVRO_XVFB_PID" ]; then
        kill "$TAVRO_XVFB_PID" 2>/dev/null || true
        wait "$TAVRO_XVFB_PID" 2>/dev/null || true
        TAVRO_XVFB_PID=
    fi
}

# ---- Throwaway sessions ---------------------------------------------------

# A prefix for tests, benchmarks and screenshots, cloned from a template
# made once per build, in a folder of the run's own; its session belongs to
# the script and ends with it. Quiet, and no entries in the user's desktop
# menu for the shortcuts made in it.
tavro_throwaway_prefix() {
    tavro_throwaway_environment
    tavro_prefix_template
    tavro_use_prefix "$TAVRO_RUN/wine"
    tavro_clone_prefix "$WINEPREFIX"
    TAVRO_OWNS_WINE=1
}

# The same without the prefix: the run's folder (TAVRO_RUN), Wine quiet and
# kept out of the desktop's menu, and the script's end.
tavro_throwaway_environment() {
    tavro_wine_environment
    tavro_quiet_sound
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
    tavro_session_trap
    tavro_run_folder
}

# A template made once per build and cloned for each run: a fresh prefix
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
        tavro_use_prefix "$template"
        tavro_prepare_prefix
        # No window manager runs on a test screen: Wine draws the frames
        # itself instead of waiting on one that never answers.
        tavro_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
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
        tavro_identity_runs "$owner" && continue
        (tavro_use_prefix "${stale%/}/wine" && tavro_stop_wine)
        rm -rf "$stale"
    done
    TAVRO_RUN=$(mktemp -d "$runs/run.XXXXXX")
    tavro_process_identity $$
    echo "$TAVRO_PROCESS_IDENTITY" >"$TAVRO_RUN/owner"
    TAVRO_TEMP_FILES+=("$TAVRO_RUN")
}

# ---- The script's end -----------------------------------------------------

# The one exit action of a script: the Wine session it owns, then its
# screen, then its temporary files.
tavro_session_end() {
    [ "$TAVRO_OWNS_WINE" -eq 1 ] && tavro_stop_wine
    tavro_stop_xvfb
    [ ${#TAVRO_TEMP_FILES[@]} -eq 0 ] || rm -rf -- "${TAVRO_TEMP_FILES[@]}"
}

tavro_session_trap() {
    trap tavro_session_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
