#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillon {

// What the program asks the user in modal alerts and open/save panels. The window installs the
// widget implementation at start; tests install scripted answers. Main thread only.
class UserPrompts
{
public:
    struct Alert
    {
        QString message;
        QString informativeText;
        QStringList buttons;
        bool warning = false;
    };
    struct SavePanel
    {
        QString title;
        QString prompt;
        QString proposedName;
        QString directory;
        QStringList nameFilters;
        bool canCreateDirectories = true;
    };
    struct OpenPanel
    {
        QString title;
        QString prompt = QStringLiteral("Open"); // the confirm button
        QString directory;
        bool chooseFiles = true;
        bool chooseDirectories = false;
        QStringList nameFilters;
    };

    virtual ~UserPrompts() = default;
    virtual int runAlert(const Alert& alert) = 0; // index of the chosen button (0-based)
    virtual std::optional<QString> runSavePanel(const SavePanel&)
        = 0; // chosen path, nullopt = cancelled
    virtual std::optional<QString> runOpenPanel(const OpenPanel&) = 0;

    // The installed one; until something is installed, one that answers every alert with its
    // last button (usually "Cancel") and cancels every panel: with no one to ask, nothing is done.
    static UserPrompts& current();
    static void install(std::unique_ptr<UserPrompts> prompts);
};

} // namespace quillon
