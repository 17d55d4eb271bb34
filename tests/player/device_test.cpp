// The window against a scripted audio device: a device that cannot be opened, and the
// engine's end of data seen by the timer.
#include <QTimer>

#include "platform/qt/settings.h"
#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

class DeviceTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        previous = SetWaveOutBackend(&device);
    }
    void TearDown() override {
        PlayerTest::TearDown();  // the window and its player go first
        SetWaveOutBackend(previous);
    }

    FakeWaveOutBackend device;
    WaveOutBackend* previous = nullptr;
};

TEST_F(DeviceTest, PlayErrorIsReportedWithTheStopIconAndPlayStaysVisible) {
    device.SetDeviceCount(0);
    dialog->OpenSource(Q(MakeWave("quiet.wav", 2000)));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Cannot open sound device.");
    EXPECT_EQ(reports[0].style, kMbIconStop);
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Stopped);
    EXPECT_FALSE(dialog->Control(kIdPlay)->isHidden());
    EXPECT_TRUE(dialog->Control(kIdPause)->isHidden());

    dialog->OnFastForward();  // harmless without a device
    dialog->OnSpeed();
    dialog->OnPause();
    EXPECT_EQ(dialog->Player()->GetState(), Stopped);

    device.SetDeviceCount(1);
    dialog->OnPlay();  // a fresh player, now with a device
    ASSERT_NE(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->Player()->GetState(), Playing);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(DeviceTest, StartUpAndHandOverGoOnAfterAPlayError) {
    device.SetDeviceCount(0);
    const std::string path = MakeWave("first.wav", 2000);
    dialog->SetStartPath(Q(path) + "<cvnm:First>");
    dialog->OnInitDialog();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(dialog->ControlText(kIdFileName), "First");
    QTimer* timer = dialog->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());

    OpenCorvaneSettings()->setValue("AutoPlay", Q(MakeWave("second.wav", 2000)) + "<cvnm:Second>");
    dialog->OnHandOver();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].message, "Cannot open sound device.");
    EXPECT_EQ(dialog->ControlText(kIdFileName), "Second");
    EXPECT_FALSE(OpenCorvaneSettings()->contains("AutoPlay"));
}

TEST_F(DeviceTest, TimerStopsThePlayerOnTheTickAfterTheEndOfData) {
    dialog->OpenSource(Q(MakeWave("tick.wav", 1000)));
    ASSERT_NE(dialog->Player(), nullptr);
    dialog->OnTimer();
    EXPECT_NE(dialog->Player(), nullptr);
    // Play the whole recording until the buffer with the end marker came back.
    ASSERT_TRUE(WaitUntil(
        [&] {
            device.Advance(50);
            return dialog->Player()->IsFinished();
        },
        5000));
    dialog->OnTimer();
    EXPECT_EQ(dialog->Player(), nullptr);
    EXPECT_EQ(dialog->ControlText(kIdTime), "00:00 / 00:01");
}

}  // namespace
}  // namespace playertest
