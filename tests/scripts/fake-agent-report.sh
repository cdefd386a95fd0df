#!/bin/sh
# Fake agent: records what it was given into $FAKE_AGENT_RECORD_DIR: the arguments (each followed
# by a NUL byte), the working directory, PATH, the marker variable and what its stdin is.
dir="${FAKE_AGENT_RECORD_DIR:?}"
printf '%s\0' "$@" > "$dir/args"
pwd > "$dir/cwd"
printf '%s' "$PATH" > "$dir/path"
printf '%s' "${FAKE_AGENT_MARK-unset}" > "$dir/mark"
readlink "/proc/$$/fd/0" > "$dir/stdin"
echo reported
