#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "tests/test_util.h"

using namespace testutil;

TEST(File, WriteSeekAndReadBackAcrossTheBuffer) {
    TempDir dir;
    const std::string path = dir.File("f.bin");
    Bytes data(200000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + (i >> 8));
    {
        CFile out;
        ASSERT_TRUE(out.Open(path, CFile::modeCreate | CFile::modeWrite));
        out.Write(data.data(), 10);
        out.Write(data.data() + 10, data.size() - 10);
        EXPECT_EQ(out.GetPosition(), data.size());
        EXPECT_EQ(out.GetLength(), data.size());
        out.Seek(0);
        out.Write("AB", 2);  // patch in place, as the converter patches its header
        out.Close();
    }
    data[0] = 'A';
    data[1] = 'B';
    EXPECT_EQ(ReadFile(path), data);

    CFile in;
    ASSERT_TRUE(in.Open(path, CFile::modeRead));
    uint8_t b[5];
    ASSERT_EQ(in.Read(b, 1), 1u);
    EXPECT_EQ(b[0], 'A');
    in.Seek(100);  // inside the buffer
    ASSERT_EQ(in.Read(b, 5), 5u);
    EXPECT_EQ(b[0], data[100]);
    in.Seek(150000);  // outside it
    ASSERT_EQ(in.Read(b, 5), 5u);
    EXPECT_EQ(b[4], data[150004]);
    EXPECT_EQ(in.GetPosition(), 150005u);
    Bytes rest(100000);
    EXPECT_EQ(in.Read(rest.data(), rest.size()), data.size() - 150005);
    EXPECT_EQ(in.Read(b, 5), 0u);  // end of file
    in.Seek(uint64_t{1} << 40);    // past the end: reads give nothing
    EXPECT_EQ(in.Read(b, 5), 0u);
}

TEST(File, SeekBackAfterALargeReadReadsTheFileNotTheOldBuffer) {
    TempDir dir;
    Bytes data(300000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    WriteFile(dir.File("f.bin"), data);
    CFile in;
    ASSERT_TRUE(in.Open(dir.File("f.bin"), CFile::modeRead));
    uint8_t small[44];
    ASSERT_EQ(in.Read(small, sizeof small), sizeof small);  // fills the buffer
    Bytes large(153600);                                    // bypasses it
    ASSERT_EQ(in.Read(large.data(), large.size()), large.size());
    const uint64_t back = in.GetPosition() - 1000;
    in.Seek(back);
    uint8_t b[16];
    ASSERT_EQ(in.Read(b, sizeof b), sizeof b);
    EXPECT_TRUE(std::equal(b, b + sizeof b, data.begin() + static_cast<long>(back)));
}

TEST(File, OpenFailuresFillTheExceptionWithPathAndReason) {
    TempDir dir;
    CFile f;
    CFileException error;
    EXPECT_FALSE(f.Open(dir.File("missing"), CFile::modeRead, &error));
    EXPECT_EQ(error.cause(), CFileException::fileNotFound);
    EXPECT_NE(error.Message().find(dir.File("missing")), std::string::npos);
    EXPECT_NE(error.Message().find("No such file or directory"), std::string::npos);

    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(f.Open(dir.File("fifo"), CFile::modeRead, &error, true));
    EXPECT_FALSE(f.Open(dir.path().string(), CFile::modeRead, &error, true));
    EXPECT_FALSE(f.IsOpen());
}

TEST(File, FailedWritesThrowAtTheLatestOnClose) {
    struct stat st {};
    if (::stat("/dev/full", &st) != 0) GTEST_SKIP() << "no /dev/full";
    CFile out;
    ASSERT_TRUE(out.Open("/dev/full", CFile::modeCreate | CFile::modeWrite));
    out.Write("abc", 3);  // buffered: not yet on the device
    try {
        out.Close();
        ADD_FAILURE() << "a lost write was reported as success";
    } catch (CException* e) {
        ExceptionPtr owned(e);
        EXPECT_NE(e->Message().find("No space left"), std::string::npos) << e->Message();
    }
    EXPECT_FALSE(out.IsOpen());

    // A write that the system takes only in part: a child process may make files of at most
    // 1000 bytes and is told so by errors rather than SIGXFSZ.
    TempDir dir;
    EXPECT_EXIT(
        {
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = 1000;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
            CFile partial;
            if (!partial.Open(dir.File("partial"), CFile::modeCreate | CFile::modeWrite))
                std::_Exit(2);
            const Bytes data(3000, 'x');
            partial.Write(data.data(), data.size());
            std::_Exit(CatchException([&] { partial.Close(); }) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(File, ReadingAWriteOnlyFileThrows) {
    TempDir dir;
    CFile out;
    ASSERT_TRUE(out.Open(dir.File("w"), CFile::modeCreate | CFile::modeWrite));
    uint8_t b;
    try {
        out.Read(&b, 1);
        ADD_FAILURE();
    } catch (CException* e) {
        ExceptionPtr owned(e);
    }
}
