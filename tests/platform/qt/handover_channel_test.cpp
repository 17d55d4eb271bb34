#include "platform/qt/handover_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/wait_until.h"

namespace {

namespace fs = std::filesystem;

// The user's private folder without a session runtime folder: /run/user, the cache and the
// temporary folders lie in a private folder of the test, and the environment is put back
// afterwards.
class RuntimeFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::unsetenv("XDG_RUNTIME_DIR");
        ::setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
        ::setenv("TMPDIR", tmp_.c_str(), 1);
        ::setenv("CORVANE_RUN_USER_ROOT", (root_.path() / "run-user").c_str(), 1);
        fs::create_directories(tmp_);
    }
    void TearDown() override {
        for (size_t i = 0; i < saved_.size(); ++i) {
            if (saved_[i]) {
                ::setenv(kVariables[i], saved_[i]->c_str(), 1);
            } else {
                ::unsetenv(kVariables[i]);
            }
        }
    }

    static QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }
    static unsigned Mode(const fs::path& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : ~0u;
    }

    static constexpr const char* kVariables[] = {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "TMPDIR",
                                                 "CORVANE_RUN_USER_ROOT"};
    testutil::TempDir root_;
    const fs::path cache_ = root_.path() / "cache";
    const fs::path tmp_ = root_.path() / "tmp";
    const fs::path cacheRun_ = cache_ / "corvane" / "run";
    const fs::path tmpRun_ = tmp_ / ("corvane-" + std::to_string(::getuid()));
    const fs::path runUser_ = root_.path() / "run-user" / std::to_string(::getuid());

  private:
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(RuntimeFolderTest, TheSessionFoldersComeBeforeThePrivateCacheFolder) {
    EXPECT_EQ(UserRuntimeDirectory(), Q(cacheRun_));
    EXPECT_EQ(Mode(cacheRun_), 0700u);
    EXPECT_EQ(HandOverSocketPath(),
              Q(cacheRun_) + QStringLiteral("/corvane-%1.sock").arg(::getuid()));

    // The user's folder in /run/user stands in for a missing or unusable session variable.
    fs::create_directories(runUser_);
    ::chmod(runUser_.c_str(), 0700);
    EXPECT_EQ(UserRuntimeDirectory(), Q(runUser_));

    // Either is used only when no one else may enter it.
    const fs::path session = root_.path() / "session";
    fs::create_directory(session);
    ::setenv("XDG_RUNTIME_DIR", session.c_str(), 1);
    ::chmod(session.c_str(), 0700);
    EXPECT_EQ(UserRuntimeDirectory(), Q(session));
    ::chmod(session.c_str(), 0755);
    EXPECT_EQ(UserRuntimeDirectory(), Q(runUser_));
    ::chmod(runUser_.c_str(), 0755);
    EXPECT_EQ(UserRuntimeDirectory(), Q(cacheRun_));
}

// A folder another user made, or one others may write in, or a link, is never used: the next
// one is, and without any the reasons are told. In the temporary folder, where anyone may
// take a name first, a taken name is passed over the same way by every program.
TEST_F(RuntimeFolderTest, AFolderOthersCouldUseFirstIsRefused) {
    fs::create_directories(cacheRun_);
    ::chmod(cacheRun_.c_str(), 0777);
    EXPECT_EQ(UserRuntimeDirectory(), Q(tmpRun_));
    EXPECT_EQ(Mode(tmpRun_), 0700u);
    EXPECT_EQ(Mode(cacheRun_), 0777u);  // refused, not changed

    const auto named = [&](int n) { return fs::path(tmpRun_.string() + '.' + std::to_string(n)); };
    fs::remove(tmpRun_);
    fs::create_directory_symlink(root_.path(), tmpRun_);
    fs::path taken = named(1);
    if (::geteuid() == 0) {  // and a folder of another user
        fs::create_directory(taken);
        ::chmod(taken.c_str(), 0700);
        ASSERT_EQ(::chown(taken.c_str(), 65534, 65534), 0);
        taken = named(2);
    }
    EXPECT_EQ(UserRuntimeDirectory(), Q(taken));
    EXPECT_EQ(Mode(taken), 0700u);
    EXPECT_EQ(UserRuntimeDirectory(), Q(taken));  // found again, not another one made
    fs::remove(tmpRun_);                          // the squatter lets go: ours stays the one
    EXPECT_EQ(UserRuntimeDirectory(), Q(taken));
    EXPECT_FALSE(fs::exists(tmpRun_));

    fs::remove(taken);
    fs::create_directory_symlink(root_.path(), tmpRun_);
    for (int n = 1; n < 16; ++n) {
        if (!fs::exists(named(n))) testutil::WriteFile(named(n).string(), {});
    }
    QString problems;
    EXPECT_EQ(UserRuntimeDirectory(&problems), QString());
    EXPECT_EQ(problems, Q(cacheRun_) + ": open to other users; " + Q(tmpRun_) + ": not a folder; " +
                            Q(tmpRun_) + ".1 to .15: taken as well");

    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
    ::chmod(cacheRun_.c_str(), 0700);
    ASSERT_EQ(::chown(cacheRun_.c_str(), 65534, 65534), 0);
    EXPECT_EQ(UserRuntimeDirectory(&problems), QString());
    EXPECT_TRUE(problems.startsWith(Q(cacheRun_) + ": owned by another user;"))
        << problems.toStdString();
}

// Socket paths are limited to 107 bytes: under a long home path the socket goes to the
// temporary folder instead.
TEST_F(RuntimeFolderTest, ALongCachePathGivesWayToTheTemporaryFolder) {
    const fs::path deep = root_.path() / std::string(100, 'c');
    ::setenv("XDG_CACHE_HOME", deep.c_str(), 1);
    EXPECT_EQ(UserRuntimeDirectory(), Q(tmpRun_));
}

// The hand-over server in this process, its socket in a session folder of the test.
class HandOverServerTest : public RuntimeFolderTest {
  protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance()) return;
        static int argc = 1;
        static char name[] = "platform_qt_tests";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        RuntimeFolderTest::SetUp();
        fs::create_directory(session_);
        ::chmod(session_.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", session_.c_str(), 1);
    }
    void TearDown() override {
        for (const int fd : connections_) ::close(fd);
        RuntimeFolderTest::TearDown();
    }

    // A connection to the server that has sent sent.
    int Connect(const std::string& sent) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        connections_.push_back(fd);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, HandOverSocketPath().toLocal8Bit().constData(),
                     sizeof address.sun_path - 1);
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::write(fd, sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
        return fd;
    }
    // True once the server has closed fd; what it sent meanwhile is added to *received.
    static bool Closed(int fd, std::string* received = nullptr) {
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0 && received) received->append(buffer, static_cast<size_t>(n));
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

    const fs::path session_ = root_.path() / "session";

  private:
    std::vector<int> connections_;
};

// Idle connections would otherwise hold the player's descriptors for as long as their program
// likes; a request that comes in time is still served.
TEST_F(HandOverServerTest, AConnectionWithoutACompleteRequestIsDropped) {
    std::vector<QByteArray> served;
    HandOverServer server([&](const QByteArray& request) { served.push_back(request); },
                          std::chrono::milliseconds(100));
    ASSERT_TRUE(server.Listen());
    const int idle = Connect("");
    const int partial = Connect("CorvanePl");
    EXPECT_TRUE(testutil::WaitUntil([&] { return Closed(idle) && Closed(partial); }, 3000));

    const int prompt = Connect("activate\n");
    std::string answer;
    EXPECT_TRUE(testutil::WaitUntil([&] { return Closed(prompt, &answer); }, 3000));
    EXPECT_EQ(answer, "done\n");
    EXPECT_EQ(served, std::vector<QByteArray>{"activate"});
}

}  // namespace
