#include "sound/share_copy.h"

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "tests/test_util.h"

using namespace testutil;

// The encoder's own writes that fail are reported in the system's words, naming the file.
TEST(ShareCopy, AFailedWriteGivesTheSystemsReason) {
    TempDir dir;
    WritePcmWave(dir.File("in.wav"), std::vector<int16_t>(80000, 1000));
    for (const ShareFormat format : {ShareFormat::kFlac, ShareFormat::kOpus}) {
        const ExceptionPtr error = CatchException([&] {
            EncodeShareCopy(dir.File("in.wav"), "/dev/full", "copy", {format, {}});
        });
        ASSERT_TRUE(error) << ShareFormatName(format);
        EXPECT_EQ(error->Message(), "Cannot write \"copy\": No space left on device.");
    }
}
