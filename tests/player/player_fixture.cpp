#include "tests/player/player_fixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <cmath>
#include <cstdlib>

#include "platform/exception.h"
#include "platform/qt/settings.h"
#include "platform/wave_out.h"

namespace playertest {

namespace {

testutil::TempDir& SettingsFolder() {
    static testutil::TempDir folder;
    return folder;
}

}  // namespace

void EnsureApplication() {
    static QApplication* application = nullptr;
    if (application) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CORVANE_AUDIO", "null");
    static int argc = 1;
    static char name[] = "player_tests";
    static char* argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(SettingsFolder().path().string()));
}

QString TestDialog::AskOpenPath() {
    if (openAnswers.empty()) return {};
    QString answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString TestDialog::AskSavePath(const QString& base, const QString& ext, const QString& filter) {
    saveQuestions.push_back({base, ext, filter});
    if (saveAnswers.empty()) return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void TestDialog::OpenUrl(const QUrl& url) {
    openedUrls.push_back(url);
}

void PlayerTest::SetUp() {
    EnsureApplication();
    OpenCorvaneSettings()->remove(QString());  // every test starts with empty settings
    WaveOutSetVolume(0xFFFFFFFF);
    CException::SetReporter([this](const std::string& message, unsigned style) {
        reports.push_back({message, style});
        return 1;
    });
    dialog = std::make_unique<TestDialog>(QString::fromStdString(dir.File("cvtemp.wav")));
}

void PlayerTest::TearDown() {
    dialog.reset();
    CException::SetReporter(nullptr);
}

std::string PlayerTest::MakeWave(const std::string& name, uint32_t ms) {
    testutil::Bytes data;
    const uint32_t samples = ms * 8;
    data.reserve(samples * 2);
    for (uint32_t i = 0; i < samples; ++i) {
        const auto v = static_cast<int16_t>(1000 * std::sin(i * 0.2));
        testutil::Put16(data, static_cast<uint16_t>(v));
    }
    const std::string path = dir.File(name);
    testutil::WriteFile(path, testutil::Wave({}, data));
    return path;
}

bool PlayerTest::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace playertest

// Under LeakSanitizer: fontconfig keeps a cache it never frees; it is not ours to fix.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
