#!/bin/sh
# Fake agent: leaves a background child that keeps the output open, and exits at once.
echo main
(sleep 3; echo late) &
exit 0
