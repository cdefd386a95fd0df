#!/bin/sh
# Fake agent: changes files in its working directory the way an agent edits a workspace.
printf 'changed by the agent\n' > notes.md
printf '# New\n' > created.md
echo "Wrote notes.md"
echo "Creating created.md"
