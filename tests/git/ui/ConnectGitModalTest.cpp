#include "GitUiFixture.h"

#include "git/ui/ConnectGitModalView.h"

#include "ui/AppColors.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quillon;
using test::GitRemoteFixture;
using test::TempTree;
using test::waitUntil;

namespace {

class ConnectGitModalTest : public test::GitUiFixture
{
protected:
    static QLineEdit* field(ConnectGitModalView& dialog, const char* name)
    {
        return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    static QPushButton* button(ConnectGitModalView& dialog, const QString& title)
    {
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->text() == title)
                return b;
        return nullptr;
    }
    static void type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        QTest::keyClicks(edit, text);
    }
};

TEST_F(ConnectGitModalTest, CloneAndOpenNeedsAnAddressAndAFolder)
{
    auto state = open({});
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    QPushButton* connectButton = dialog.findChild<QPushButton*>("cloneAndOpen");
    ASSERT_NE(connectButton, nullptr);
    type(field(dialog, "repositoryURL"), " \t ");
    EXPECT_FALSE(connectButton->isEnabled());
    type(field(dialog, "repositoryURL"), "https://example.com/r.git");
    EXPECT_FALSE(connectButton->isEnabled()) << "no destination yet";

    TempTree folder;
    prompts().queueOpenPanelAnswer(folder.path());
    QTest::mouseClick(button(dialog, "Browse..."), Qt::LeftButton);
    EXPECT_EQ(dialog.targetFolder(), folder.path());
    EXPECT_TRUE(connectButton->isEnabled());
    // A folder panel with a confirm button of its own and no title.
    ASSERT_EQ(prompts().openPanels().size(), 1);
    EXPECT_EQ(prompts().openPanels().first().title, QString());
    EXPECT_EQ(prompts().openPanels().first().prompt, QStringLiteral("Select Folder"));
    EXPECT_TRUE(prompts().openPanels().first().chooseDirectories);
    EXPECT_FALSE(prompts().openPanels().first().chooseFiles);
}

// A line under the header spans the sheet's content, and "Clone & Open" is the filled accent
// button, in both appearances.
TEST_F(ConnectGitModalTest, ARuleUnderTheHeaderAndAFilledCloneButtonInBothAppearances)
{
    TempTree folder;
    auto state = open(folder.path());
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    type(field(dialog, "repositoryURL"), "https://example.com/r.git");
    auto label = [&](const QString& text) {
        for (QLabel* l : dialog.findChildren<QLabel*>())
            if (l->text() == text)
                return l;
        return static_cast<QLabel*>(nullptr);
    };
    for (bool dark : { false, true }) {
        dialog.setPalette(AppColors::palette(dark));
        dialog.show();
        QApplication::processEvents();
        const QImage image = dialog.grab().toImage();
        const int headerBottom = label("Connect Git Repository")->mapTo(&dialog, QPoint(0, 0)).y()
            + label("Connect Git Repository")->height();
        const int urlTop = label("Repository URL")->mapTo(&dialog, QPoint(0, 0)).y();
        const QColor background = image.pixelColor(2, urlTop - 1);
        int ruleRows = 0;
        for (int y = headerBottom; y < urlTop; ++y) {
            bool across = true;
            for (int x : { 21, dialog.width() / 2, dialog.width() - 22 })
                across = across && image.pixelColor(x, y) != background;
            if (across) {
                ++ruleRows;
                EXPECT_EQ(image.pixelColor(10, y), background) << "inside the margins only";
            }
        }
        EXPECT_EQ(ruleRows, 1) << (dark ? "dark" : "light");

        QPushButton* clone = dialog.findChild<QPushButton*>("cloneAndOpen");
        ASSERT_TRUE(clone->isEnabled());
        const QImage button = clone->grab().toImage();
        EXPECT_EQ(button.pixelColor(8, button.height() / 2).rgb(),
            AppColors::accent(dialog.palette()).rgb())
            << (dark ? "dark" : "light");
    }
}

TEST_F(ConnectGitModalTest, TypingAnAddressFillsInTheTokenStoredForItsHost)
{
    keyring->store(KeychainManager::service(), "git.example.com", "stored-token");
    auto state = open({});
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    type(field(dialog, "token"), "typed");
    type(field(dialog, "repositoryURL"), "git@git.example.com:team/r.git");
    EXPECT_EQ(field(dialog, "token")->text(), "typed") << "scp-like addresses have no host";
    field(dialog, "repositoryURL")->clear();
    type(field(dialog, "repositoryURL"), "https://git.example.com/team/r.git");
    EXPECT_EQ(field(dialog, "token")->text(), "stored-token");
}

TEST_F(ConnectGitModalTest, ClonesIntoTheFolderAndOpensIt)
{
    GitRemoteFixture repos;
    TempTree parent;
    const QString destination = parent.filePath("copy");
    auto state = open({});
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    type(field(dialog, "repositoryURL"), "  file://" + repos.remote() + "  ");
    prompts().queueOpenPanelAnswer(destination);
    QTest::mouseClick(button(dialog, "Browse..."), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("cloneAndOpen"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isCloning());
    ASSERT_TRUE(waitUntil([&] { return dialog.result() == QDialog::Accepted; }, 20000))
        << dialog.errorMessage().toStdString();
    EXPECT_EQ(state->folderURL(), destination);
    EXPECT_TRUE(QFile::exists(destination + "/README.md"));
}

TEST_F(ConnectGitModalTest, AnExistingRepositoryIsConnectedNotClonedAndTheTokenIsTrimmedAndSaved)
{
    GitRemoteFixture repos;
    auto state = open(repos.alice());
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    EXPECT_EQ(dialog.targetFolder(), repos.alice());
    type(field(dialog, "repositoryURL"), "https://other.example.org/x.git");
    field(dialog, "token")->setText("\n  tok-123 \n");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cloneAndOpen"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return dialog.result() == QDialog::Accepted; }, 20000))
        << dialog.errorMessage().toStdString();
    EXPECT_EQ(keyring->find(KeychainManager::service(), "other.example.org"), "tok-123");
    EXPECT_EQ(test::gitOk(repos.alice(), { "remote", "get-url", "origin" }).trimmed(),
        repos.remote().toUtf8());
}

TEST_F(ConnectGitModalTest, RefusedInputStaysInTheSheetWithAReason)
{
    TempTree parent;
    auto state = open({});
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    prompts().queueOpenPanelAnswer(parent.filePath("dest"));
    QTest::mouseClick(button(dialog, "Browse..."), Qt::LeftButton);

    type(field(dialog, "repositoryURL"), "https://example.com/r.git");
    field(dialog, "token")->setText("abc\ndef");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cloneAndOpen"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isCloning());
    EXPECT_TRUE(dialog.errorMessage().contains("token")) << dialog.errorMessage().toStdString();
    EXPECT_TRUE(keyring->accounts(KeychainManager::service()).isEmpty());

    field(dialog, "token")->clear();
    field(dialog, "repositoryURL")->setText("--upload-pack=touch /tmp/x");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cloneAndOpen"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !dialog.isCloning(); }, 20000));
    EXPECT_EQ(dialog.errorMessage(), GitError::invalidURL().description().trimmed());
    EXPECT_TRUE(dialog.isVisible() || dialog.result() != QDialog::Accepted);
    EXPECT_FALSE(QDir(parent.filePath("dest")).exists());
}

TEST_F(ConnectGitModalTest, CancelStopsARunningCloneAndOpensNothing)
{
    TempTree parent;
    const QString pidFile = parent.filePath("hang.pid");
    qputenv("FAKE_GIT_HANG_ON", "clone");
    qputenv("FAKE_GIT_HANG_PIDFILE", pidFile.toUtf8());
    GitService::shared().setGitExecutable(QStringLiteral(QUILLON_TEST_SCRIPTS_DIR "/fake-git.sh"));
    auto state = open({});
    ConnectGitModalView dialog(*state, gitOf(*state), prompts());
    dialog.show();
    type(field(dialog, "repositoryURL"), "https://example.com/r.git");
    prompts().queueOpenPanelAnswer(parent.filePath("dest"));
    QTest::mouseClick(button(dialog, "Browse..."), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton*>("cloneAndOpen"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(pidFile); }, 10000));
    QTest::mouseClick(button(dialog, "Cancel"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    settle(*state, parent.filePath("dest"));
    qunsetenv("FAKE_GIT_HANG_ON");
    qunsetenv("FAKE_GIT_HANG_PIDFILE");

    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const QByteArray hung = pid.readAll().trimmed();
    const auto gone = [&] {
        QFile stat("/proc/" + hung + "/stat");
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    };
    EXPECT_TRUE(waitUntil(gone, 10000)) << "the stalled clone is still running";
    EXPECT_TRUE(state->folderURL().isEmpty());
}

} // namespace
