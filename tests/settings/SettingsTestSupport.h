#pragma once

#include "agent/AgentProcessBridge.h"
#include "analytics/AnalyticsEvent.h"
#include "analytics/AnalyticsManager.h"
#include "git/KeychainManager.h"
#include "platform/UserDefaults.h"
#include "settings/SettingsTabButton.h"
#include "settings/SettingsView.h"
#include "support/SecretStoreMemory.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

namespace quillon::test {

// The settings sheet over a real workspace, bridge and settings file, shown offscreen, with the
// tab events it reported. Tokens go to an in-memory keyring unless the test picks another.
struct SheetHarness
{
    TempTree tree;
    std::shared_ptr<SecretStoreMemory> keyring = std::make_shared<SecretStoreMemory>();
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<AgentProcessBridge> bridge;
    std::unique_ptr<SettingsView> sheet;
    QList<AnalyticsEvent> tracked;

    SheetHarness()
    {
        resetSharedState();
        KeychainManager::setStore(keyring);
        start();
        open();
    }
    ~SheetHarness()
    {
        sheet.reset();
        bridge.reset();
        workspace.reset();
        KeychainManager::setStore(nullptr);
    }
    void start()
    {
        workspace = std::make_unique<WorkspaceState>();
        workspace->setFolderURL(tree.path());
        bridge = std::make_unique<AgentProcessBridge>(workspace.get());
        QApplication::processEvents();
    }
    void open()
    {
        sheet = std::make_unique<SettingsView>(*workspace, *bridge, AnalyticsManager::shared(),
            [this](const AnalyticsEvent& event) { tracked.append(event); });
        sheet->show();
        QApplication::setActiveWindow(sheet.get());
        QApplication::processEvents();
    }
    // Quits and starts again: the settings are read back from the file on disk.
    void restart()
    {
        sheet.reset();
        bridge.reset();
        workspace.reset();
        reloadStandardDefaults();
        start();
        open();
    }
    QJsonObject settingsFile() const
    {
        QFile file(UserDefaults::standard().filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    void selectTab(SettingsSession::Tab tab) const
    {
        QTest::mouseClick(sheet->tabButton(tab), Qt::LeftButton);
        QApplication::processEvents();
    }
    static void click(QWidget* widget)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        QApplication::processEvents();
    }
    static void typeInto(QWidget* field, const QString& text)
    {
        field->setFocus();
        QTest::keyClicks(field, text);
        QApplication::processEvents();
    }
};

} // namespace quillon::test
