#!/bin/sh
# Stands in for git where the real one cannot be made to fail on cue (a remote that refuses the
# credentials, a network that is down). Every run is appended to $FAKE_GIT_LOG: one line "ARGS"
# followed by the arguments one per line, then the GIT_CONFIG_* and locale/prompt settings it received.
# When the subcommand equals $FAKE_GIT_FAIL_ON, it prints $FAKE_GIT_STDERR to standard error and
# exits with $FAKE_GIT_EXIT (128 by default). When it equals $FAKE_GIT_HANG_ON, it starts a child
# that never ends, writes the child's id to $FAKE_GIT_HANG_PIDFILE and waits for it, like a git
# whose remote helper stopped answering. When it equals $FAKE_GIT_BREAK_AFTER, the real git runs,
# then this file (use a copy) makes itself impossible to start: "unexecutable" or "removed" as
# $FAKE_GIT_BREAK_HOW says. Every other run is handed to the real git.
if [ -n "$FAKE_GIT_LOG" ]; then
    {
        echo "ARGS"
        for arg in "$@"; do echo "$arg"; done
        echo "ENV"
        env | grep -E '^(GIT_CONFIG_|GIT_TERMINAL_PROMPT=|LC_ALL=|GIT_OPTIONAL_LOCKS=|GIT_LITERAL_PATHSPECS=)' | sort
        echo "END"
    } >>"$FAKE_GIT_LOG"
fi
if [ -n "$FAKE_GIT_FAIL_ON" ] && [ "$1" = "$FAKE_GIT_FAIL_ON" ]; then
    printf '%s\n' "$FAKE_GIT_STDERR" >&2
    exit "${FAKE_GIT_EXIT:-128}"
fi
if [ -n "$FAKE_GIT_HANG_ON" ] && [ "$1" = "$FAKE_GIT_HANG_ON" ]; then
    sleep 3600 &
    [ -n "$FAKE_GIT_HANG_PIDFILE" ] && echo $! >"$FAKE_GIT_HANG_PIDFILE"
    wait
    exit 1
fi
if [ -n "$FAKE_GIT_BREAK_AFTER" ] && [ "$1" = "$FAKE_GIT_BREAK_AFTER" ]; then
    "${FAKE_GIT_REAL:-/usr/bin/git}" "$@"
    status=$?
    if [ "$FAKE_GIT_BREAK_HOW" = removed ]; then rm -f "$0"; else chmod a-x "$0"; fi
    exit $status
fi
exec "${FAKE_GIT_REAL:-/usr/bin/git}" "$@"
