#!/bin/sh
# Fake agent: ignores SIGTERM, starts a grandchild (which inherits that), records both process
# ids in $FAKE_AGENT_RECORD_DIR and runs until killed.
trap '' TERM
sleep 300 &
echo $! > "${FAKE_AGENT_RECORD_DIR:?}/grandchild"
echo $$ > "$FAKE_AGENT_RECORD_DIR/child"
echo started
while :; do sleep 1; done
