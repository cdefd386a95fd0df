#include "platform/UserPrompts.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(UserPrompts, WithoutAnswersAlertsTakeTheLastButtonAndPanelsCancel)
{
    UserPrompts::install(nullptr);
    UserPrompts& prompts = UserPrompts::current();
    const UserPrompts::Alert alert { QStringLiteral("Do you want to save changes?"), QString(),
        { QStringLiteral("Save"), QStringLiteral("Don't Save"), QStringLiteral("Cancel") }, true };
    EXPECT_EQ(prompts.runAlert(alert), 2);
    EXPECT_EQ(prompts.runSavePanel({}), std::nullopt);
    EXPECT_EQ(prompts.runOpenPanel({}), std::nullopt);
}

TEST(UserPrompts, ScriptedAnswersAreUsedInOrderAndQuestionsRecorded)
{
    ScriptedUserPrompts& scripted = ScriptedUserPrompts::installNew();
    EXPECT_EQ(&UserPrompts::current(), &scripted);
    scripted.queueAlertAnswer(QStringLiteral("Move to Trash"));
    scripted.queueAlertAnswer(1);
    scripted.queueSavePanelAnswer(QStringLiteral("/w/new.md"));
    scripted.queueSavePanelAnswer(std::nullopt);

    const UserPrompts::Alert trash { QStringLiteral("Delete 'notes.md'?"), QString(),
        { QStringLiteral("Move to Trash"), QStringLiteral("Cancel") }, true };
    EXPECT_EQ(UserPrompts::current().runAlert(trash), 0);
    EXPECT_EQ(UserPrompts::current().runAlert(trash), 1);
    EXPECT_EQ(UserPrompts::current().runAlert(trash), 1); // queue empty: last button

    UserPrompts::SavePanel save;
    save.proposedName = QStringLiteral("Untitled.md");
    EXPECT_EQ(UserPrompts::current().runSavePanel(save), QStringLiteral("/w/new.md"));
    EXPECT_EQ(UserPrompts::current().runSavePanel(save), std::nullopt);

    ASSERT_EQ(scripted.alerts().size(), 3);
    EXPECT_EQ(scripted.alerts().first().message, QStringLiteral("Delete 'notes.md'?"));
    ASSERT_EQ(scripted.savePanels().size(), 2);
    EXPECT_EQ(scripted.savePanels().first().proposedName, QStringLiteral("Untitled.md"));

    int seen = 0;
    scripted.setAlertHandler([&seen](const UserPrompts::Alert&) { return ++seen; });
    EXPECT_EQ(UserPrompts::current().runAlert(trash), 1);
    UserPrompts::install(nullptr);
}
