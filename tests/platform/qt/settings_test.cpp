#include "platform/qt/settings.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.path().string()));
    }
    static void Store(const char* key, const QVariant& value) {
        OpenCorvaneSettings()->setValue(QString::fromLatin1(key), value);
    }
    static QString Stored(const char* key) {
        return OpenCorvaneSettings()->value(QString::fromLatin1(key)).toString();
    }

  private:
    testutil::TempDir folder_;
};

TEST_F(SettingsTest, CloseOnFinishIsReadOrCreatedAsZero) {
    EXPECT_FALSE(ReadCloseOnFinish());
    EXPECT_EQ(Stored(kCloseOnFinishKey), "0");
    WriteCloseOnFinish(true);
    EXPECT_TRUE(ReadCloseOnFinish());
    Store(kCloseOnFinishKey, "garbage");
    EXPECT_FALSE(ReadCloseOnFinish());
    EXPECT_EQ(Stored(kCloseOnFinishKey), "0");
}

TEST_F(SettingsTest, VolumeIsAPercentOrNothing) {
    EXPECT_EQ(ReadVolume(), std::nullopt);
    WriteVolume(47);
    EXPECT_EQ(ReadVolume(), 47u);
    for (const char* bad : {"101", "-10", "loud"}) {
        Store(kVolumeKey, bad);
        EXPECT_EQ(ReadVolume(), std::nullopt) << bad;
    }
}

TEST_F(SettingsTest, SpeedIsAQuarterStepFrom1To3AndOtherwise1) {
    EXPECT_EQ(ReadSpeed(), 1.0);
    WriteSpeed(1.5);
    EXPECT_EQ(Stored(kSpeedKey), "1.5");
    EXPECT_EQ(ReadSpeed(), 1.5);
    for (const char* good : {"3", "2.75", "1.25"}) {
        Store(kSpeedKey, good);
        EXPECT_EQ(ReadSpeed(), QString(good).toDouble()) << good;
    }
    for (const char* bad : {"0.75", "3.25", "1.1", "2,5", "fast", "nan", "inf", ""}) {
        Store(kSpeedKey, bad);
        EXPECT_EQ(ReadSpeed(), 1.0) << bad;
    }
}

}  // namespace
