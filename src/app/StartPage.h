#pragma once

#include "workspace/RecentEntity.h"

#include <QList>
#include <QPixmap>
#include <QScrollArea>

class QLabel;
class QVBoxLayout;

namespace quillon {

class StartPageActionButton;
class StartPageCard;

// What the detail column shows while no document is open: a mascot, a greeting, three actions
// (open a folder, open a file, connect a git repository) and the ten most recent working folders.
// Passive: the actions come out as signals.
class StartPage : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int kMaxWorkingFolders = 10;
    static constexpr int kMascotSize = 300;

    explicit StartPage(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

    void setDarkMode(bool dark);
    void setRecents(const QList<RecentEntity>& recents);
    // Draws a new mascot among "ghost-1", "ghost-2" and "ghost-3" and shows it.
    void drawMascot();
    QString mascotName() const { return m_mascotName; }
    // The folders the page lists: the first ten folders of the recents, files skipped.
    static QList<RecentEntity> workingFolders(const QList<RecentEntity>& recents);
    // The mascot image: the first of the candidate names (in dark mode name-dark, name,
    // ghost-dark, ghost; else name, ghost) found among the application's resources or under
    // design-system/assets/ or designs/ of the current folder. Null when none loads.
    static QPixmap loadMascot(
        const QString& name, bool isDark, int size, qreal devicePixelRatio = 1);

    QList<StartPageActionButton*> actionButtons() const { return m_actions; }
    // The rows of the working folders, in order (buttons whose property "path" is the folder).
    QList<QWidget*> recentRows() const { return m_rows; }
    bool showsWorkingFolders() const;
    // True when the mascot image loaded (else the page shows "Hm...").
    bool showsMascotImage() const;

Q_SIGNALS:
    void openFolderRequested();
    void openFileRequested();
    void connectGitRequested();
    void recentFolderRequested(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildRows();
    void applyColors();
    void showMascot();

    bool m_isDarkMode = false;
    QString m_mascotName;
    QList<RecentEntity> m_recents;
    QLabel* m_mascot = nullptr;
    QLabel* m_greeting = nullptr;
    QLabel* m_subtitle = nullptr;
    QWidget* m_foldersSection = nullptr;
    QLabel* m_foldersHeader = nullptr;
    QLabel* m_foldersIcon = nullptr;
    StartPageCard* m_card = nullptr;
    QVBoxLayout* m_cardLayout = nullptr;
    QList<StartPageActionButton*> m_actions;
    QList<QWidget*> m_rows;
};

} // namespace quillon
