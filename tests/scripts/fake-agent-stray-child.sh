#!/bin/sh
# Fake agent: starts a grandchild that ignores SIGTERM, records both process ids in
# $FAKE_AGENT_RECORD_DIR, and itself ends on SIGTERM.
(trap '' TERM; exec sleep 300) &
echo $! > "${FAKE_AGENT_RECORD_DIR:?}/grandchild"
echo $$ > "$FAKE_AGENT_RECORD_DIR/child"
echo started
sleep 300
