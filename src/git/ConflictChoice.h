#pragma once

namespace quillon {

// Which side of a conflicted file is kept: the local one or the one from the remote.
enum class ConflictChoice { keepOurs, keepTheirs };

} // namespace quillon
