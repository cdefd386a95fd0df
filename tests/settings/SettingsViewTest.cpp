#include "settings/AgentExecutableStatus.h"
#include "settings/AgentTab.h"
#include "settings/FileTypesTab.h"
#include "settings/GeneralTab.h"
#include "settings/GitTab.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsTestSupport.h"
#include "settings/TokenEditSheet.h"
#include "ui/AppColors.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace quillon {
namespace {

using test::SheetHarness;
using Tab = SettingsSession::Tab;

QSet<QString> storedSet(const QJsonValue& value)
{
    QSet<QString> set;
    for (const QJsonValue& v : value.toArray())
        set.insert(v.toString());
    return set;
}

TEST(SettingsView, OpensOnGeneralAndReportsEveryTabTap)
{
    SheetHarness h;
    EXPECT_TRUE(h.sheet->generalTab()->isVisible());
    EXPECT_FALSE(h.sheet->gitTab()->isVisible());
    EXPECT_TRUE(h.tracked.isEmpty());
    h.selectTab(Tab::general);
    h.selectTab(Tab::agent);
    EXPECT_TRUE(h.sheet->agentTab()->isVisible());
    EXPECT_FALSE(h.sheet->generalTab()->isVisible());
    EXPECT_EQ(h.tracked,
        (QList<AnalyticsEvent> { AnalyticsEvent::settingsTabOpened("General"),
            AnalyticsEvent::settingsTabOpened("Agent AI") }));

    // Typed text survives tab switches within one presentation, not the next presentation.
    h.selectTab(Tab::fileTypes);
    SheetHarness::typeInto(h.sheet->fileTypesTab()->extensionField(), QStringLiteral("toml"));
    h.selectTab(Tab::git);
    SheetHarness::typeInto(h.sheet->gitTab()->hostField(), QStringLiteral("git.example.com"));
    h.selectTab(Tab::fileTypes);
    EXPECT_EQ(h.sheet->fileTypesTab()->extensionField()->text(), QStringLiteral("toml"));
    EXPECT_EQ(h.sheet->gitTab()->hostField()->text(), QStringLiteral("git.example.com"));

    QSignalSpy closed(h.sheet.get(), &QDialog::finished);
    SheetHarness::click(h.sheet->closeButton());
    EXPECT_EQ(closed.count(), 1);
    h.open();
    EXPECT_TRUE(h.sheet->generalTab()->isVisible());
    EXPECT_EQ(h.sheet->fileTypesTab()->extensionField()->text(), QString());
    EXPECT_EQ(h.sheet->gitTab()->hostField()->text(), QString());
}

TEST(SettingsView, TheFontStepperMovesByWholePointsWithinItsRange)
{
    SheetHarness h;
    GeneralTab* tab = h.sheet->generalTab();
    EXPECT_EQ(tab->fontSizeLabel()->text(), QStringLiteral("15 pt"));
    h.workspace->setEditorFontSize(14.5);
    EXPECT_EQ(tab->fontSizeLabel()->text(), QStringLiteral("14 pt"));
    SheetHarness::click(tab->increaseButton());
    EXPECT_EQ(h.workspace->editorFontSize(), 15.5);
    EXPECT_EQ(tab->fontSizeLabel()->text(), QStringLiteral("15 pt"));
    EXPECT_EQ(h.settingsFile().value("editorFontSize").toDouble(), 15.5);

    h.workspace->setEditorFontSize(35.5);
    SheetHarness::click(tab->increaseButton());
    EXPECT_EQ(h.workspace->editorFontSize(), 36);
    EXPECT_FALSE(tab->increaseButton()->isEnabled());
    h.workspace->setEditorFontSize(10);
    EXPECT_FALSE(tab->decreaseButton()->isEnabled());
    EXPECT_TRUE(tab->increaseButton()->isEnabled());
    SheetHarness::click(tab->resetButton());
    EXPECT_EQ(h.workspace->editorFontSize(), 15);

    h.workspace->setEditorFontSize(15.5);
    h.restart();
    EXPECT_EQ(h.workspace->editorFontSize(), 15.5);
    EXPECT_EQ(h.sheet->generalTab()->fontSizeLabel()->text(), QStringLiteral("15 pt"));
}

TEST(SettingsView, AFontSizeNoControlCouldStoreShowsAndUses15)
{
    SheetHarness h;
    UserDefaults::standard().setString(QStringLiteral("editorFontSize"), QStringLiteral("inf"));
    h.restart();
    EXPECT_EQ(h.workspace->editorFontSize(), 15);
    EXPECT_EQ(h.sheet->generalTab()->fontSizeLabel()->text(), QStringLiteral("15 pt"));
    UserDefaults::standard().setDouble(QStringLiteral("editorFontSize"), 1e9);
    h.restart();
    EXPECT_EQ(h.workspace->editorFontSize(), 15);
    SheetHarness::click(h.sheet->generalTab()->increaseButton());
    EXPECT_EQ(h.workspace->editorFontSize(), 16);
}

TEST(SettingsView, GeneralTogglesWriteThroughAndSurviveARestart)
{
    SheetHarness h;
    GeneralTab* tab = h.sheet->generalTab();
    // Tests run opted out of analytics: the toggle shows the inverse.
    EXPECT_TRUE(tab->confirmDeletionBox()->isChecked());
    EXPECT_FALSE(tab->analyticsBox()->isChecked());
    SheetHarness::click(tab->confirmDeletionBox());
    SheetHarness::click(tab->readingModeBox());
    SheetHarness::click(tab->analyticsBox());
    EXPECT_FALSE(h.workspace->confirmFileDeletion());
    EXPECT_TRUE(h.workspace->isReadingMode());
    EXPECT_FALSE(AnalyticsManager::shared().telemetryOptOut());
    const QJsonObject file = h.settingsFile();
    EXPECT_EQ(file.value("confirmFileDeletion"), QJsonValue(false));
    EXPECT_EQ(file.value("isReadingMode"), QJsonValue(true));
    EXPECT_EQ(file.value("telemetryOptOut"), QJsonValue(false));

    // Unchecking stores the opt-out before anything else can be reported.
    SheetHarness::click(tab->analyticsBox());
    EXPECT_EQ(h.settingsFile().value("telemetryOptOut"), QJsonValue(true));
    h.restart();
    tab = h.sheet->generalTab();
    EXPECT_FALSE(tab->confirmDeletionBox()->isChecked());
    EXPECT_TRUE(tab->readingModeBox()->isChecked());
    EXPECT_FALSE(tab->analyticsBox()->isChecked());
}

TEST(SettingsView, FileTypesWriteTheWholeSetAndTheFieldAddsOnlyFromItsButton)
{
    SheetHarness h;
    h.selectTab(Tab::fileTypes);
    FileTypesTab* tab = h.sheet->fileTypesTab();
    EXPECT_TRUE(tab->presetBox("md")->isChecked());
    EXPECT_FALSE(tab->presetBox("txt")->isChecked());
    EXPECT_GE(tab->gridColumns(), 3);

    h.tree.write(QStringLiteral("notes.toml"), "a = 1\n");
    SheetHarness::typeInto(tab->extensionField(), QStringLiteral(" TOML "));
    QTest::keyClick(tab->extensionField(), Qt::Key_Return);
    EXPECT_FALSE(h.workspace->activeFileExtensions().contains("toml"));
    EXPECT_TRUE(h.sheet->isVisible());
    SheetHarness::click(tab->addButton());
    EXPECT_TRUE(h.workspace->activeFileExtensions().contains("toml"));
    EXPECT_EQ(tab->extensionField()->text(), QString());
    EXPECT_FALSE(tab->addButton()->isEnabled());

    SheetHarness::typeInto(tab->extensionField(), QStringLiteral("   "));
    EXPECT_FALSE(tab->addButton()->isEnabled());

    // Down to a single extension, which must come back as that one extension.
    SheetHarness::click(tab->presetBox("md"));
    h.workspace->setActiveFileExtensions({ QStringLiteral("markdown"), QStringLiteral("toml") });
    SheetHarness::click(tab->presetBox("markdown"));
    EXPECT_EQ(h.workspace->activeFileExtensions(), QSet<QString> { "toml" });
    EXPECT_EQ(storedSet(h.settingsFile().value("activeFileExtensions")), QSet<QString> { "toml" });
    SheetHarness::click(tab->hiddenFilesBox());
    EXPECT_TRUE(h.workspace->showHiddenFiles());

    h.restart();
    EXPECT_EQ(h.workspace->activeFileExtensions(), QSet<QString> { "toml" });
    EXPECT_TRUE(h.workspace->showHiddenFiles());
    EXPECT_FALSE(h.sheet->fileTypesTab()->presetBox("md")->isChecked());
    EXPECT_TRUE(h.sheet->fileTypesTab()->hiddenFilesBox()->isChecked());
}

TEST(SettingsView, TheIntervalMenuKeepsAValueItDoesNotOffer)
{
    SheetHarness h;
    h.selectTab(Tab::git);
    GitTab* tab = h.sheet->gitTab();
    EXPECT_EQ(tab->intervalPicker()->currentText(), QStringLiteral("3 minutes"));
    tab->intervalPicker()->setFocus();
    QTest::keyClick(tab->intervalPicker(), Qt::Key_Home);
    EXPECT_EQ(h.workspace->autoCommitIntervalMinutes(), 0);
    EXPECT_FALSE(h.workspace->autoCommitTimer().isActive());
    EXPECT_EQ(h.settingsFile().value("autoCommitIntervalMinutes").toInt(-1), 0);
    SheetHarness::click(tab->autoPushBox());
    EXPECT_FALSE(h.workspace->autoPushAfterCommit());

    UserDefaults::standard().setInt(QStringLiteral("autoCommitIntervalMinutes"), 7);
    h.restart();
    tab = h.sheet->gitTab();
    EXPECT_EQ(tab->intervalPicker()->currentIndex(), -1);
    EXPECT_EQ(tab->intervalPicker()->placeholderText(), QStringLiteral("7 minutes"));
    EXPECT_EQ(h.workspace->autoCommitIntervalMinutes(), 7);
    EXPECT_FALSE(tab->autoPushBox()->isChecked());
    h.restart();
    EXPECT_EQ(h.workspace->autoCommitIntervalMinutes(), 7);
}

TEST(SettingsView, TokensAreAddedEditedAndDeletedFromTheGitTab)
{
    SheetHarness h;
    h.selectTab(Tab::git);
    GitTab* tab = h.sheet->gitTab();
    EXPECT_TRUE(tab->emptyLabel()->isVisible());
    EXPECT_FALSE(tab->saveButton()->isEnabled());

    SheetHarness::typeInto(tab->hostField(), QStringLiteral("https://git.example.com/me/repo.git"));
    SheetHarness::typeInto(tab->tokenField(), QStringLiteral(" secret one "));
    EXPECT_EQ(tab->tokenField()->echoMode(), QLineEdit::Password);
    QTest::keyClick(tab->tokenField(), Qt::Key_Return); // presses no button
    EXPECT_TRUE(h.keyring->accounts(KeychainManager::service()).isEmpty());
    SheetHarness::click(tab->saveButton());
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("secret one"));
    EXPECT_EQ(tab->shownHosts(), QStringList { "git.example.com" });
    EXPECT_FALSE(tab->emptyLabel()->isVisible());
    EXPECT_EQ(tab->hostField()->text(), QString());

    SheetHarness::click(tab->editButton("git.example.com"));
    TokenEditSheet* edit = h.sheet->tokenSheet();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->titleLabel()->text(), QStringLiteral("Edit Token for git.example.com"));
    EXPECT_EQ(edit->tokenField()->text(), QStringLiteral("secret one"));
    edit->tokenField()->selectAll();
    SheetHarness::typeInto(edit->tokenField(), QStringLiteral("two"));
    QTest::keyClick(edit->tokenField(), Qt::Key_Return);
    EXPECT_NE(h.sheet->tokenSheet(), nullptr);
    SheetHarness::click(edit->updateButton());
    EXPECT_EQ(h.sheet->tokenSheet(), nullptr);
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("two"));

    SheetHarness::click(tab->editButton("git.example.com"));
    SheetHarness::typeInto(h.sheet->tokenSheet()->tokenField(), QStringLiteral("typed"));
    SheetHarness::click(h.sheet->tokenSheet()->cancelButton());
    EXPECT_EQ(KeychainManager::getToken("git.example.com"), QStringLiteral("two"));

    SheetHarness::click(tab->deleteButton("git.example.com"));
    QApplication::processEvents();
    EXPECT_TRUE(tab->shownHosts().isEmpty());
    EXPECT_TRUE(tab->emptyLabel()->isVisible());
    EXPECT_FALSE(KeychainManager::getToken("git.example.com").has_value());
}

// "Update" is the filled accent button, "Cancel" a plain one, in whichever appearance the sheet
// is opened.
TEST(SettingsView, TheTokenSheetsUpdateButtonIsFilledWithTheAccent)
{
    SheetHarness h;
    h.selectTab(Tab::git);
    SheetHarness::typeInto(h.sheet->gitTab()->hostField(), QStringLiteral("git.example.com"));
    SheetHarness::typeInto(h.sheet->gitTab()->tokenField(), QStringLiteral("secret"));
    SheetHarness::click(h.sheet->gitTab()->saveButton());
    for (bool dark : { false, true }) {
        h.sheet->setDarkMode(dark);
        SheetHarness::click(h.sheet->gitTab()->editButton("git.example.com"));
        TokenEditSheet* edit = h.sheet->tokenSheet();
        ASSERT_NE(edit, nullptr);
        const auto fill = [](QWidget* button) {
            const QImage image = button->grab().toImage();
            return image.pixelColor(8, image.height() / 2).rgb();
        };
        const QRgb accent = AppColors::accent(AppColors::palette(dark)).rgb();
        EXPECT_EQ(fill(edit->updateButton()), accent) << (dark ? "dark" : "light");
        EXPECT_NE(fill(edit->cancelButton()), accent) << (dark ? "dark" : "light");
        SheetHarness::click(edit->cancelButton());
    }
}

TEST(SettingsView, ARefusedSaveKeepsTheFormAndTheOldTokenAndSaysSo)
{
    SheetHarness h;
    KeychainManager::saveToken("old", "h.example");
    h.restart();
    h.selectTab(Tab::git);
    GitTab* tab = h.sheet->gitTab();
    h.keyring->setFailWrites(true);
    SheetHarness::typeInto(tab->hostField(), QStringLiteral("h.example"));
    SheetHarness::typeInto(tab->tokenField(), QStringLiteral("new"));
    SheetHarness::click(tab->saveButton());
    EXPECT_TRUE(tab->messageLabel()->isVisible());
    EXPECT_TRUE(tab->messageLabel()->text().contains("could not be saved"));
    EXPECT_EQ(tab->hostField()->text(), QStringLiteral("h.example"));
    EXPECT_EQ(tab->tokenField()->text(), QStringLiteral("new"));
    EXPECT_EQ(KeychainManager::getToken("h.example"), QStringLiteral("old"));
    EXPECT_EQ(tab->shownHosts(), QStringList { "h.example" });

    // A host with a line break inside is refused before the keyring is asked.
    h.keyring->setFailWrites(false);
    tab->hostField()->clear();
    h.sheet->session().setNewHostText(QStringLiteral("a\nb.example"));
    SheetHarness::click(tab->saveButton());
    EXPECT_TRUE(tab->messageLabel()->text().contains("line breaks"));
    EXPECT_EQ(tab->shownHosts(), QStringList { "h.example" });
}

// Against the real Secret Service (gnome-keyring in a private D-Bus session, see scripts/test).
TEST(SettingsView, TokensReachTheSystemKeyring)
{
    if (qEnvironmentVariableIsEmpty("QUILLON_KEYRING_TESTS"))
        GTEST_SKIP() << "QUILLON_KEYRING_TESTS is not set";
    SheetHarness h;
    KeychainManager::setStore(SecretStore::system());
    const QString host = QStringLiteral("settings-%1.example")
                             .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).left(8));
    h.restart();
    h.selectTab(Tab::git);
    GitTab* tab = h.sheet->gitTab();
    SheetHarness::typeInto(tab->hostField(), host);
    SheetHarness::typeInto(tab->tokenField(), QStringLiteral("first"));
    SheetHarness::click(tab->saveButton());
    EXPECT_TRUE(tab->shownHosts().contains(host));
    EXPECT_EQ(
        SecretStore::system()->find(KeychainManager::service(), host), QStringLiteral("first"));

    SheetHarness::click(tab->editButton(host));
    ASSERT_NE(h.sheet->tokenSheet(), nullptr);
    EXPECT_EQ(h.sheet->tokenSheet()->tokenField()->text(), QStringLiteral("first"));
    h.sheet->tokenSheet()->tokenField()->selectAll();
    SheetHarness::typeInto(h.sheet->tokenSheet()->tokenField(), QStringLiteral("second"));
    SheetHarness::click(h.sheet->tokenSheet()->updateButton());
    EXPECT_EQ(
        SecretStore::system()->find(KeychainManager::service(), host), QStringLiteral("second"));

    SheetHarness::click(tab->deleteButton(host));
    EXPECT_FALSE(tab->shownHosts().contains(host));
    EXPECT_FALSE(SecretStore::system()->find(KeychainManager::service(), host).has_value());
}

TEST(SettingsView, TheAgentTabSelectsTheEngineAndReportsItsExecutable)
{
    SheetHarness h;
    const QString script = h.tree.write(QStringLiteral("bin/agent"), "#!/bin/sh\necho hi\n");
    QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner);
    UserDefaults::standard().setString(QStringLiteral("agentEngineRaw"), QStringLiteral("custom"));
    UserDefaults::standard().setString(QStringLiteral("agentCustomBinaryPath"), script);
    h.restart();
    h.selectTab(Tab::agent);
    AgentTab* tab = h.sheet->agentTab();
    EXPECT_EQ(tab->enginePicker()->currentIndex(), -1);
    EXPECT_EQ(tab->statusText()->text(), QStringLiteral("Binary Found: ") + script);
    EXPECT_EQ(tab->pathField()->text(), script);

    // Choosing Aider keeps the executable custom path as the one that runs.
    tab->enginePicker()->setFocus();
    QTest::keyClick(tab->enginePicker(), Qt::Key_Down);
    QTest::keyClick(tab->enginePicker(), Qt::Key_Down);
    EXPECT_EQ(h.bridge->currentEngine(), SupportedAgentEngine::aider());
    EXPECT_EQ(h.settingsFile().value("agentEngineRaw").toString(), QStringLiteral("aider"));
    EXPECT_EQ(tab->statusText()->text(), QStringLiteral("Binary Found: ") + script);

    const int resolved = tab->statusWatcher().resolveCount();
    tab->pathField()->selectAll();
    SheetHarness::typeInto(tab->pathField(), h.tree.filePath(QStringLiteral("nope")));
    EXPECT_EQ(h.settingsFile().value("agentCustomBinaryPath").toString(),
        h.tree.filePath(QStringLiteral("nope")));
    EXPECT_EQ(tab->statusWatcher().resolveCount(), resolved);
    ASSERT_TRUE(test::waitUntil([&] { return tab->statusWatcher().resolveCount() > resolved; }));
    EXPECT_TRUE(tab->customPathProblem()->isVisible());
    EXPECT_TRUE(tab->customPathProblem()->text().contains(QStringLiteral("does not exist")));
    EXPECT_EQ(h.bridge->currentEngine(), SupportedAgentEngine::aider());
}

qreal relativeLuminance(const QColor& colour)
{
    const auto channel
        = [](qreal c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

qreal contrastRatio(const QColor& a, const QColor& b)
{
    const qreal la = relativeLuminance(a);
    const qreal lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast against the sheet found on the outline of the box as it is painted.
qreal uncheckedBoxContrast(QCheckBox* box, const QColor& background)
{
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect indicator
        = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const QImage image = box->grab().toImage();
    qreal best = 1;
    for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
        for (int x = indicator.left(); x <= indicator.right(); ++x) {
            const bool edge = x - indicator.left() < 2 || indicator.right() - x < 2
                || y - indicator.top() < 2 || indicator.bottom() - y < 2;
            if (edge)
                best = std::max(best, contrastRatio(image.pixelColor(x, y), background));
        }
    }
    return best;
}

// An unchecked box stands out from the sheet as well in the dark appearance as in the light one.
TEST(SettingsView, UncheckedBoxesAreVisibleInBothAppearances)
{
    SheetHarness h;
    QCheckBox* box = h.sheet->generalTab()->readingModeBox();
    ASSERT_FALSE(box->isChecked());
    const qreal light = uncheckedBoxContrast(box, SettingsStyle::sheetBackground(false));
    h.sheet->setDarkMode(true);
    const qreal dark = uncheckedBoxContrast(box, SettingsStyle::sheetBackground(true));
    EXPECT_GE(dark, 3.0);
    EXPECT_GE(dark, light);
    h.sheet->setDarkMode(false);
    EXPECT_DOUBLE_EQ(uncheckedBoxContrast(box, SettingsStyle::sheetBackground(false)), light);
}

TEST(SettingsView, DarkAndLightPaintTheSheet)
{
    SheetHarness h;
    const QPoint corner(3, h.sheet->height() - 3);
    EXPECT_EQ(h.sheet->grab().toImage().pixelColor(corner).rgb(),
        SettingsStyle::sheetBackground(false).rgb());
    h.sheet->setDarkMode(true);
    EXPECT_EQ(h.sheet->grab().toImage().pixelColor(corner).rgb(),
        SettingsStyle::sheetBackground(true).rgb());
}

} // namespace
} // namespace quillon
