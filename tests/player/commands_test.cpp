// The menu commands: Save As, Close On Finish, Check For Update, About and help.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include "platform/qt/settings.h"
#include "player/about_box.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

using CommandsTest = PlayerTest;

TEST_F(CommandsTest, SaveAsProposesTheNameBeforeTheLastDotAndCopiesTheSource) {
    const std::string source = MakeWave("memo.old.wav", 700);
    dialog->OnSaveAs();  // nothing open: nothing asked
    EXPECT_TRUE(dialog->saveQuestions.empty());

    dialog->OpenSource(Q(source));
    const std::string copy = dir.File("copy.wav");
    dialog->saveAnswers.push_back(Q(copy));
    dialog->OnSaveAs();
    ASSERT_EQ(dialog->saveQuestions.size(), 1u);
    EXPECT_EQ(dialog->saveQuestions[0].base, "memo.old");
    EXPECT_EQ(dialog->saveQuestions[0].ext, "wav");
    EXPECT_EQ(dialog->saveQuestions[0].filter, "Sound File (*.wav)");
    EXPECT_EQ(testutil::ReadFile(copy), testutil::ReadFile(source));  // the source, not the PCM
    EXPECT_TRUE(reports.empty());

    // Over an existing file: replaced.
    testutil::WriteFile(copy, testutil::Bytes(10, 1));
    dialog->saveAnswers.push_back(Q(copy));
    dialog->OnSaveAs();
    EXPECT_EQ(testutil::ReadFile(copy), testutil::ReadFile(source));
}

TEST_F(CommandsTest, SaveAsOfANameWithoutADot) {
    const std::string source = MakeWave("recording", 300);
    dialog->OpenSource(Q(source));
    dialog->OnSaveAs();  // cancelled
    ASSERT_EQ(dialog->saveQuestions.size(), 1u);
    EXPECT_EQ(dialog->saveQuestions[0].base, "");
    EXPECT_EQ(dialog->saveQuestions[0].ext, "recording");
    EXPECT_EQ(dialog->saveQuestions[0].filter, "Sound File (*.recording)");
    EXPECT_TRUE(reports.empty());

    const std::string odd = MakeWave("odd.w(a)v", 300);  // breaks the filter syntax
    dialog->OpenSource(Q(odd));
    dialog->OnSaveAs();
    EXPECT_EQ(dialog->saveQuestions.back().filter, "Sound File (*)");
}

TEST_F(CommandsTest, SaveAsGuardsTheSourceAndThePlayersOwnFiles) {
    const std::string source = MakeWave("keep.wav", 500);
    dialog->OpenSource(Q(source));
    const testutil::Bytes original = testutil::ReadFile(source);

    dialog->saveAnswers.push_back(Q(source));  // onto itself: untouched, nothing said
    dialog->OnSaveAs();
    EXPECT_EQ(testutil::ReadFile(source), original);
    EXPECT_TRUE(reports.empty());

    const testutil::Bytes pcm = testutil::ReadFile(dialog->TempPath().toStdString());
    dialog->saveAnswers.push_back(dialog->TempPath());
    dialog->OnSaveAs();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Cannot save file " + dialog->TempPath().toStdString());
    EXPECT_EQ(testutil::ReadFile(dialog->TempPath().toStdString()), pcm);

    dialog->saveAnswers.push_back(dialog->ScratchPath());
    dialog->OnSaveAs();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].message, "Cannot save file " + dialog->ScratchPath().toStdString());

    const std::string nowhere = dir.File("no/such/folder/x.wav");
    dialog->saveAnswers.push_back(Q(nowhere));
    dialog->OnSaveAs();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2].message, "Cannot save file " + nowhere);
    EXPECT_EQ(reports[2].style, kMbIconExclamation);
}

TEST_F(CommandsTest, CloseOnFinishToggledTwiceReturnsToItsFirstState) {
    dialog->OnInitDialog();
    QAction* item = nullptr;
    for (QAction* a : dialog->Menu()->actions()) {
        if (a->text() == "&Close On Finish") item = a;
    }
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isChecked());

    item->trigger();
    EXPECT_TRUE(dialog->CloseOnFinish());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(OpenCorvaneSettings()->value("CloseOnFinish").toInt(), 1);

    dialog->OnCloseOnFinish();
    EXPECT_FALSE(dialog->CloseOnFinish());
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(OpenCorvaneSettings()->value("CloseOnFinish").toInt(), 0);
}

TEST_F(CommandsTest, MenuHoldsTheCommandsInOrder) {
    QStringList texts;
    for (QAction* a : dialog->Menu()->actions()) texts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(texts, QStringList({"&Save As...", "&Close On Finish", "-", "Check For &Update",
                                  "&About Corvane"}));
}

TEST_F(CommandsTest, UpdateAndHelpOpenTheirPages) {
    dialog->OnCheckForUpdate();
    ASSERT_EQ(dialog->openedUrls.size(), 1u);
    EXPECT_EQ(dialog->openedUrls[0].scheme(), "https");
    EXPECT_EQ(dialog->openedUrls[0].path(), "/update.jsp");
    EXPECT_EQ(dialog->openedUrls[0].query(), "prod=Corvane_PPCw&ver=5.6");

    dialog->OnHelpRequest();
    ASSERT_EQ(dialog->openedUrls.size(), 2u);
    const QString page = dialog->openedUrls[1].toLocalFile();
    EXPECT_TRUE(page.endsWith("corvane.htm"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Corvane"));
}

TEST_F(CommandsTest, AboutBoxNamesThePlatformAndVersion) {
    CAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About Corvane");
    EXPECT_EQ(CAboutBox::PlatformText(), "For Linux\nDesktop");
    QStringList texts;
    for (QLabel* label : box.findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains("Corvane"));
    EXPECT_TRUE(texts.contains("Version 5.6"));
}

TEST_F(CommandsTest, HandOverWhileTheAboutBoxIsOpenClosesItAndPlays) {
    const std::string path = MakeWave("during.wav", 3000);
    dialog->OnInitDialog();
    OpenCorvaneSettings()->setValue("AutoPlay", Q(path));
    bool sawBox = false;
    QTimer::singleShot(50, [&] {
        sawBox = dialog->AboutBox() != nullptr && dialog->AboutBox()->isVisible();
        dialog->OnHandOver();
    });
    dialog->OnAbout();  // returns when the hand-over closed the box
    EXPECT_TRUE(sawBox);
    EXPECT_EQ(dialog->AboutBox(), nullptr);
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->SourcePath(), Q(path));
}

TEST_F(CommandsTest, OpenFileOpensTheChosenFileAndCancelChangesNothing) {
    const std::string path = MakeWave("chosen.wav", 2000);
    dialog->OnOpenFile();
    EXPECT_EQ(dialog->Player(), nullptr);
    dialog->openAnswers.push_back(Q(path));
    dialog->OnOpenFile();
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->SourceName(), "chosen.wav");
}

}  // namespace
}  // namespace playertest
