#include "platform/qt/file_name.h"

#include <gtest/gtest.h>

namespace {

// Every byte string comes back as it was: valid UTF-8, stray bytes, cut sequences, overlong
// forms, encoded surrogates and bytes that look like an escape's own UTF-8 form.
TEST(FileName, KeepsEveryNameByteForByte) {
    QByteArray all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const QByteArray names[] = {
        "/m/voice.wav",
        "/m/caf\xc3\xa9.wav",
        "/m/caf\xe9.wav",
        "\xc3",
        "\xe2\x82",
        "\xc0\xaf",
        "\xed\xa0\x80",
        "\xed\xb2\x80\xe9",
        "\xf0\x9f\x8e\xa4\xff",
        "\xf4\x90\x80\x80",
        all,
    };
    for (const QByteArray& bytes : names) {
        const QString name = FileNameFromBytes(bytes);
        EXPECT_EQ(FileNameToBytes(name), bytes) << bytes.toHex().toStdString();
    }
    EXPECT_EQ(FileNameFromBytes("/m/caf\xc3\xa9.wav"), QString::fromUtf8("/m/caf\xc3\xa9.wav"));
    EXPECT_EQ(FileNameForDisplay(FileNameFromBytes("caf\xe9.wav")),
              QString::fromUtf8("caf\xef\xbf\xbd.wav"));
    EXPECT_EQ(FileUrl(FileNameFromBytes("/m/a b\xe9.wav")).toEncoded(), "file:///m/a%20b%E9.wav");
}

}  // namespace
