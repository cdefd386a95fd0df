#pragma once

#include "platform/Setting.h"

#include <QStringList>

#include <array>

// The workspace's persisted settings. WorkspaceState reads them at start and stores each one in
// its setter; the settings sheet offers them with these defaults and ranges.
namespace quillon::WorkspaceSettings {

// Points. The setter stores any size; the stepper and the zoom commands keep within the range.
inline const Setting<double> editorFontSize { "editorFontSize", 15.0, 10.0, 36.0 };
inline const Setting<bool> isReadingMode { "isReadingMode", false };
// File extensions the tree lists, without the dot.
inline const Setting<QStringList> activeFileExtensions { "activeFileExtensions",
    { QStringLiteral("md"), QStringLiteral("markdown") } };
inline const Setting<bool> showHiddenFiles { "showHiddenFiles", false };
inline const Setting<bool> confirmFileDeletion { "confirmFileDeletion", true };
// Minutes; 0 means no auto-commit.
inline const Setting<int> autoCommitIntervalMinutes { "autoCommitIntervalMinutes", 3 };
// The intervals the settings offer, in menu order; other stored values are still honoured.
inline constexpr std::array<int, 5> autoCommitIntervalChoices { 0, 1, 3, 5, 10 };
inline const Setting<bool> autoPushAfterCommit { "autoPushAfterCommit", true };

} // namespace quillon::WorkspaceSettings
