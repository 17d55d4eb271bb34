#include "platform/exception.h"

#include <gtest/gtest.h>

#include <cstring>

#include "playback/wave_exceptions.h"

TEST(WaveExceptions, CodeTable) {
    const char* expected[] = {"No error.", "Cannot open file.", "Cannot create file.",
                              "Cannot open sound device.", "Cannot read wav header.",
                              "Unsupported sound format."};
    for (int code = 0; code <= 5; ++code) EXPECT_EQ(CWaveIOException(code).Message(), expected[code]);
    EXPECT_EQ(CWaveIOException(6).Message(), "Unknown error.");
    EXPECT_EQ(CWaveIOException(-1).Message(), "Unknown error.");
    EXPECT_EQ(CWaveDecoderException("Invalid wav header.").Message(), "Invalid wav header.");
}

TEST(WaveExceptions, MessageRetrievalTruncatesSafely) {
    CWaveIOException e(1);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    unsigned help = 77;
    EXPECT_TRUE(e.GetErrorMessage(buffer, 0, &help));
    EXPECT_EQ(buffer[0], 'x');  // nothing written for capacity 0
    EXPECT_TRUE(e.GetErrorMessage(buffer, 1, &help));
    EXPECT_STREQ(buffer, "");
    EXPECT_TRUE(e.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_STREQ(buffer, "Cannot ");
    EXPECT_EQ(help, 77u);  // help context untouched
    char whole[64];
    e.GetErrorMessage(whole, sizeof whole);
    EXPECT_STREQ(whole, "Cannot open file.");
}

TEST(WaveExceptions, ReportGoesThroughTheInstalledReporterAndOwnershipIsReleased) {
    std::string shown;
    unsigned shownStyle = 99;
    auto previous = CException::SetReporter([&](const std::string& text, unsigned style) {
        shown = text;
        shownStyle = style;
        return 1;
    });
    try {
        throw new CWaveDecoderException("Unsupported wave format.");
    } catch (CException* e) {
        ExceptionPtr owned(e);
        EXPECT_TRUE(e->IsAutoDelete());
        e->ReportError();
    }
    CException::SetReporter(previous);
    EXPECT_EQ(shown, "Unsupported wave format.");
    EXPECT_EQ(shownStyle, 0u);
}
