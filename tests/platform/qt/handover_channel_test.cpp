#include "platform/qt/handover_channel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;

// The user's private folder without a session runtime folder: the cache and temporary
// folders lie in a private folder of the test, and the environment is put back afterwards.
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

    static constexpr const char* kVariables[] = {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "TMPDIR"};
    testutil::TempDir root_;
    const fs::path cache_ = root_.path() / "cache";
    const fs::path tmp_ = root_.path() / "tmp";
    const fs::path cacheRun_ = cache_ / "corvane" / "run";
    const fs::path tmpRun_ = tmp_ / ("corvane-" + std::to_string(::getuid()));

  private:
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(RuntimeFolderTest, ThePrivateCacheFolderIsMadeWhereThereIsNoSessionFolder) {
    EXPECT_EQ(UserRuntimeDirectory(), Q(cacheRun_));
    EXPECT_EQ(Mode(cacheRun_), 0700u);
    EXPECT_EQ(HandOverSocketPath(),
              Q(cacheRun_) + QStringLiteral("/corvane-%1.sock").arg(::getuid()));

    // A session folder is used only when no one else may enter it.
    const fs::path session = root_.path() / "session";
    fs::create_directory(session);
    ::setenv("XDG_RUNTIME_DIR", session.c_str(), 1);
    ::chmod(session.c_str(), 0700);
    EXPECT_EQ(UserRuntimeDirectory(), Q(session));
    ::chmod(session.c_str(), 0755);
    EXPECT_EQ(UserRuntimeDirectory(), Q(cacheRun_));
}

// A folder another user made, or one others may write in, or a link, is never used: the next
// one is, and without any the reasons are told.
TEST_F(RuntimeFolderTest, AFolderOthersCouldUseFirstIsRefused) {
    fs::create_directories(cacheRun_);
    ::chmod(cacheRun_.c_str(), 0777);
    EXPECT_EQ(UserRuntimeDirectory(), Q(tmpRun_));
    EXPECT_EQ(Mode(tmpRun_), 0700u);
    EXPECT_EQ(Mode(cacheRun_), 0777u);  // refused, not changed

    fs::remove(tmpRun_);
    fs::create_directory_symlink(root_.path(), tmpRun_);
    QString problems;
    EXPECT_EQ(UserRuntimeDirectory(&problems), QString());
    EXPECT_EQ(problems, Q(cacheRun_) + ": open to other users; " + Q(tmpRun_) + ": not a folder");

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

}  // namespace
