#!/bin/sh
# Fake agent: says it started, then works for a long while (ends on SIGTERM).
echo working
sleep 60
echo finished
