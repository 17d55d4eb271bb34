// The session against a scripted audio device: a device that cannot be opened, and the
// engine's end of data seen by the tick.
#include "platform/qt/settings.h"
#include "platform/wave_out_backend.h"
#include "platform/wave_out_fake.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

class DeviceTest : public SessionTest {
  protected:
    void SetUp() override {
        previous = SetWaveOutBackend(&device);
        SessionTest::SetUp();
    }
    void TearDown() override {
        SessionTest::TearDown();  // the session and its player go first
        SetWaveOutBackend(previous);
    }

    FakeWaveOutBackend device;
    WaveOutBackend* previous = nullptr;
};

// After "Cannot open sound device." the transport changes nothing it shows; Play tries again.
TEST_F(DeviceTest, PlayErrorIsReportedWithTheStopIconAndChangesNoDisplay) {
    device.SetDeviceCount(0);
    const std::string path = MakeWave("quiet.wav", 20000);
    session->HandOver(Q(path) + "<cvnm:Quiet>");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Cannot open sound device.");
    EXPECT_EQ(reports[0].detail, Q(path));
    EXPECT_TRUE(reports[0].stopIcon);
    EXPECT_EQ(session->GetDisplay().fileName, "Quiet");
    EXPECT_FALSE(session->GetDisplay().pauseShown);

    session->FastForward();
    session->Pause();
    session->Tick();
    EXPECT_EQ(session->GetDisplay().time, "00:00 / 00:20");

    // The speed is chosen without a device too, shown, and used by the next Play.
    session->CycleSpeed();
    session->StepSpeed(-1);
    EXPECT_EQ(session->GetDisplay().speed, "x1.75");
    device.SetDeviceCount(1);
    session->Play();  // a fresh player, now with a device
    EXPECT_EQ(session->State(), Playing);
    // A second at the device reaches 1.4 s of the recording only faster than 1.25x.
    uint32_t played = 0;
    EXPECT_TRUE(WaitUntil([&] {
        if (played < 1000) device.Advance(10), played += 10;
        return session->PositionMs() >= 1400;
    }));
    EXPECT_EQ(reports.size(), 1u);
    session->Stop();
    EXPECT_EQ(session->GetDisplay().speed, "x1.75");
}

// A rate no device plays is named; the message stays the system's own.
TEST_F(DeviceTest, ARefusedSampleRateIsNamed) {
    const std::string path = dir.File("slow.wav");
    testutil::WriteFile(path, testutil::Wave({.sampleRate = 500, .byteRate = 1000, .extra = {}},
                                             testutil::Bytes(2000, 0)));
    session->OpenSource(Q(path));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, "Cannot open sound device.");
    EXPECT_TRUE(reports[0].detail.contains("500 Hz")) << reports[0].detail.toStdString();
}

TEST_F(DeviceTest, TickStopsThePlayerOnTheTickAfterTheEndOfData) {
    session->OpenSource(Q(MakeWave("tick.wav", 1000)));
    session->Tick();
    ASSERT_TRUE(session->HasPlayer());
    // Play the whole recording; the tick after the end marker came back stops the player.
    ASSERT_TRUE(WaitUntil([&] {
        device.Advance(50);
        session->Tick();
        return !session->HasPlayer();
    }));
    EXPECT_EQ(session->GetDisplay().time, "00:00 / 00:01");
}

}  // namespace
}  // namespace playertest
