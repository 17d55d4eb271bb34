// The window as a user meets it: its buttons, keys, menu, dialogs and message boxes.
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>

#include "platform/exception.h"
#include "platform/qt/settings.h"
#include "platform/wave_out.h"
#include "player/about_box.h"
#include "player/corvane_app.h"
#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/transparent_static.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

TEST_F(WindowTest, TheTransportButtonsPlayPauseStopAndStepTheSpeed) {
    Start();
    EXPECT_EQ(Text("fileName"), "<No File Opened>");
    Click("play");  // nothing open: nothing happens
    EXPECT_TRUE(Shown("play"));

    fileAnswers.push_back(Q(MakeWave("message.wav", 65400)));
    Click("openFile");
    ASSERT_EQ(fileQuestions.size(), 1u);
    EXPECT_TRUE(fileQuestions[0].filters.first().contains("*.gsm"));  // all it opens, at first
    EXPECT_EQ(Text("fileName"), "message.wav");
    EXPECT_EQ(session->State(), Playing);
    EXPECT_TRUE(Shown("pause"));
    EXPECT_FALSE(Shown("play"));
    EXPECT_EQ(window->focusWidget(), Button("pause"));

    Click("pause");
    EXPECT_EQ(session->State(), Paused);
    EXPECT_EQ(window->focusWidget(), Button("play"));
    Click("play");
    EXPECT_EQ(session->State(), Playing);
    Click("speed");
    EXPECT_EQ(Text("speedDisplay"), "x2");
    EXPECT_TRUE(Shown("speedDisplay"));
    Click("volumeDown");
    EXPECT_EQ(Text("volumeDisplay"), "90%");
    Click("stop");
    EXPECT_FALSE(session->HasPlayer());
    EXPECT_EQ(Text("time"), "00:00 / 01:05");
    EXPECT_TRUE(Shown("speedDisplay"));  // what the next Play uses
    EXPECT_TRUE(Shown("play"));
}

TEST_F(WindowTest, KeysDriveTheTransportVolumeAndCommands) {
    Start(Q(MakeWave("keys.wav", 10000)));
    Key(Qt::Key_Space);
    EXPECT_EQ(session->State(), Paused);
    Key(Qt::Key_Space);
    EXPECT_EQ(session->State(), Playing);
    Key(Qt::Key_Space);
    session->Seek(5000);
    Key(Qt::Key_Right);
    EXPECT_EQ(session->PositionMs(), 6000u);
    Key(Qt::Key_Left);
    EXPECT_EQ(session->PositionMs(), 5000u);
    Key(Qt::Key_Down);
    EXPECT_EQ(Text("volumeDisplay"), "90%");
    Key(Qt::Key_Up);
    EXPECT_EQ(Text("volumeDisplay"), "100%");
    Key(Qt::Key_S);
    EXPECT_EQ(Text("speedDisplay"), "x2");
    Key(Qt::Key_BracketLeft);
    EXPECT_EQ(Text("speedDisplay"), "x1.75");
    auto* speed = window->findChild<CTransparentStatic*>("speedDisplay");
    EXPECT_EQ(speed->DrawingFont().pixelSize(), speed->font().pixelSize());  // room, not shrunk
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Text("speedDisplay"), "x2");
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(session->PositionMs(), 0u);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(session->PositionMs(), 5000u);
    Key(Qt::Key_Home);
    EXPECT_EQ(session->PositionMs(), 0u);
    QTest::mouseClick(window->findChild<QWidget*>("time"), Qt::LeftButton);
    EXPECT_EQ(Text("time"), "-00:10 / 00:10");

    // Ctrl+S asks where to save a copy of the original file.
    const std::string copy = dir.File("copy.wav");
    fileAnswers.push_back(Q(copy));
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(fileQuestions.size(), 1u);
    EXPECT_TRUE(fileQuestions[0].save);
    EXPECT_EQ(fileQuestions[0].name, "keys");
    EXPECT_EQ(fileQuestions[0].filters,
              QStringList({"Sound File (*.wav)"}) + PlayerSession::ShareFilters());
    EXPECT_EQ(testutil::ReadFile(copy), testutil::ReadFile(dir.File("keys.wav")));
    // A copy for sharing, under the chosen format's extension, written off the window thread.
    fileAnswers.push_back(Q(dir.File("shared")));
    filterAnswers.push_back(PlayerSession::ShareFilters()[1]);
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return !session->SavingCopy(); }));
    const testutil::Bytes shared = testutil::ReadFile(dir.File("shared.flac"));
    EXPECT_EQ(std::string(shared.begin(), shared.begin() + std::min<size_t>(4, shared.size())),
              "fLaC");

    Key(Qt::Key_Period);
    EXPECT_FALSE(session->HasPlayer());

    Key(Qt::Key_O, Qt::ControlModifier);  // Open File; cancelled
    EXPECT_EQ(fileQuestions.size(), 3u);
    EXPECT_EQ(session->SourceName(), "keys.wav");

    // K and L switch the voice tools; their menu items show the state.
    Key(Qt::Key_K);
    Key(Qt::Key_L);
    Key(Qt::Key_L);
    EXPECT_TRUE(session->Tools().skipSilence);
    EXPECT_FALSE(session->Tools().level);
    EXPECT_TRUE(window->findChild<QAction*>("skipSilence")->isChecked());
    EXPECT_FALSE(window->findChild<QAction*>("levelVoice")->isChecked());
}

// Open File starts in the folder of the file it opened last, also after a new start.
TEST_F(WindowTest, OpenFileStartsWhereTheLastOneWas) {
    Start();
    std::filesystem::create_directory(dir.path() / "inbox");
    fileAnswers.push_back(Q(MakeWave("inbox/first.wav", 500)));
    Click("openFile");
    Click("openFile");  // cancelled
    ASSERT_EQ(fileQuestions.size(), 2u);
    EXPECT_EQ(fileQuestions[1].folder, Q(dir.File("inbox")));
}

TEST_F(WindowTest, MessageBoxesShowTheMessageAndTheFileAsPlainText) {
    Start();
    const std::string bad = dir.File("<b>bad<b>.wav");
    testutil::WriteFile(bad, testutil::Bytes(100, 0x55));
    fileAnswers.push_back(Q(bad));
    Click("openFile");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid wav header.");
    EXPECT_EQ(boxes[0].file, Q(bad));
    EXPECT_FALSE(boxes[0].stopIcon);
    EXPECT_TRUE(boxes[0].overWindow);
    // A path of any length is shown by its start and end, so the box comes up at once.
    const QString huge = Q(dir.File(std::string(1 << 20, 'x')));
    session->OpenSource(huge);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_LT(boxes[1].file.size() + boxes[1].text.size(), 10000);
    EXPECT_TRUE(boxes[1].file.startsWith(huge.left(100)));
    boxes.clear();

    // A report without a window of its own stands over the player too, even when another
    // program has the focus.
    window->clearFocus();
    QApplication::setActiveWindow(nullptr);
    CorvaneApp::InstallMessageBoxReporter();
    CMessageException(std::string("Out of memory.")).ReportError();
    CException::SetReporter(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].overWindow);

    fileAnswers.push_back(Q(MakeWave("<i>tilted<i> & <b>.wav", 500)));
    Click("openFile");
    auto* line = window->findChild<QLabel*>("fileName");
    EXPECT_EQ(line->text(), "<i>tilted<i> & <b>.wav");
    EXPECT_EQ(line->textFormat(), Qt::PlainText);
}

TEST_F(WindowTest, MenuCommandsCloseOnFinishUpdateAndHelp) {
    Start();
    auto* item = window->findChild<QAction*>("closeOnFinish");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(ReadCloseOnFinish());
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(ReadCloseOnFinish());

    // This build has no update service: the user is told where updates come from.
    Command("checkForUpdate");
    EXPECT_TRUE(desktop.urls.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("package manager"));

    Key(Qt::Key_F1);
    ASSERT_EQ(desktop.urls.size(), 1u);
    QFile page(desktop.urls[0].toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("Corvane"));

    // Without a program to show it the user is told, and where the page is.
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    Key(Qt::Key_F1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].file, desktop.urls[0].toLocalFile());
    EXPECT_TRUE(boxes[1].overWindow);
}

TEST_F(WindowTest, AHandOverClosesTheAboutBoxAndPlays) {
    Start();
    const std::string path = MakeWave("during.wav", 3000);
    bool sawBox = false;
    QTimer::singleShot(50, [&] {
        sawBox = qobject_cast<CAboutBox*>(QApplication::activeModalWidget()) != nullptr;
        window->OnHandOver(Q(path) + "<cvnm:Handed>");
    });
    Command("about");  // returns when the hand-over closed the box
    EXPECT_TRUE(sawBox);
    EXPECT_EQ(session->State(), Playing);
    EXPECT_EQ(Text("fileName"), "Handed");
}

// With Close On Finish, a recording that ends under the About box closes the window only
// once the box is closed.
TEST_F(WindowTest, CloseOnFinishWaitsForTheAboutBox) {
    WriteCloseOnFinish(true);
    window.reset();  // the window refers to the session: it goes first
    inbox.reset();
    session = std::make_unique<PlayerSession>(TempPath());
    inbox = std::make_unique<InboxBrowser>(*session);
    window = std::make_unique<PlayerDialog>(*session, *inbox);
    Start(Q(MakeWave("short.wav", 300)));
    bool visibleAfterTheEnd = false;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<CAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        WaitUntil([&] { return !session->HasPlayer(); });
        visibleAfterTheEnd = window->isVisible();
        box->accept();
    });
    Command("about");
    EXPECT_TRUE(visibleAfterTheEnd);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, TheCornerOpensTheMenuAndTheCloseBoxCloses) {
    Start();
    auto* menu = window->findChild<QMenu*>();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_FALSE(menu->isVisible());
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(223, 15));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

// The skin's caption band is the title bar: a drag moves the window, a double-click
// maximises and restores it; the window's edges resize it. (Without a window manager the
// window follows the pointer itself.)
TEST_F(WindowTest, TheCaptionMovesAndMaximisesTheWindowAndItsEdgesResizeIt) {
    Start();
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    const QPoint start = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(120, 15));
    QTest::mouseMove(window.get(), QPoint(170, 45));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(170, 45));
    EXPECT_EQ(window->pos(), start + QPoint(50, 30));

    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(120, 15));
    EXPECT_TRUE(window->isMaximized());
    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(120, 15));
    EXPECT_FALSE(window->isMaximized());

    window->resize(240, 320);
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(238, 318));
    QTest::mouseMove(window.get(), QPoint(278, 338));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(278, 338));
    EXPECT_EQ(window->size(), QSize(280, 340));
}

TEST_F(WindowTest, DroppingAFileOpensIt) {
    Start();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Q(MakeWave("dropped.wav", 2000)))});
    QDragEnterEvent enter(QPoint(120, 120), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(120, 120), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(Text("fileName"), "dropped.wav");
    EXPECT_EQ(session->State(), Playing);
}

TEST_F(WindowTest, TheTimeDisplayIsNeverClipped) {
    Start();
    window->resize(window->minimumSize());
    QApplication::processEvents();
    auto* time = window->findChild<CTransparentStatic*>("time");
    for (const QString& text :
         {PlayerSession::TimeText(59, 599), PlayerSession::TimeText(6059, 6060)}) {
        time->SetText(text);
        const QFontMetrics metrics(time->DrawingFont());
        EXPECT_LE(metrics.horizontalAdvance(text), time->TextRect().width()) << text.toStdString();
    }
}

}  // namespace
}  // namespace playertest

namespace playertest {
namespace {

TEST_F(WindowTest, EveryControlIsNamedForScreenReadersAndTellsItsKeys) {
    Start(Q(MakeWave("keys.wav", 5000)));
    for (const char* name : {"fastBack", "stop", "pause", "play", "speed", "fastForward",
                             "volumeDown", "volumeUp", "time", "volumeDisplay"}) {
        QWidget* control = window->findChild<QWidget*>(QLatin1String(name));
        EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
        EXPECT_FALSE(control->toolTip().isEmpty()) << name;
    }
    EXPECT_TRUE(Button("play")->toolTip().contains("Space"));
    EXPECT_TRUE(Button("speed")->toolTip().contains("]"));
    EXPECT_TRUE(Button("speed")->toolTip().contains("["));
    // Screen readers hear each display's value, and what it changed to.
    auto* time = window->findChild<QWidget*>("time");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(time)->text(QAccessible::Description),
              Text("time"));
    Key(Qt::Key_Down);
    EXPECT_EQ(window->findChild<QWidget*>("volumeDisplay")->accessibleDescription(),
              Text("volumeDisplay"));
    EXPECT_EQ(window->findChild<QWidget*>("fileName")->accessibleDescription(), "keys.wav");

    // The focus ring shows once the user moves by keyboard, and Enter presses the button.
    auto* pause = static_cast<BitmapButton*>(Button("pause"));
    const QImage ring = LoadSkinBitmap(kPauseFocused).toImage();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_NE(pause->CurrentImage().toImage(), ring);
    Key(Qt::Key_Return);
    EXPECT_EQ(session->State(), Paused);
    EXPECT_EQ(static_cast<BitmapButton*>(Button("play"))->CurrentImage().toImage(),
              LoadSkinBitmap(kPlayFocused).toImage());

    auto* menu = window->findChild<QMenu*>();
    for (QKeyCombination keys :
         {QKeyCombination(Qt::Key_F10), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10),
          QKeyCombination(Qt::Key_Menu)}) {
        Key(keys.key(), keys.keyboardModifiers());
        EXPECT_TRUE(menu->isVisible());
        menu->hide();
    }
}

TEST_F(WindowTest, ALongNameIsCutAndTheTitleNamesWhatPlays) {
    Start();
    EXPECT_EQ(window->windowTitle(), "Corvane");
    // Any length shows at once (the name is measured once, not once per character cut).
    const QString name = QString("A very long name of a voicemail message from Ann").repeated(500);
    session->OpenSource(Q(MakeWave("long.wav", 2000)), name);
    EXPECT_EQ(window->windowTitle(), name + " - Corvane");
    auto* line = window->findChild<QLabel*>("fileName");
    EXPECT_TRUE(line->text().endsWith("..."));
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
    EXPECT_EQ(line->toolTip(), name);
}

TEST_F(WindowTest, TheMouseWheelOverTheVolumeChangesIt) {
    Start();
    auto* volume = window->findChild<QWidget*>("volumeDisplay");
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(5, 5), volume->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(volume, &event);
    };
    wheel(-120);
    EXPECT_EQ(Text("volumeDisplay"), "90%");
    wheel(-60);  // half a notch: nothing yet
    EXPECT_EQ(Text("volumeDisplay"), "90%");
    wheel(-60);
    wheel(240);
    EXPECT_EQ(Text("volumeDisplay"), "100%");
}

}  // namespace
}  // namespace playertest
