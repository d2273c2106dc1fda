#!/bin/bash
# The init scripts pass "sh -n" (and BusyBox ash's), and /etc/init.d/qor-watchdog
# starts, reports and stops this build's qor-watchdog in the hub sandbox, run
# by the hub's shell (BusyBox ash with its start-stop-daemon), by dash with
# Debian's start-stop-daemon, and by a shell that has no start-stop-daemon.
# Usage: init_watchdog_test.sh INIT_DIR PROGRAM_DIR TOOLS_BIN
set -u
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures failed" >&2
        exit 1
    fi
    echo "$1"
    exit 0
}

PIDFILE=/var/qor-watchdog.pid

# --- inside the sandbox -------------------------------------------------------
# SHELL_CMD runs the script; SIGHUP_IGNORED tells how the daemon must have been
# started (1: the fallback without start-stop-daemon, 0: start-stop-daemon).
inside() {
    local label=$1 hup_ignored=$2
    shift 2
    local -a run=(timeout 30 "$@" /etc/init.d/qor-watchdog)
    local out status pid pid2

    # Runs the script with an action into $out and $status; through a file, not
    # a pipe, which a daemon left holding it would keep open.
    invoke() {
        "${run[@]}" "$1" >/tmp/init-out 2>&1
        status=$?
        out=$(cat /tmp/init-out)
    }

    say() { echo "[$label] $*"; }
    alive() { [ -d "/proc/$1" ] && ! grep -q '^State:[[:space:]]*[ZX]' "/proc/$1/status" 2>/dev/null; }
    watchdogs() {
        local p n=0
        for p in /proc/[0-9]*; do
            [ "$(readlink "$p/exe" 2>/dev/null)" = "$QOR_SBIN/qor-watchdog" ] && alive "${p#/proc/}" && n=$((n + 1))
        done
        echo "$n"
    }

    invoke status
    [ "$status" -eq 3 ] || fail "[$label] status before start: exit $status, not 3 ($out)"

    SECONDS=0
    invoke start
    say "start: $out (exit $status, ${SECONDS}s)"
    [ "$status" -eq 0 ] || fail "[$label] start: exit $status"
    [ "$SECONDS" -le 6 ] || fail "[$label] start took ${SECONDS}s: not detached?"
    if [ ! -f "$PIDFILE" ]; then
        fail "[$label] no pid file after start"
        return
    fi
    pid=$(cat "$PIDFILE")
    [[ $pid =~ ^[0-9]+$ ]] || fail "[$label] pid file holds '$pid', not a number without line end"
    [ "$(readlink "/proc/$pid/exe")" = "$QOR_SBIN/qor-watchdog" ] ||
        fail "[$label] pid $pid is not this build's qor-watchdog"
    [[ $out == *"(pid $pid)"* ]] || fail "[$label] start does not name pid $pid: $out"
    local ignored caught
    ignored=$(awk '/^SigIgn:/ { print $2 }' "/proc/$pid/status")
    caught=$(awk '/^SigCgt:/ { print $2 }' "/proc/$pid/status")
    [ $((0x$ignored & 1)) -eq "$hup_ignored" ] ||
        fail "[$label] SIGHUP ignored=$((0x$ignored & 1)), expected $hup_ignored: the wrong way of starting"
    [ $((0x$caught & 0x200)) -ne 0 ] || fail "[$label] qor-watchdog does not catch SIGUSR1"

    sleep 1
    alive "$pid" || fail "[$label] qor-watchdog did not outlive the start"
    kill -USR1 "$pid"
    sleep 0.2
    alive "$pid" || fail "[$label] qor-watchdog died of a check-in"

    invoke status
    [ "$status" -eq 0 ] || fail "[$label] status while running: exit $status ($out)"
    [[ $out == *"is running (pid $pid)"* ]] || fail "[$label] status says: $out"

    invoke start
    [ "$status" -eq 0 ] || fail "[$label] second start: exit $status"
    [[ $out == *"already running"* ]] || fail "[$label] second start says: $out"
    [ "$(watchdogs)" -eq 1 ] || fail "[$label] $(watchdogs) qor-watchdog processes after a second start"
    [ "$(cat "$PIDFILE")" = "$pid" ] || fail "[$label] second start changed the pid file"

    invoke stop
    say "stop: $out (exit $status)"
    [ "$status" -eq 0 ] || fail "[$label] stop: exit $status"
    alive "$pid" && fail "[$label] pid $pid still runs after stop"
    [ ! -e "$PIDFILE" ] || fail "[$label] pid file left after stop"
    invoke status
    [ "$status" -eq 3 ] || fail "[$label] status after stop: exit $status, not 3 ($out)"
    [[ $out == *"not running"* ]] || fail "[$label] status after stop says: $out"

    # A stale pid file naming a live process that is no qor-watchdog (pid 1).
    printf 1 >"$PIDFILE"
    invoke status
    [ "$status" -eq 1 ] || fail "[$label] status with a stale pid file: exit $status, not 1 ($out)"
    invoke stop
    [ "$status" -eq 0 ] || fail "[$label] stop with a stale pid file: exit $status"
    alive 1 || fail "[$label] stop with a stale pid file killed pid 1"
    printf 1 >"$PIDFILE"
    invoke start
    [ "$status" -eq 0 ] || fail "[$label] start over a stale pid file: exit $status ($out)"
    pid2=$(cat "$PIDFILE" 2>/dev/null)
    [ "$(readlink "/proc/$pid2/exe" 2>/dev/null)" = "$QOR_SBIN/qor-watchdog" ] ||
        fail "[$label] start over a stale pid file did not start qor-watchdog"
    invoke restart
    [ "$status" -eq 0 ] || fail "[$label] restart: exit $status ($out)"
    pid=$(cat "$PIDFILE" 2>/dev/null)
    if [ "$pid" = "$pid2" ] || ! alive "$pid" || alive "$pid2"; then
        fail "[$label] restart did not replace pid $pid2"
    fi
    invoke stop
    if [ "$status" -ne 0 ] || [ "$(watchdogs)" -ne 0 ]; then
        fail "[$label] final stop: exit $status, $(watchdogs) left"
    fi

    invoke bogus
    [ "$status" -eq 2 ] || fail "[$label] unknown action: exit $status, not 2"
}

if [ "${1:-}" = --inside ]; then
    # No start-stop-daemon anywhere: a folder with just the tools the script needs.
    plain=/tmp/plain-bin
    mkdir -p "$plain"
    for tool in cat rm sleep; do ln -s "$(command -v busybox || echo /bin/ash)" "$plain/$tool"; done
    # Signals ignored on entry stay ignored: then SIGHUP cannot tell the ways apart.
    inherited=$((0x$(awk '/^SigIgn:/ { print $2 }' /proc/$$/status) & 1))
    inside "ash" "$inherited" /bin/ash
    inside "dash" "$inherited" /bin/dash
    inside "no start-stop-daemon" 1 /usr/bin/env PATH="$plain" /bin/dash
    env PATH="$plain" /bin/dash -c 'command -v start-stop-daemon' >/dev/null &&
        fail "start-stop-daemon is found without it"
    finish "watchdog init script: all checks passed in the hub sandbox"
fi

# --- outside ----------------------------------------------------------------------
init_dir=$(readlink -f "$1")
program_dir=$(readlink -f "$2")
tools_bin=$3
for script in qor-watchdog qor-startup; do
    sh -n "$init_dir/$script" || fail "$script: sh -n"
    busybox ash -n "$init_dir/$script" || fail "$script: busybox ash -n"
    [ -x "$init_dir/$script" ] || fail "$script is not executable"
    grep -q '^### BEGIN INIT INFO' "$init_dir/$script" || fail "$script has no LSB header"
done
grep -qE '^# X-Start-Before:.*\borvelusb\b' "$init_dir/qor-startup" ||
    fail "qor-startup does not start before orvelusb"
[ "$failures" -eq 0 ] || finish ""

QOR_SBIN=$program_dir "$tools_bin/qor-sandbox" \
    --put "$init_dir/qor-watchdog=/etc/init.d/qor-watchdog" --keep "$program_dir" \
    -- /usr/bin/env QOR_SBIN="$program_dir" /bin/bash "$(readlink -f "$0")" --inside
