#pragma once

namespace quillon {

// What the process does once at start, before the first WorkspaceState exists: the real prompts,
// the git and agent integrations behind the workspace's seams, and the analytics client with the
// launch event.
void setUpApplication();

} // namespace quillon
