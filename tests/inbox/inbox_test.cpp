// The inbox over real folders, a real SQLite database and a real Trash.
#include "inbox/inbox.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <filesystem>

#include "platform/qt/file_name.h"
#include "tests/inbox/inbox_fixture.h"
#include "tests/wait_until.h"

class InboxFolder : public InboxTest {
  protected:
    void LeaveMessages(int n) {
        for (int i = 0; i < n; ++i) {
            const std::string stem = "msg000" + std::to_string(i);
            // Different content, so that each has its own state.
            Write(stem + ".wav", Message(1600, {}, static_cast<uint8_t>(i)));
            WriteText(stem + ".txt", "origtime=" + std::to_string(1765000000 + 60 * i) + "\n");
        }
    }
};

TEST_F(InboxFolder, NewestFirstAndGoingThroughInTheOrderLeft) {
    LeaveMessages(3);
    Inbox inbox;
    ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
    ASSERT_EQ(inbox.Count(), 3);
    EXPECT_EQ(inbox.RowOf(Path("msg0002.wav")), 0);
    EXPECT_EQ(inbox.RowOf(Path("msg0000.wav")), 2);
    const int oldest = 2, newest = 0;
    EXPECT_EQ(inbox.Next(oldest), 1);
    EXPECT_EQ(inbox.Next(newest), -1);
    EXPECT_EQ(inbox.Previous(newest), 1);
    EXPECT_EQ(inbox.Previous(oldest), -1);
    EXPECT_EQ(inbox.OldestNew(), oldest);
    QSignalSpy counts(&inbox, &Inbox::NewCountChanged);
    inbox.MarkHeard(1);
    EXPECT_EQ(inbox.NextNew(oldest), newest);  // passes over the heard one
    EXPECT_EQ(inbox.NewCount(), 2);
    ASSERT_EQ(counts.count(), 1);
    EXPECT_EQ(counts.at(0).at(0).toInt(), 2);
    inbox.MarkHeard(oldest);
    inbox.MarkHeard(newest);
    EXPECT_EQ(inbox.OldestNew(), -1);
    inbox.MarkNew(1);
    EXPECT_EQ(inbox.OldestNew(), 1);
}

TEST_F(InboxFolder, HeardStaysWithTheMessageWhenRenamedMovedOrReopened) {
    LeaveMessages(2);
    {
        Inbox inbox;
        ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
        inbox.MarkHeard(inbox.RowOf(Path("msg0000.wav")));
    }
    std::filesystem::rename(Folder() / "msg0000.wav", Folder() / "renamed.wav");
    // A name that is not UTF-8 (Latin-1 "é") is listed and keeps its bytes.
    const QByteArray latin = FileNameToBytes(FolderName()) + "/caf\xe9.wav";
    std::filesystem::rename(Folder() / "msg0001.wav", latin.toStdString());
    Inbox inbox;
    ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
    ASSERT_EQ(inbox.Count(), 2);
    EXPECT_TRUE(inbox.At(inbox.RowOf(Path("renamed.wav"))).heard);
    const int latinRow = inbox.RowOf(FileNameFromBytes(latin));
    ASSERT_GE(latinRow, 0);
    EXPECT_FALSE(inbox.At(latinRow).heard);
    EXPECT_TRUE(inbox.At(latinRow).error.isEmpty());
    EXPECT_EQ(FileNameToBytes(inbox.At(latinRow).path), latin);

    // Moved into another folder, it keeps its state too.
    const auto other = Folder().parent_path() / "other";
    std::filesystem::create_directories(other);
    std::filesystem::rename(Folder() / "renamed.wav", other / "x.wav");
    Inbox elsewhere;
    ASSERT_TRUE(elsewhere.Open(QString::fromStdString(other.string()), nullptr));
    ASSERT_EQ(elsewhere.Count(), 1);
    EXPECT_TRUE(elsewhere.At(0).heard);
}

TEST_F(InboxFolder, AnUnusableDatabaseIsSetAsideAndRebuilt) {
    LeaveMessages(1);
    std::filesystem::create_directories(std::filesystem::path(Database()).parent_path());
    testutil::WriteFile(Database(), testutil::Bytes(4096, 0xA5));  // garbage
    {
        Inbox inbox;
        QSignalSpy problems(&inbox, &Inbox::StoreProblem);
        ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
        ASSERT_TRUE(testutil::WaitUntil([&] { return problems.count() == 1; }));
        EXPECT_TRUE(problems.at(0).at(0).toString().contains("set aside"));
        ASSERT_EQ(inbox.Count(), 1);
        inbox.MarkHeard(0);
    }
    const auto asideCount = [&] {
        int n = 0;
        for (const auto& e :
             std::filesystem::directory_iterator(std::filesystem::path(Database()).parent_path()))
            n += e.path().filename().string().find("inbox.sqlite.set-aside-") == 0;
        return n;
    };
    EXPECT_EQ(asideCount(), 1);
    {
        Inbox inbox;  // the rebuilt database holds the new state
        ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
        EXPECT_TRUE(inbox.At(0).heard);
    }

    // Another program holds the database locked.
    QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
    locker.setDatabaseName(QString::fromStdString(Database()));
    ASSERT_TRUE(locker.open());
    QSqlQuery lock(locker);
    ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE"));
    {
        Inbox inbox;
        QSignalSpy problems(&inbox, &Inbox::StoreProblem);
        ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
        ASSERT_TRUE(testutil::WaitUntil([&] { return problems.count() == 1; }));
        ASSERT_EQ(inbox.Count(), 1);  // still listed
    }
    lock.exec("ROLLBACK");
    lock = QSqlQuery();
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase("locker");
}

TEST_F(InboxFolder, TrashTakesTheMessageAndItsTextAndUndoPutsThemBack) {
    LeaveMessages(2);
    Inbox inbox;
    ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
    const int row = inbox.RowOf(Path("msg0001.wav"));
    inbox.MarkHeard(row);
    const auto wav = testutil::ReadFile((Folder() / "msg0001.wav").string());
    QString error;
    ASSERT_TRUE(inbox.MoveToTrash(row, &error)) << error.toStdString();
    EXPECT_EQ(inbox.Count(), 1);
    EXPECT_FALSE(std::filesystem::exists(Folder() / "msg0001.wav"));
    EXPECT_FALSE(std::filesystem::exists(Folder() / "msg0001.txt"));
    const auto trash = Folder().parent_path() / "Trash";
    EXPECT_EQ(testutil::ReadFile((trash / "files" / "msg0001.wav").string()), wav);
    EXPECT_TRUE(std::filesystem::exists(trash / "files" / "msg0001.txt"));
    EXPECT_TRUE(std::filesystem::exists(trash / "info" / "msg0001.wav.trashinfo"));
    ASSERT_TRUE(inbox.CanUndoTrash());

    int arrived = 0;  // a message put back is not a new one landing
    QObject::connect(&inbox, &Inbox::MessageArrived, [&](int) { ++arrived; });
    ASSERT_TRUE(inbox.UndoTrash(&error)) << error.toStdString();
    EXPECT_EQ(arrived, 0);
    EXPECT_FALSE(inbox.CanUndoTrash());
    EXPECT_EQ(testutil::ReadFile((Folder() / "msg0001.wav").string()), wav);
    EXPECT_TRUE(std::filesystem::exists(Folder() / "msg0001.txt"));
    EXPECT_FALSE(std::filesystem::exists(trash / "info" / "msg0001.wav.trashinfo"));
    EXPECT_FALSE(std::filesystem::exists(trash / "info" / "msg0001.txt.trashinfo"));
    const int back = inbox.RowOf(Path("msg0001.wav"));
    ASSERT_GE(back, 0);
    EXPECT_TRUE(inbox.At(back).heard);
    EXPECT_EQ(inbox.At(back).when.toSecsSinceEpoch(), 1765000060);  // its sidecar came back

    // A message that went before it could be trashed: a clear error, nothing else moves.
    std::filesystem::rename(Folder() / "msg0001.wav", Folder().parent_path() / "kept.wav");
    EXPECT_FALSE(inbox.MoveToTrash(back, &error));
    EXPECT_TRUE(error.contains("msg0001.wav"));
    EXPECT_TRUE(std::filesystem::exists(Folder() / "msg0001.txt"));
}

TEST_F(InboxFolder, AMessageLandingInTheFolderIsListed) {
    LeaveMessages(1);
    Inbox inbox;
    ASSERT_TRUE(inbox.Open(FolderName(), nullptr));
    QSignalSpy arrived(&inbox, &Inbox::MessageArrived);
    // Written in two steps, as a recorder does: first a header without its data.
    const testutil::Bytes whole = Message(16000, {}, 9);
    Write("msg0009.wav", testutil::Bytes(whole.begin(), whole.begin() + 20));
    ASSERT_TRUE(testutil::WaitUntil([&] { return arrived.count() == 1; }, 2000));
    Write("msg0009.wav", whole);
    ASSERT_TRUE(testutil::WaitUntil(
        [&] {
            const int row = inbox.RowOf(Path("msg0009.wav"));
            return row >= 0 && inbox.At(row).error.isEmpty() && inbox.At(row).lengthMs == 1000;
        },
        2000));
    EXPECT_EQ(inbox.Count(), 2);
    std::filesystem::remove(Folder() / "msg0000.wav");
    ASSERT_TRUE(testutil::WaitUntil([&] { return inbox.Count() == 1; }, 2000));
}
