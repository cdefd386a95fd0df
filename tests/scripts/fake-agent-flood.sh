#!/bin/sh
# Fake agent: writes a lot of output as fast as it can and exits at once.
i=0
while [ $i -lt 3000 ]; do
    echo "line $i of the flood, padded to make the output longer than one pipe buffer....."
    i=$((i + 1))
done
echo END
