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
