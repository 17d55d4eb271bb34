// The player program's own start-up rule: its command line.
// How it behaves as a process (one player per user, second starts, signals, the hand-over) is
// tested end to end in tests/launcher/player_handover_test.cpp.
#include "player/corvane_app.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

using AppTest = PlayerTest;

TEST_F(AppTest, CommandLineIsEverythingAfterTheProgramNameJoinedByBlanks) {
    bool full = true;
    const char* none[] = {"corvane"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(1, none, &full), "");
    EXPECT_FALSE(full);
    const char* qtLike[] = {"corvane", "-reverse", "-stylesheet=x"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(3, qtLike, &full), "-reverse -stylesheet=x");
    const char* tagged[] = {"corvane", "/m/a", "b.wav<cvnm:Ann", "B>"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(4, tagged, &full), "/m/a b.wav<cvnm:Ann B>");
    EXPECT_FALSE(full);
    const char* screen[] = {"corvane", "--fullscreen", "/m/a.wav"};
    EXPECT_EQ(CorvaneApp::ParseCommandLine(3, screen, &full), "/m/a.wav");
    EXPECT_TRUE(full);
}

}  // namespace
}  // namespace playertest
