// End-to-end tests of the player on the session bus: the real corvane runs offscreen with the
// null audio device and is driven as the desktop drives it, with playerctl and plain D-Bus
// calls, while the test listens to its signals. Every test has a private bus of its own (the
// build runs each one under dbus-run-session) and gives the player its own runtime, settings
// and temporary folders. What the player plays is read from its trace (CORVANE_TRACE, see
// player/trace.h).
#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <ostream>
#include <vector>

#include "tests/player_process_test.h"
#include "tests/test_util.h"

// Failures show values as Qt writes them (found through the argument's namespace).
static void PrintTo(const QVariant& value, std::ostream* out) {
    QString text;
    QDebug(&text) << value;
    *out << text.toStdString();
}
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using testutil::kHangLimitMs;
using testutil::WaitUntil;

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.corvane");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Properties read from the bus, with the maps among them (Metadata) unpacked.
QVariantMap Unpacked(const QVariantMap& properties) {
    QVariantMap values = properties;
    for (QVariant& value : values) {
        if (value.canConvert<QDBusArgument>()) value = qdbus_cast<QVariantMap>(value);
    }
    return values;
}

// What the player signals: PropertiesChanged of its player interface, and Seeked.
class Listener : public QObject {
    Q_OBJECT
  public:
    std::vector<QVariantMap> changes;
    std::vector<qlonglong> seeks;

  public slots:
    void OnPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                             const QStringList& invalidated) {
        EXPECT_EQ(interfaceName, kPlayer);
        EXPECT_TRUE(invalidated.isEmpty());
        changes.push_back(Unpacked(changed));
    }
    void OnSeeked(qlonglong position) { seeks.push_back(position); }
};

class MprisTest : public testutil::PlayerProcessTest {
  protected:
    void SetUp() override {
        if (kPlayerctl.isEmpty()) GTEST_SKIP() << "needs playerctl and dbus-run-session";
        ASSERT_TRUE(bus().isConnected()) << "no private session bus: run through ctest";
        PlayerProcessTest::SetUp();
    }

    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }

    // A 16-bit mono 8000 Hz PCM recording of silence, ms milliseconds long, at path.
    static QString MakeRecording(const QString& path, uint32_t ms) {
        testutil::WriteFile(path.toStdString(), testutil::Wave({}, testutil::Bytes(ms * 16, 0)));
        return path;
    }

    // Starts the player with env and waits until its window shows a name, by which time it is
    // on the bus if it is to be at all. Its output goes to the test's, or with MergedChannels
    // to the process for the test to read.
    QProcess* StartPlayer(const QStringList& args, const QProcessEnvironment& env,
                          QProcess::ProcessChannelMode output = QProcess::ForwardedChannels) {
        QProcess* player = NewProcess();
        player->setProcessEnvironment(env);
        player->setProcessChannelMode(output);
        player->start(kCorvane, args);
        EXPECT_TRUE(WaitUntil([&] {
            const QStringList trace = Trace();
            return std::any_of(trace.cbegin(), trace.cend(),
                               [](const QString& line) { return line.startsWith("name "); });
        })) << "the player did not start";
        return player;
    }
    QProcess* StartPlayer(const QStringList& args = {}) { return StartPlayer(args, env_); }

    // Runs playerctl on the player; its output without the line end.
    static QString Ctl(const QStringList& args) {
        QProcess ctl;
        ctl.start(kPlayerctl, QStringList{"--player=corvane"} + args);
        EXPECT_TRUE(ctl.waitForFinished(kHangLimitMs)) << args.join(' ').toStdString();
        EXPECT_EQ(ctl.exitCode(), 0)
            << args.join(' ').toStdString() << ": " << ctl.readAllStandardError().toStdString();
        return QString::fromUtf8(ctl.readAllStandardOutput()).trimmed();
    }

    static QDBusMessage Call(const QString& interfaceName, const QString& method,
                             const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interfaceName, method);
        call.setArguments(args);
        const QDBusMessage reply = bus().call(call, QDBus::Block, kHangLimitMs);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply;
    }
    static QVariantMap GetAll(const QString& interfaceName) {
        const QVariantList reply =
            Call("org.freedesktop.DBus.Properties", "GetAll", {interfaceName}).arguments();
        return reply.isEmpty() ? QVariantMap() : Unpacked(qdbus_cast<QVariantMap>(reply[0]));
    }
    static QVariant Get(const QString& name) { return GetAll(kPlayer).value(name); }
    static void Set(const QString& name, const QVariant& value) {
        Call("org.freedesktop.DBus.Properties", "Set",
             {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
    }

    // Records the player's signals from now on, also from a player that is yet to start.
    void Listen() {
        ASSERT_TRUE(bus().connect(kService, kPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged", &listener_,
                                  SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(bus().connect(kService, kPath, kPlayer, "Seeked", &listener_,
                                  SLOT(OnSeeked(qlonglong))));
    }

    static inline const QString kCorvane = CORVANE_PLAYER;
    static inline const QString kPlayerctl = CORVANE_PLAYERCTL;

    Listener listener_;
};

TEST_F(MprisTest, TellsTheDesktopWhatPlaysAndWhatItCanDo) {
    const QString recording = MakeRecording(Path("media/Ann call.wav"), 60000);
    StartPlayer({recording + "<cvnm:Ann's call>"});
    ASSERT_TRUE(WaitForTrace("play"));

    EXPECT_EQ(Ctl({"status"}), "Playing");
    EXPECT_EQ(Ctl({"metadata", "xesam:title"}), "Ann's call");
    EXPECT_EQ(Ctl({"metadata", "xesam:url"}), "file://" + Path("media/Ann%20call.wav"));
    EXPECT_EQ(Ctl({"metadata", "mpris:length"}), "60000000");
    EXPECT_EQ(Get("Metadata").toMap().value("mpris:trackid"),
              QVariant::fromValue(QDBusObjectPath("/net/brandolin/corvane/track/1")));

    // The MIME types are the desktop entry's.
    QFile entry(CORVANE_DESKTOP_ENTRY);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QStringList types;
    for (const QString& line : QString::fromUtf8(entry.readAll()).split('\n')) {
        if (line.startsWith("MimeType=")) types = line.mid(9).split(';', Qt::SkipEmptyParts);
    }
    EXPECT_EQ(GetAll(kRoot), (QVariantMap{{"CanQuit", true},
                                          {"CanRaise", true},
                                          {"HasTrackList", false},
                                          {"Identity", "Corvane"},
                                          {"DesktopEntry", "corvane"},
                                          {"SupportedUriSchemes", QStringList{"file"}},
                                          {"SupportedMimeTypes", types}}));
    EXPECT_TRUE(types.contains("audio/x-wav"));
    const QVariantMap player = GetAll(kPlayer);
    EXPECT_EQ(player.value("MinimumRate"), 1.0);
    EXPECT_EQ(player.value("MaximumRate"), 3.0);
    EXPECT_EQ(player.value("CanGoNext"), false);
    EXPECT_EQ(player.value("CanControl"), true);
}

// Every command reaches the player; each change of state, rate and volume comes back once as
// PropertiesChanged with just what changed, and every jump of the position as Seeked.
TEST_F(MprisTest, TransportPositionRateAndVolumeFollowTheBusAndAreSignalled) {
    const QString recording = MakeRecording(Path("media/long.wav"), 60000);
    Listen();
    StartPlayer({recording});
    ASSERT_TRUE(WaitForTrace("play"));

    EXPECT_EQ(Ctl({"play-pause"}), "");
    EXPECT_EQ(Ctl({"status"}), "Paused");
    Ctl({"play"});
    EXPECT_EQ(Ctl({"status"}), "Playing");
    Set("Rate", 1.6);  // the nearest quarter
    EXPECT_EQ(Get("Rate"), 1.5);
    Set("Rate", 0.0);  // means Pause
    EXPECT_EQ(Ctl({"status"}), "Paused");

    Ctl({"position", "30"});
    EXPECT_EQ(Ctl({"position"}), "30.000000");
    Ctl({"position", "5-"});
    EXPECT_EQ(Ctl({"position"}), "25.000000");
    Ctl({"position", "61"});  // past the end: ignored
    EXPECT_EQ(Ctl({"position"}), "25.000000");

    Ctl({"volume", "0.34"});  // the nearest ten percent
    EXPECT_EQ(Ctl({"volume"}), "0.300000");

    Ctl({"stop"});
    EXPECT_EQ(Ctl({"status"}), "Stopped");
    EXPECT_EQ(Ctl({"position"}), "0.000000");
    EXPECT_EQ(Ctl({"metadata", "mpris:length"}), "60000000");  // still the loaded recording
    Ctl({"play"});
    EXPECT_EQ(Ctl({"status"}), "Playing");

    const QVariantMap metadata{
        {"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/net/brandolin/corvane/track/1"))},
        {"mpris:length", qlonglong{60000000}},
        {"xesam:title", "long.wav"},
        {"xesam:url", "file://" + recording}};
    const std::vector<QVariantMap> expected{
        {{"PlaybackStatus", "Playing"},
         {"Metadata", metadata},
         {"CanPlay", true},
         {"CanPause", true},
         {"CanSeek", true}},
        {{"PlaybackStatus", "Paused"}},
        {{"PlaybackStatus", "Playing"}},
        {{"Rate", 1.5}},
        {{"PlaybackStatus", "Paused"}},
        {{"Volume", 0.3}},
        {{"PlaybackStatus", "Stopped"}, {"CanSeek", false}},
        {{"PlaybackStatus", "Playing"}, {"CanSeek", true}},
    };
    EXPECT_TRUE(WaitUntil([&] { return listener_.changes.size() >= expected.size(); }));
    EXPECT_EQ(listener_.changes, expected);
    EXPECT_EQ(listener_.seeks, (std::vector<qlonglong>{30000000, 25000000}));
}

// A file:// URL of a local file opens and plays as a new track, the same file again too;
// other addresses are ignored.
TEST_F(MprisTest, OpenUriPlaysALocalFileAsANewTrackAndIgnoresOtherAddresses) {
    const QString recording = MakeRecording(Path("media/b c.wav"), 60000);
    StartPlayer();
    EXPECT_EQ(Get("Metadata"), QVariantMap());
    EXPECT_EQ(Get("CanPlay"), false);

    const QString url = "file://" + Path("media/b%20c.wav");
    Ctl({"open", url});
    ASSERT_TRUE(WaitForTrace("play"));
    EXPECT_EQ(Trace(),
              (QStringList{"name <No File Opened>", "open " + recording, "name b c.wav", "play"}));
    EXPECT_EQ(Ctl({"metadata", "xesam:url"}), url);
    Call(kPlayer, "OpenUri", {"file://localhost" + Path("media/b%20c.wav")});
    EXPECT_EQ(Get("Metadata").toMap().value("mpris:trackid"),
              QVariant::fromValue(QDBusObjectPath("/net/brandolin/corvane/track/2")));

    const qsizetype before = Trace().size();
    for (const char* other :
         {"http://example.com/b.wav", "file://otherhost/b.wav", "file:b.wav", "not a url"}) {
        Call(kPlayer, "OpenUri", {QString::fromLatin1(other)});
    }
    EXPECT_EQ(Ctl({"status"}), "Playing");
    EXPECT_EQ(Trace().size(), before);
}

// In a folder's list, Next and Previous go through the messages in the order they were left;
// CanGoNext and CanGoPrevious are false at the ends and their changes are signalled.
TEST_F(MprisTest, NextAndPreviousGoThroughAFoldersMessagesAndStopAtTheEnds) {
    QDir().mkpath(Path("media/box"));
    for (int i = 0; i < 3; ++i) {
        const QString name = Path(QStringLiteral("media/box/msg%1").arg(i, 4, 10, QChar('0')));
        MakeRecording(name + ".wav", 60000);
        const std::string text = QStringLiteral("callerid=Caller %1\norigtime=%2\n")
                                     .arg(i)
                                     .arg(1000 * (i + 1))
                                     .toStdString();
        testutil::WriteFile((name + ".txt").toStdString(), {text.begin(), text.end()});
    }
    Listen();
    StartPlayer({Path("media/box")});
    ASSERT_TRUE(WaitForTrace("list 3 3"));
    EXPECT_EQ(Get("CanGoNext"), true);
    EXPECT_EQ(Get("CanGoPrevious"), false);

    Ctl({"next"});  // nothing loaded: the oldest new one
    EXPECT_TRUE(WaitUntil([&] { return Ctl({"metadata", "xesam:title"}) == "Caller 0"; }));
    EXPECT_EQ(Get("CanGoPrevious"), false);
    Ctl({"next"});
    Ctl({"next"});
    EXPECT_TRUE(WaitUntil([&] { return Ctl({"metadata", "xesam:title"}) == "Caller 2"; }));
    EXPECT_EQ(Get("CanGoNext"), false);
    Call(kPlayer, "Next");  // at the end: nothing (playerctl would not even ask)
    Ctl({"previous"});
    EXPECT_TRUE(WaitUntil([&] { return Ctl({"metadata", "xesam:title"}) == "Caller 1"; }));
    EXPECT_EQ(Get("CanGoNext"), true);
    EXPECT_EQ(Get("CanGoPrevious"), true);

    const auto told = [&](const char* name, bool value) {
        return std::any_of(listener_.changes.cbegin(), listener_.changes.cend(),
                           [&](const QVariantMap& c) { return c.value(name) == value; });
    };
    EXPECT_TRUE(WaitUntil([&] { return told("CanGoNext", false) && told("CanGoPrevious", true); }));
    EXPECT_EQ(Trace().filter("open ").size(), 4);
}

// Quit closes the window as its close box does: the player ends cleanly and leaves the bus.
TEST_F(MprisTest, RaiseKeepsThePlayerAndQuitEndsIt) {
    QProcess* player = StartPlayer();
    Call(kRoot, "Raise");
    EXPECT_FALSE(player->waitForFinished(200));
    Call(kRoot, "Quit");
    ASSERT_TRUE(player->waitForFinished(kHangLimitMs)) << "the player did not end";
    EXPECT_EQ(player->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player->exitCode(), 0);
    EXPECT_FALSE(bus().interface()->isServiceRegistered(kService));
    EXPECT_TRUE(QDir(Path("tmp")).isEmpty(QDir::Dirs | QDir::NoDotAndDotDot));
}

// Without a session bus (a plain terminal, CI), or with its name held by another program,
// the player plays as ever and says nothing about it.
TEST_F(MprisTest, WithoutABusOrItsNameThePlayerPlaysWithoutAWord) {
    const QString recording = MakeRecording(Path("media/quiet.wav"), 60000);
    QProcessEnvironment noBus = env_;
    noBus.remove("DBUS_SESSION_BUS_ADDRESS");
    noBus.remove("DISPLAY");  // nor a bus started for the X session
    ASSERT_TRUE(bus().registerService(kService));

    for (const QProcessEnvironment& env : {noBus, env_}) {
        QFile::remove(Path("trace.log"));
        QProcess* player = StartPlayer({recording}, env, QProcess::MergedChannels);
        EXPECT_TRUE(WaitForTrace("play"));
        ASSERT_EQ(::kill(static_cast<pid_t>(player->processId()), SIGTERM), 0);
        ASSERT_TRUE(player->waitForFinished(kHangLimitMs));
        EXPECT_EQ(player->exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(player->readAll()), "");
    }
    EXPECT_EQ(bus().interface()->serviceOwner(kService).value(), bus().baseService());
}

}  // namespace

#include "mpris_test.moc"
