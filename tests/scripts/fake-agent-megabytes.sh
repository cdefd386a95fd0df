#!/bin/sh
# Fake agent: prints $FAKE_AGENT_BYTES bytes (5 MB unless set) of text lines as fast as it can.
yes 'The agent explains the document line by line, with enough words to wrap in the panel.' |
    head -c "${FAKE_AGENT_BYTES:-5242880}"
echo
echo END
