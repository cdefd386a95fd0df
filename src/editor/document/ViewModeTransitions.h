#pragma once

#include "editor/document/EditorMode.h"

namespace quillon {

enum class EditorPane { Source, Blocks };

// What the view-mode toggle's buttons show and do: each button is lit while its pane is shown;
// a click hides a shown pane or shows a hidden one, but never hides the last pane shown.
namespace ViewModeTransitions {

constexpr bool isShown(EditorMode mode, EditorPane pane)
{
    if (pane == EditorPane::Source)
        return mode != EditorMode::Blocks;
    return mode != EditorMode::SourceOnly;
}

constexpr EditorMode afterClick(EditorMode mode, EditorPane pane)
{
    switch (mode) {
    case EditorMode::SourceOnly:
        return pane == EditorPane::Blocks ? EditorMode::BlocksSplit : mode;
    case EditorMode::Blocks:
        return pane == EditorPane::Source ? EditorMode::BlocksSplit : mode;
    case EditorMode::BlocksSplit:
        return pane == EditorPane::Source ? EditorMode::Blocks : EditorMode::SourceOnly;
    }
    return mode;
}

} // namespace ViewModeTransitions

} // namespace quillon
