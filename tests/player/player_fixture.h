// Shared set-up of the player's tests: an offscreen application with the null audio device,
// settings in a private folder and sample recordings. SessionTest drives the session without
// a window and records its reports; WindowTest adds the real window, presses its controls by
// object name and answers its dialogs and message boxes as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/inbox_browser.h"
#include "player/player_dialog.h"
#include "player/player_session.h"
#include "tests/test_util.h"

namespace playertest {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Creates the one QApplication of the test program (offscreen, null audio) on first use.
void EnsureApplication();

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // A 16-bit mono 8000 Hz PCM WAVE file of ms milliseconds (a quiet tone whose loudness
    // rises and falls) in the folder.
    std::string MakeWave(const std::string& name, uint32_t ms);
    // Processes events until done() or timeoutMs passed; returns done().
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    // The recording's place in the player's private folder.
    QString TempPath() const { return Q(dir.File("private/cvtemp.wav")); }

    testutil::TempDir dir;
};

class SessionTest : public PlayerTest {
  protected:
    void SetUp() override;
    void TearDown() override { session.reset(); }
    // A new session, as at a new start of the program.
    void Restart();

    std::unique_ptr<PlayerSession> session;
    std::vector<PlayerSession::Report> reports;
};

// Receives the addresses the window asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    std::vector<QUrl> urls;
  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

// What a file dialog proposed before the test answered it.
struct FileQuestion {
    bool save;
    QString name;  // the proposed file name
    QStringList filters;
    QString suffix;  // the default suffix
    QString folder;  // where it started
};

// What a message box showed before the test pressed its OK.
struct Box {
    QString text, file;
    bool stopIcon;
    bool overWindow;  // it stood over the player's window
};

class WindowTest : public PlayerTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the window and runs its initialisation, as the program does at start.
    void Start(const QString& startPath = QString());
    QAbstractButton* Button(const char* name) const;
    void Click(const char* name);
    // The text a display or the file-name line shows.
    QString Text(const char* name) const;
    bool Shown(const char* name) const;
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Triggers the menu's action of that object name.
    void Command(const char* name);

    std::unique_ptr<PlayerSession> session;
    std::unique_ptr<InboxBrowser> inbox;  // heard and new in the test's folder
    std::unique_ptr<PlayerDialog> window;
    // The file dialogs' answers, in turn: a path is typed and confirmed; an empty text or no
    // answer cancels. Message boxes are recorded and confirmed.
    std::deque<QString> fileAnswers;
    // The name filters chosen before those answers, in turn; none or an empty one: the first.
    std::deque<QString> filterAnswers;
    std::vector<FileQuestion> fileQuestions;
    std::vector<Box> boxes;
    UrlCatcher desktop;

  private:
    void AnswerModal();
};

}  // namespace playertest
