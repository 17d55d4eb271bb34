#include "platform/qt/handover.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "platform/qt/settings.h"
#include "tests/test_util.h"

namespace {

class AutoPlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.path().string()));
    }

  private:
    testutil::TempDir folder_;
};

TEST_F(AutoPlayTest, TheTextIsTakenOnceWhateverItsLengthUpToItsFirstZero) {
    const QString longPath = "/m/" + QString(400, QLatin1Char('a')) + ".wav<cvnm:Ann>";
    ASSERT_TRUE(StoreAutoPlay(longPath + QChar(u'\0') + "rest"));
    EXPECT_EQ(TakeAutoPlay(), longPath);
    EXPECT_EQ(TakeAutoPlay(), std::nullopt);

    // A value that is not text is no hand-over, and it is left alone.
    OpenCorvaneSettings()->setValue(kAutoPlayKey, QStringList{"a", "b"});
    EXPECT_EQ(TakeAutoPlay(), std::nullopt);
    EXPECT_TRUE(OpenCorvaneSettings()->contains(kAutoPlayKey));
}

// A sender takes its text back only while it is still its own: a text another sender wrote
// meanwhile stays for that sender's request.
TEST_F(AutoPlayTest, TakingBackLeavesAnotherSendersText) {
    ASSERT_TRUE(StoreAutoPlay("/m/mine.wav"));
    ASSERT_TRUE(StoreAutoPlay("/m/theirs.wav"));
    EXPECT_FALSE(TakeBackAutoPlay("/m/mine.wav"));
    EXPECT_EQ(TakeAutoPlay(), "/m/theirs.wav");

    ASSERT_TRUE(StoreAutoPlay("/m/mine.wav"));
    EXPECT_TRUE(TakeBackAutoPlay("/m/mine.wav"));
    EXPECT_EQ(TakeAutoPlay(), std::nullopt);
}

}  // namespace
