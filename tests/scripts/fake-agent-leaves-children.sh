#!/bin/sh
# Fake agent: leaves behind a background child and a process in a session of its own that
# ignores SIGTERM, records their ids in $FAKE_AGENT_RECORD_DIR, and ends at once.
dir=${FAKE_AGENT_RECORD_DIR:?}
sleep 300 &
echo $! > "$dir/background"
setsid sh -c 'trap "" TERM; echo $$ > "$1/stubborn.tmp" && mv "$1/stubborn.tmp" "$1/stubborn"
    exec sleep 300' sh "$dir" &
while [ ! -s "$dir/stubborn" ]; do sleep 0.01; done
echo done
