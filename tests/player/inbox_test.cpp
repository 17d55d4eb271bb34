// A folder of messages in the window: the list, going through it, heard and new, Delete and
// its undo, pressed as a user presses them. The messages are real WAVE files with the
// telephone system's sidecar texts beside them; heard and new live in a real database in the
// test's folder, and Delete uses a real Trash there.
#include "inbox/inbox.h"

#include <QAction>
#include <QDir>
#include <QListView>
#include <QTest>
#include <filesystem>

#include "player/skin/skin_metrics.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

class InboxTest : public WindowTest {
  protected:
    // A message of ms milliseconds in the folder "box", left by who at epoch second left. Heard
    // or new goes with a message's content: messages of one length would share it.
    QString Message(const std::string& name, const std::string& who, int64_t left, uint32_t ms) {
        std::filesystem::create_directories(dir.path() / "box");
        const QString path = Q(MakeWave("box/" + name + ".wav", ms));
        const std::string text =
            "callerid=" + who + "\norigtime=" + std::to_string(left) + "\nduration=1\n";
        testutil::WriteFile(dir.File("box/" + name + ".txt"), {text.begin(), text.end()});
        return path;
    }
    QString Box() const { return Q(dir.File("box")); }
    QListView* List() const { return window->findChild<QListView*>("inbox"); }
    // The session's recording by its caller's name, as the name line shows it.
    QString Playing() const { return session->GetDisplay().fileName; }
};

TEST_F(InboxTest, AFolderOpensAsItsListAndTheTitleCountsTheNewOnes) {
    Message("msg0000", "Ann Lee", 1000, 400);
    Message("msg0001", "Bob Marsh", 2000, 420);
    Message("msg0002", "Carla Diaz", 3000, 440);
    Start(Box());
    EXPECT_TRUE(Shown("inbox"));
    EXPECT_FALSE(Shown("waveform"));
    EXPECT_EQ(window->windowTitle(), "3 new - Corvane");
    EXPECT_EQ(Text("fileName"), "<No File Opened>");
    ASSERT_EQ(List()->model()->rowCount(), 3);
    EXPECT_EQ(window->focusWidget(), List());

    // Down moves in the list (not the volume), Enter plays the chosen one under its caller's
    // name; Home is the list's while it has the focus.
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(Playing(), "Bob Marsh");
    EXPECT_EQ(window->windowTitle(), "3 new - Bob Marsh - Corvane");
    EXPECT_EQ(Text("volumeDisplay"), "100%");
    Key(Qt::Key_End);
    EXPECT_EQ(List()->currentIndex().row(), 2);
    Key(Qt::Key_Home);
    EXPECT_EQ(List()->currentIndex().row(), 0);

    // A single file closes the list and plays as it always did.
    session->OpenSource(Q(MakeWave("single.wav", 400)));
    EXPECT_FALSE(Shown("inbox"));
    EXPECT_TRUE(Shown("waveform"));
    EXPECT_EQ(window->windowTitle(), "single.wav - Corvane");
}

TEST_F(InboxTest, TheListAndTheWaveformSwitchAndShowTogetherFromTwiceTheDefaultSize) {
    Message("msg0000", "Ann Lee", 1000, 400);
    Start(Box());
    Key(Qt::Key_I);
    EXPECT_FALSE(Shown("inbox"));
    EXPECT_TRUE(Shown("waveform"));
    Command("toggleList");
    EXPECT_TRUE(Shown("inbox"));
    EXPECT_FALSE(Shown("waveform"));

    window->resize(skin::kLargeScale * skin::kDefaultWidth,
                   skin::kLargeScale * skin::kDefaultHeight);
    ASSERT_TRUE(WaitUntil([&] { return Shown("waveform"); }));
    EXPECT_TRUE(Shown("inbox"));
    QWidget* waveform = window->findChild<QWidget*>("waveform");
    EXPECT_FALSE(List()->geometry().intersects(waveform->geometry()));
    EXPECT_GE(waveform->height(), skin::kWaveformMinHeight);

    window->resize(skin::kDefaultWidth, skin::kDefaultHeight);
    ASSERT_TRUE(WaitUntil([&] { return !Shown("waveform"); }));
    EXPECT_TRUE(Shown("inbox"));
}

// Next and Previous go in the order the messages were left, and stop at the ends; Play with
// nothing loaded starts with the oldest new one.
TEST_F(InboxTest, NextAndPreviousGoInTheOrderLeftAndStopAtTheEnds) {
    Message("msg0000", "Ann Lee", 1000, 5000);
    Message("msg0001", "Bob Marsh", 2000, 5100);
    Message("msg0002", "Carla Diaz", 3000, 5200);
    Start(Box());
    inbox->Messages().MarkHeard(inbox->Messages().RowOf(Q(dir.File("box/msg0000.wav"))));
    Key(Qt::Key_Space);
    EXPECT_EQ(Playing(), "Bob Marsh");
    Key(Qt::Key_N);
    EXPECT_EQ(Playing(), "Carla Diaz");
    EXPECT_FALSE(inbox->CanGoNext());
    Key(Qt::Key_N);
    EXPECT_EQ(Playing(), "Carla Diaz");
    Key(Qt::Key_P);
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Playing(), "Ann Lee");
    EXPECT_FALSE(inbox->CanGoPrevious());
    Key(Qt::Key_P);
    EXPECT_EQ(Playing(), "Ann Lee");
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Playing(), "Bob Marsh");
}

// Play Next Automatically goes on to the next new message, past heard ones; after the last,
// Close On Finish closes the window.
TEST_F(InboxTest, PlayNextAutomaticallyGoesOnToTheNextNewOne) {
    Message("msg0000", "Ann Lee", 1000, 300);
    Message("msg0001", "Bob Marsh", 2000, 320);
    Message("msg0002", "Carla Diaz", 3000, 340);
    Start(Box());
    Command("playNextAutomatically");
    EXPECT_TRUE(window->findChild<QAction*>("playNextAutomatically")->isChecked());
    Command("closeOnFinish");
    inbox->Messages().MarkHeard(inbox->Messages().RowOf(Q(dir.File("box/msg0001.wav"))));
    Key(Qt::Key_Space);
    EXPECT_EQ(Playing(), "Ann Lee");
    ASSERT_TRUE(WaitUntil([&] { return Playing() == "Carla Diaz"; }));
    EXPECT_EQ(session->OpenCount(), 2u);  // Bob Marsh's, heard, was passed by
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(inbox->Messages().NewCount(), 0);
}

// Past half of its length a message counts as heard; Mark as New undoes that, and it stays new
// while it plays on.
TEST_F(InboxTest, AMessagePlayedPastHalfIsHeardAndMarkAsNewUndoesIt) {
    Message("msg0000", "Ann Lee", 1000, 4000);
    Start(Box());
    Key(Qt::Key_Return);
    session->Seek(1500);
    QTest::qWait(600);
    EXPECT_EQ(window->windowTitle(), "1 new - Ann Lee - Corvane");
    session->Seek(2200);
    ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == "0 new - Ann Lee - Corvane"; }));
    Key(Qt::Key_U);
    EXPECT_EQ(window->windowTitle(), "1 new - Ann Lee - Corvane");
    QTest::qWait(600);
    EXPECT_EQ(inbox->Messages().NewCount(), 1);
}

// Open Folder lists the chosen folder, and starts there the next time.
TEST_F(InboxTest, OpenFolderListsTheFolderAndStartsThereNextTime) {
    Message("msg0000", "Ann Lee", 1000, 400);
    Start();
    fileAnswers.push_back(Box());
    Key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Shown("inbox"));
    EXPECT_EQ(window->windowTitle(), "1 new - Corvane");
    Command("openFolder");  // cancelled
    ASSERT_EQ(fileQuestions.size(), 2u);
    EXPECT_EQ(fileQuestions[1].folder, Box());
}

// A message that cannot be played is told as any file's error is, and stays listed.
TEST_F(InboxTest, AMessageThatCannotBePlayedIsReportedAndStaysListed) {
    Message("msg0000", "Ann Lee", 1000, 400);
    testutil::WriteFile(dir.File("box/msg0000.wav"), {'R', 'I', 'F', 'F', 0, 0});
    Start(Box());
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes[0].file, Q(dir.File("box/msg0000.wav")));
    EXPECT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(Text("fileName"), "<No File Opened>");
}

// Delete moves the message and its text to the Trash, Ctrl+Z puts both back.
TEST_F(InboxTest, DeleteMovesToTheTrashAndUndoPutsItBack) {
    Message("msg0000", "Ann Lee", 1000, 400);
    Message("msg0001", "Bob Marsh", 2000, 420);
    Start(Box());
    const testutil::Bytes original = testutil::ReadFile(dir.File("box/msg0001.wav"));
    Key(Qt::Key_Delete);  // the newest, chosen at the top
    EXPECT_FALSE(QFile::exists(Q(dir.File("box/msg0001.wav"))));
    EXPECT_FALSE(QFile::exists(Q(dir.File("box/msg0001.txt"))));
    EXPECT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(window->windowTitle(), "1 new - Corvane");
    const QStringList trashed =
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files").entryList(QDir::Files);
    EXPECT_TRUE(trashed.contains("msg0001.wav")) << trashed.join(' ').toStdString();

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(testutil::ReadFile(dir.File("box/msg0001.wav")), original);
    EXPECT_TRUE(QFile::exists(Q(dir.File("box/msg0001.txt"))));
    ASSERT_TRUE(WaitUntil([&] { return List()->model()->rowCount() == 2; }));
    EXPECT_EQ(window->windowTitle(), "2 new - Corvane");
}

}  // namespace
}  // namespace playertest
