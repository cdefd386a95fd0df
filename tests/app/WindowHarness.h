#pragma once

#include "app/ContentView.h"
#include "platform/UserDefaults.h"
#include "support/ScriptedUserPrompts.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace quillon::test {

// The real main window over empty settings and scripted prompts, shown offscreen and active.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { prompts = &resetSharedState(); }
    void TearDown() override { window.reset(); }

    // `beforeShow` runs on the new window before it is shown (e.g. to install the menus).
    ContentView& open(
        QSize size = QSize(1200, 800), const std::function<void(ContentView&)>& beforeShow = {})
    {
        window = std::make_unique<ContentView>(*prompts);
        if (beforeShow)
            beforeShow(*window);
        window->resize(size);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents(); // the workspace's session restore
        return *window;
    }
    WorkspaceState& ws() const { return window->workspace(); }
    QString writeDoc(const QString& name, const QByteArray& text) const
    {
        return tree.write(name, text);
    }

    TempTree tree;
    ScriptedUserPrompts* prompts = nullptr;
    std::unique_ptr<ContentView> window;
};

} // namespace quillon::test
