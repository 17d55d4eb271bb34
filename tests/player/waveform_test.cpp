// The waveform panel: the overview arrives after the first sound, a press or a drag on it
// seeks, and the playhead follows the engine smoothly without running backwards.
#include <QTest>

#include "player/playhead_clock.h"
#include "player/waveform_view.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

class WaveformTest : public WindowTest {
  protected:
    WaveformView* Waveform() const { return window->findChild<WaveformView*>("waveform"); }
    QPoint At(double share) const {
        return QPoint(static_cast<int>(share * Waveform()->width()), Waveform()->height() / 2);
    }
};

TEST_F(WaveformTest, APressOrADragOnTheWaveformSeeksThere) {
    Start(Q(MakeWave("message.wav", 10000)));
    ASSERT_TRUE(WaitUntil([&] { return !Waveform()->Overview().Empty(); }));
    EXPECT_EQ(Waveform()->Overview().Buckets(), WaveformOverview::kBuckets);
    EXPECT_FALSE(Waveform()->toolTip().isEmpty());

    Click("pause");
    QTest::mouseClick(Waveform(), Qt::LeftButton, {}, At(0.5));
    EXPECT_EQ(session->PositionMs(), 5000u);
    EXPECT_EQ(Waveform()->PlayheadMs(), 5000u);  // back from where it was drawn, at once
    EXPECT_EQ(session->State(), Paused);

    // A drag seeks as it goes and ends where the button is let go.
    QTest::mousePress(Waveform(), Qt::LeftButton, {}, At(0.25));
    EXPECT_EQ(session->PositionMs(), 2500u);
    QTest::mouseMove(Waveform(), At(0.6));
    QTest::mouseMove(Waveform(), At(0.75));
    QTest::mouseRelease(Waveform(), Qt::LeftButton, {}, At(0.75));
    EXPECT_EQ(session->PositionMs(), 7500u);
    EXPECT_EQ(Waveform()->PlayheadMs(), 7500u);

    Click("stop");  // nothing is loaded into the engine: a press does nothing
    QTest::mouseClick(Waveform(), Qt::LeftButton, {}, At(0.5));
    EXPECT_FALSE(session->HasPlayer());
    EXPECT_FALSE(Waveform()->Overview().Empty());  // Play plays the same recording again
}

TEST(PlayheadClockTest, RunsOnBetweenReportsButNeverBackwardsUnlessMoved) {
    PlayheadClock clock;
    EXPECT_EQ(clock.Update(0, Playing, 1.0, 10000, 0), 0u);
    EXPECT_EQ(clock.Update(0, Playing, 1.0, 10000, 120), 120u);
    EXPECT_EQ(clock.Update(0, Playing, 1.0, 10000, 500), 200u);  // not past the next report
    EXPECT_EQ(clock.Update(200, Playing, 1.0, 10000, 510), 200u);
    EXPECT_EQ(clock.Update(200, Playing, 2.0, 10000, 560), 300u);  // twice as fast
    EXPECT_EQ(clock.Update(200, Paused, 2.0, 10000, 900), 300u);   // the pause holds it
    EXPECT_EQ(clock.Update(200, Playing, 1.0, 10000, 1000), 300u);
    EXPECT_EQ(clock.Update(200, Playing, 1.0, 10000, 1050), 350u);
    EXPECT_EQ(clock.Update(400, Playing, 1.0, 10000, 1060), 400u);  // a report ahead moves it
    EXPECT_EQ(clock.Update(9900, Playing, 1.0, 10000, 1100), 9900u);
    EXPECT_EQ(clock.Update(9900, Playing, 1.0, 10000, 1400), 10000u);  // not past the end
    clock.Jump(3000, 1500);
    EXPECT_EQ(clock.Position(), 3000u);
    EXPECT_EQ(clock.Update(1000, Playing, 1.0, 10000, 1510), 1000u);  // a new recording
    EXPECT_EQ(clock.Update(0, Stopped, 1.0, 10000, 1600), 0u);
}

}  // namespace
}  // namespace playertest
