#include "tests/player/player_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>

#include "platform/qt/settings.h"
#include "platform/wave_out.h"
#include "player/skin/transparent_static.h"
#include "tests/player_process_test.h"

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
    // The inbox's database and the Trash stay in the test's own folder.
    std::filesystem::create_directory(SettingsFolder().path() / "data");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(SettingsFolder().File("data")));
}

void PlayerTest::SetUp() {
    EnsureApplication();
    OpenCorvaneSettings()->remove(QString());  // every test starts with empty settings
    std::filesystem::create_directory(dir.path() / "private");
    WaveOutSetVolume(0xFFFFFFFF);
}

std::string PlayerTest::MakeWave(const std::string& name, uint32_t ms) {
    testutil::Bytes data;
    const uint32_t samples = ms * 8;
    data.reserve(samples * 2);
    for (uint32_t i = 0; i < samples; ++i) {
        // Loudness that rises and falls like speech, so the waveform has a shape.
        const double t = i / 8000.0;
        const double loudness =
            0.15 + 0.85 * std::abs(std::sin(t * 1.1)) * (0.6 + 0.4 * std::sin(t * 0.37));
        const auto v = static_cast<int16_t>(1000 * loudness * std::sin(i * 0.2));
        testutil::Put16(data, static_cast<uint16_t>(v));
    }
    const std::string path = dir.File(name);
    testutil::WriteFile(path, testutil::Wave({}, data));
    return path;
}

bool PlayerTest::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    return testutil::WaitUntil(done, timeoutMs);
}

void SessionTest::SetUp() {
    PlayerTest::SetUp();
    Restart();
}

void SessionTest::Restart() {
    session.reset();
    session = std::make_unique<PlayerSession>(TempPath());
    session->SetReporter([this](const PlayerSession::Report& r) { reports.push_back(r); });
}

void WindowTest::SetUp() {
    PlayerTest::SetUp();
    session = std::make_unique<PlayerSession>(TempPath());
    inbox = std::make_unique<InboxBrowser>(*session, Q(dir.File("private/inbox.sqlite")));
    window = std::make_unique<PlayerDialog>(*session, *inbox);
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &desktop, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
    auto* answerer = new QTimer(window.get());
    QObject::connect(answerer, &QTimer::timeout, answerer, [this] { AnswerModal(); });
    answerer->start(10);
}

void WindowTest::TearDown() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    window.reset();
    inbox.reset();
    session.reset();
}

void WindowTest::AnswerModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (qobject_cast<QFileDialog*>(box->parentWidget())) {  // "replace the file?"
            box->button(QMessageBox::Yes)->click();
            return;
        }
        boxes.push_back({box->text(), box->informativeText(), box->icon() == QMessageBox::Critical,
                         box->parentWidget() == window.get()});
        box->button(QMessageBox::Ok)->click();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        fileQuestions.push_back({files->acceptMode() == QFileDialog::AcceptSave,
                                 name ? name->text() : QString(), files->nameFilters(),
                                 files->defaultSuffix(), files->directory().absolutePath()});
        const QString answer = fileAnswers.empty() ? QString() : fileAnswers.front();
        if (!fileAnswers.empty()) fileAnswers.pop_front();
        if (answer.isEmpty() || !name) {
            files->reject();
            return;
        }
        if (!filterAnswers.empty()) {
            // Chosen as the user does, from the list of file types.
            auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            const int index = types ? types->findText(filterAnswers.front()) : -1;
            if (index >= 0) {
                types->setCurrentIndex(index);
                emit types->activated(index);  // what the box says when the user picks
                emit types->textActivated(types->itemText(index));
            }
            filterAnswers.pop_front();
        }
        name->setText(answer);
        QTest::keyClick(name, Qt::Key_Return);
    }
}

void WindowTest::Start(const QString& startPath) {
    window->SetStartPath(startPath);
    window->show();
    window->OnInitDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
}

QAbstractButton* WindowTest::Button(const char* name) const {
    auto* button = window->findChild<QAbstractButton*>(QLatin1String(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

void WindowTest::Click(const char* name) {
    QAbstractButton* button = Button(name);
    ASSERT_FALSE(button->isHidden()) << name << " is hidden";
    QTest::mouseClick(button, Qt::LeftButton);
}

QString WindowTest::Text(const char* name) const {
    QWidget* control = window->findChild<QWidget*>(QLatin1String(name));
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* display = qobject_cast<CTransparentStatic*>(control)) return display->Text();
    ADD_FAILURE() << "no text control " << name;
    return {};
}

bool WindowTest::Shown(const char* name) const {
    QWidget* control = window->findChild<QWidget*>(QLatin1String(name));
    return control && !control->isHidden();
}

void WindowTest::Key(int key, Qt::KeyboardModifiers modifiers) {
    // Back from a dialog the window is active again, as it is for a user.
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* target = window->focusWidget() ? window->focusWidget() : window.get();
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

void WindowTest::Command(const char* name) {
    auto* action = window->findChild<QAction*>(QLatin1String(name));
    ASSERT_NE(action, nullptr) << name;
    action->trigger();
}

}  // namespace playertest

// Under LeakSanitizer: fontconfig keeps a cache it never frees; it is not ours to fix.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
