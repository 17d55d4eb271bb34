// Shared set-up of the player's tests: an offscreen application with the null audio device,
// settings in a private folder, a recorder for reported errors, a window whose dialogs are
// answered by the test, and sample recordings.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/player_dialog.h"
#include "tests/test_util.h"

namespace playertest {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Creates the one QApplication of the test program (offscreen, null audio) on first use.
void EnsureApplication();

// A window whose file dialogs and URL opening are answered from queues.
class TestDialog : public PlayerDialog {
  public:
    using PlayerDialog::dropEvent;
    using PlayerDialog::PlayerDialog;

    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    struct SaveQuestion {
        QString base, ext, filter;
    };
    std::vector<SaveQuestion> saveQuestions;
    std::vector<QUrl> openedUrls;

  protected:
    QString AskOpenPath() override;
    QString AskSavePath(const QString& base, const QString& ext, const QString& filter) override;
    void OpenUrl(const QUrl& url) override;
};

struct Report {
    std::string message;
    unsigned style;
};

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A 16-bit mono 8000 Hz PCM WAVE file of ms milliseconds (a quiet tone) in the folder.
    std::string MakeWave(const std::string& name, uint32_t ms);
    // Processes events until done() or timeoutMs passed; returns done().
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

    testutil::TempDir dir;
    std::unique_ptr<TestDialog> dialog;
    std::vector<Report> reports;
};

}  // namespace playertest
