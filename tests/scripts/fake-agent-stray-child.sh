#!/bin/sh
# Fake agent: starts a grandchild that ignores SIGTERM, records both process ids in
# $FAKE_AGENT_RECORD_DIR, and itself ends on SIGTERM. "started" comes only once the grandchild
# ignores SIGTERM, so a stop sent right after it cannot catch the grandchild still starting.
grandchild="${FAKE_AGENT_RECORD_DIR:?}/grandchild"
rm -f "$grandchild"
sh -c 'trap "" TERM; echo $$ > "$1.tmp" && mv "$1.tmp" "$1"; exec sleep 300' sh "$grandchild" &
while [ ! -s "$grandchild" ]; do sleep 0.01; done
echo $$ > "$FAKE_AGENT_RECORD_DIR/child"
echo started
sleep 300
