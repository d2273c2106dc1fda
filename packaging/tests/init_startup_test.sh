#!/bin/bash
# /etc/init.d/qor-startup runs this build's qor-startup once, in the foreground,
# in the hub sandbox with the simulated controller and no USB stick, run by the
# hub's shell (BusyBox ash): the task ends quickly with exit status 0 and the
# controller watchdog armed for 300 seconds. The script passes on the task's
# exit status and refuses the actions that make no sense for a one-off task.
# Usage: init_startup_test.sh INIT_DIR PROGRAM_DIR TOOLS_BIN
set -u
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if [ "${1:-}" = --inside ]; then
    SECONDS=0
    timeout 60 /bin/ash /etc/init.d/qor-startup start >/tmp/start-out 2>&1
    status=$?
    out=$(cat /tmp/start-out)
    printf '%s\n' "$out" | sed 's/^/[start] /'
    [ "$status" -eq 0 ] || fail "start: exit $status, not 0"
    [ "$SECONDS" -le 20 ] || fail "start took ${SECONDS}s"
    for line in "qor-startup version 2.0" "qor-startup: Chip watchdog set to 5 minutes." \
        "$(printf '\tFound 0')" "QOR startup task is complete."; do
        grep -qxF -- "$line" /tmp/start-out || fail "start: no line '$line'"
    done

    # The script passes on the task's status.
    mkdir -p /tmp/failing
    printf '#!/bin/sh\nexit 1\n' >/tmp/failing/qor-startup
    chmod 755 /tmp/failing/qor-startup
    QOR_SBIN=/tmp/failing /bin/ash /etc/init.d/qor-startup start
    status=$?
    [ "$status" -eq 1 ] || fail "start with a failing task: exit $status, not 1"
    QOR_SBIN=/nonexistent /bin/ash /etc/init.d/qor-startup start 2>/dev/null
    status=$?
    [ "$status" -eq 5 ] || fail "start without the program: exit $status, not 5"

    /bin/ash /etc/init.d/qor-startup stop
    status=$?
    [ "$status" -eq 0 ] || fail "stop: exit $status, not 0"
    /bin/ash /etc/init.d/qor-startup status >/dev/null
    status=$?
    [ "$status" -eq 3 ] || fail "status: exit $status, not 3"
    /bin/ash /etc/init.d/qor-startup restart 2>/dev/null
    status=$?
    [ "$status" -eq 3 ] || fail "restart: exit $status, not 3"
    /bin/ash /etc/init.d/qor-startup bogus 2>/dev/null
    status=$?
    [ "$status" -eq 2 ] || fail "unknown action: exit $status, not 2"
    [ "$failures" -eq 0 ] || exit 1
    exit 0
fi

init_dir=$(readlink -f "$1")
program_dir=$(readlink -f "$2")
tools_bin=$3
sh -n "$init_dir/qor-startup" || fail "qor-startup: sh -n"
[ -x "$program_dir/qor-startup" ] || { echo "FAIL: $program_dir/qor-startup is missing" >&2; exit 1; }

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
"$tools_bin/qor-sandbox" --results "$results" \
    --put "$init_dir/qor-startup=/etc/init.d/qor-startup" --keep "$program_dir" \
    -- /usr/bin/env QOR_SBIN="$program_dir" /bin/bash "$(readlink -f "$0")" --inside
status=$?
[ "$status" -eq 77 ] && exit 77
[ "$status" -eq 0 ] || fail "in the sandbox: exit $status"
# The first run, the real task, armed the controller watchdog for 300 seconds.
grep -q '"what":"watchdog","armed":true,"period":300' "$results/sim-record.jsonl" 2>/dev/null ||
    fail "the controller watchdog was not armed for 300 seconds"

if [ "$failures" -gt 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "startup init script: all checks passed in the hub sandbox"
