#pragma once

#include <QObject>

namespace quillon {

// Menu commands travel from the menus to whoever handles them through this one object: one signal
// per command. Posting is emitting; handlers connect to the signal they serve.
class CommandBus : public QObject
{
    Q_OBJECT
public:
    static CommandBus& shared();

Q_SIGNALS:
    void openFile();
    void openFolder();
    void saveFile();
    void saveFileAs();
    void openGitRepo();
    void syncGit();
    void openSettings();
    void toggleAgentChat();
    void zoomIn();
    void zoomOut();
    void zoomReset();
    void focusGlobalSearch();
    void toggleLocalSearch();
    // A project-search hit was opened: the editors select and reveal this 1-based line.
    void scrollToLine(int line);
};

} // namespace quillon
