#include "platform/file_replacer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/exception.h"
#include "tests/test_util.h"

using namespace testutil;

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

size_t FilesIn(const TempDir& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

}  // namespace

TEST(FileReplacer, ReplacesThroughALinkOnlyOnCommitAndKeepsTheMode) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    const std::string target = dir.File("real/private.wav");
    WriteFile(target, Bytes{'o', 'l', 'd'});
    ::chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("real/private.wav", dir.File("link.wav"));
    {
        FileReplacer replacer(dir.File("link.wav"));
        EXPECT_EQ(replacer.TargetPath(), dir.File("real/private.wav"));
        // Beside the target, named after it, with its mode.
        EXPECT_EQ(replacer.ScratchPath().rfind(target + ".corvane-part-", 0), 0u);
        EXPECT_EQ(ModeOf(replacer.ScratchPath()), 0640u);
        WriteFile(replacer.ScratchPath(), Bytes{'n', 'e', 'w'});
        EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
        replacer.Commit();
    }
    EXPECT_EQ(ReadFile(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.wav")));
    EXPECT_EQ(FilesIn(dir), 2u);

    // Not committed: the scratch file goes, the target stays.
    {
        FileReplacer replacer(target);
        WriteFile(replacer.ScratchPath(), Bytes{'x'});
    }
    EXPECT_EQ(ReadFile(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "real"), {}), 1);

    // A folder is refused before anything is made.
    const ExceptionPtr refused = CatchException([&] { FileReplacer replacer(dir.File("real")); });
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->Message().find("Is a directory"), std::string::npos) << refused->Message();
    EXPECT_EQ(FilesIn(dir), 2u);
}

// In a folder that is sticky and writable by others, a link is followed only when it is the
// user's own or the folder owner's, as the kernel follows links for a write.
TEST(FileReplacer, RefusesALinkPlantedByAnotherUserInASharedFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to give a link away";
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "shared");
    ::chmod(dir.File("shared").c_str(), 01777);
    const std::string victim = dir.File("profile");
    WriteFile(victim, Bytes{'o', 'w', 'n'});
    const std::string planted = dir.File("shared/report.wav");
    std::filesystem::create_symlink(victim, planted);
    ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);
    // Also as the second link of a chain that starts with the user's own.
    std::filesystem::create_symlink(planted, dir.File("shared/mine.wav"));
    for (const char* name : {"shared/report.wav", "shared/mine.wav"}) {
        const ExceptionPtr refused = CatchException([&] { FileReplacer replacer(dir.File(name)); });
        ASSERT_TRUE(refused) << name;
        EXPECT_EQ(refused->Message(), "Cannot create \"" + planted + "\": Permission denied.");
    }
    EXPECT_EQ(ReadFile(victim), (Bytes{'o', 'w', 'n'}));
    EXPECT_EQ(FilesIn(dir), 2u);

    // The folder owner's link is followed, and so is any link in a folder not writable by all.
    ASSERT_EQ(::chown(dir.File("shared").c_str(), 65534, 65534), 0);
    EXPECT_EQ(FileReplacer(planted).TargetPath(), victim);
    ASSERT_EQ(::chown(dir.File("shared").c_str(), 0, 0), 0);
    ::chmod(dir.File("shared").c_str(), 01755);
    EXPECT_EQ(FileReplacer(planted).TargetPath(), victim);
}
