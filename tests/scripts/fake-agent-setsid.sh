#!/bin/sh
# Fake agent: starts two processes in sessions of their own (one ignores SIGTERM), records their
# ids and its own in $FAKE_AGENT_RECORD_DIR, then runs until stopped.
dir=${FAKE_AGENT_RECORD_DIR:?}
setsid sh -c 'echo $$ > "$1/escaped.tmp" && mv "$1/escaped.tmp" "$1/escaped"; exec sleep 300' \
    sh "$dir" &
setsid sh -c 'trap "" TERM; echo $$ > "$1/stubborn.tmp" && mv "$1/stubborn.tmp" "$1/stubborn"
    exec sleep 300' sh "$dir" &
while [ ! -s "$dir/escaped" ] || [ ! -s "$dir/stubborn" ]; do sleep 0.01; done
echo $$ > "$dir/child"
echo started
sleep 300
