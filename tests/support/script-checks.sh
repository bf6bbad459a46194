# The checks of the tests written as scripts (the launcher's, the session
# loss): each failed expectation is told and counted, and ./tavro is run as
# a user runs it. Sourced after tools/common.sh, with TAVRO_RUN made.
TAVRO=$TAVRO_ROOT/tavro
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
expect() {  # expect DESCRIPTION COMMAND...
    local description=$1
    shift
    "$@" || fail "$description"
}
fails() { ! "$@"; }
has() { grep -q -- "$1" <<<"$2"; }
lacks() { ! grep -q -- "$1" <<<"$2"; }

# Runs the launcher; its output, errors, exit code and milliseconds taken
# land in OUT, ERR, STATUS and $TAVRO_RUN/elapsed.
launch() {
    local out=$TAVRO_RUN/out err=$TAVRO_RUN/err start=$EPOCHREALTIME
    STATUS=0
    timeout 300 "$TAVRO" "$@" >"$out" 2>"$err" </dev/null || STATUS=$?
    echo $(((${EPOCHREALTIME/./} - ${start/./}) / 1000)) >"$TAVRO_RUN/elapsed"
    OUT=$(<"$out")
    ERR=$(<"$err")
}

# Waits until the command succeeds, 10 s at most.
wait_until() {
    local tries
    for tries in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}
