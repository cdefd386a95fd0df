#pragma once

#include <QStringList>

#include <memory>

namespace quillon {

class ContentView;
class Updater;

// The application: set up once per process (prompts, git and agent integrations, analytics with
// the launch event), then the updater and the one main window with its menus.
class QuillonApp
{
public:
    QuillonApp();
    ~QuillonApp();

    ContentView& window() const { return *m_window; }
    Updater& updater() const { return *m_updater; }
    // Opens a file or a folder given on the command line, once the workspace has restored the
    // last session.
    void openFromCommandLine(const QString& path);

private:
    std::unique_ptr<Updater> m_updater;
    std::unique_ptr<ContentView> m_window;
};

} // namespace quillon
