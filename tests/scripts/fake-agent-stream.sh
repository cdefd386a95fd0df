#!/bin/sh
# Fake agent: writes its output in separate pieces, splits multi-byte characters across writes,
# writes to standard error, and fails.
printf 'Wrote notes.md\nEdit done\n'
sleep 0.2
printf 'caf\303'
sleep 0.2
printf '\251 \342'
sleep 0.2
printf '\202\254 ok\n'
sleep 0.2
printf 'to stderr\n' >&2
sleep 0.2
printf 'Updated /tmp/a and docs/b.txt\n'
sleep 0.2
exit 3
