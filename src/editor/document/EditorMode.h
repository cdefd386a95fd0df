#pragma once

namespace quillon {

// Which editors the editor column shows: the source pane alone, the block editor alone, or both
// side by side (source on the left).
enum class EditorMode { SourceOnly, Blocks, BlocksSplit };

inline constexpr EditorMode kDefaultEditorMode = EditorMode::BlocksSplit;

} // namespace quillon
