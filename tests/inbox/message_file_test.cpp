// What a message's files say about it: the readers of the sidecar text, the bext and
// LIST/INFO chunks, and who/when/length as the inbox lists them.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTimeZone>
#include <filesystem>

#include "inbox/inbox.h"
#include "platform/file.h"
#include "sound/message_sidecar.h"
#include "sound/wave_metadata.h"
#include "tests/inbox/inbox_fixture.h"

namespace {

std::string Bext(const std::string& originator, const std::string& date, const std::string& time) {
    std::string b(602, '\0');
    b.replace(256, originator.size(), originator);  // fixed-size fields, no NUL needed
    b.replace(320, date.size(), date);
    b.replace(330, time.size(), time);
    return b;
}

std::string Info(std::initializer_list<std::pair<const char*, std::string>> texts) {
    std::string b = "INFO";
    for (const auto& [id, text] : texts) {
        b += id;
        const auto n = static_cast<uint32_t>(text.size());
        b += {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
              static_cast<char>(n >> 24)};
        b += text;
        if (n & 1) b += '\0';
    }
    return b;
}

}  // namespace

TEST(MessageSidecar, HostileTextNeverBreaksTheParse) {
    // No newline at the end, CR line ends, other sections, comments, odd bytes.
    MessageSidecar s = ParseMessageSidecar(
        "; comment\r[message]\rCallerID = \"Ann Lee\" <5551234>\rorigtime=1765116311\r"
        "duration=\xff\x01\x7f\rorigdate=\x01Mon Dec  7\r[other]\rcallerid=\"Wrong\" <1>");
    EXPECT_EQ(s.callerName, "Ann Lee");
    EXPECT_EQ(s.callerNumber, "5551234");
    EXPECT_EQ(s.origTime, 1765116311);
    EXPECT_FALSE(s.durationSeconds);
    EXPECT_EQ(s.origDate, "Mon Dec  7");  // the control byte is trimmed as a space
    // Huge numbers are left out, a bare number is the caller, a huge value is cut short.
    s = ParseMessageSidecar(
        "origtime=99999999999999999999999\nduration=4294967296\ncallerid=5551234\n" +
        std::string("x=") + std::string(1 << 20, 'a'));
    EXPECT_FALSE(s.origTime);
    EXPECT_FALSE(s.durationSeconds);
    EXPECT_EQ(s.Caller(), "5551234");
    s = ParseMessageSidecar("callerid=\"" + std::string(100000, 'b') + "\" <5>");
    EXPECT_LE(s.callerName.size(), kMaxFieldBytes);
    EXPECT_EQ(s.Caller(), s.callerName);
    s = ParseMessageSidecar("callerid=\"\" <5551234>");
    EXPECT_EQ(s.Caller(), "5551234");

    // A sidecar of 2 GiB (sparse) is read from its start only.
    testutil::TempDir dir;
    const std::string path = dir.File("msg0000.txt");
    testutil::WriteFile(path, testutil::Bytes({'c', 'a', 'l', 'l', 'e', 'r', 'i', 'd', '=', 'Z'}));
    std::filesystem::resize_file(path, 2ull << 30);
    ASSERT_TRUE(ReadMessageSidecar(path, s));
    EXPECT_EQ(s.callerName, "Z");
}

TEST_F(InboxTest, BextAndInfoAreReadWhateverTheirSizesClaim) {
    testutil::Bytes b = Message(
        16000, {{"bext", Bext(std::string(32, 'O'), "2026-12-07", "14:05:11")},
                {"LIST", Info({{"IART", "Ann Lee"}, {"INAM", std::string("Call\0junk", 9)}})}});
    Write("a.wav", b);
    // A LIST chunk that claims more than the file holds, and an INFO text that runs past it.
    b = Message(100, {{"LIST", Info({{"ICRD", "2026-01-02"}})}});
    b[b.size() - 10 - 4] = 0xFF;      // the ICRD size: far past the end
    testutil::Put32(b, 0xFFFFFFF0u);  // a trailing chunk header with a huge size
    Write("b.wav", b);
    WaveMetadata m;
    CFile file;
    ASSERT_TRUE(file.Open((Folder() / "a.wav").string(), CFile::modeRead));
    ReadWaveMetadata(file, m);
    EXPECT_EQ(m.originator, std::string(32, 'O'));  // not NUL-terminated: exactly 32 bytes
    EXPECT_EQ(m.originationDate, "2026-12-07");
    EXPECT_EQ(m.originationTime, "14:05:11");
    EXPECT_EQ(m.artist, "Ann Lee");
    EXPECT_EQ(m.name, "Call");
    CFile other;
    ASSERT_TRUE(other.Open((Folder() / "b.wav").string(), CFile::modeRead));
    WaveMetadata n;
    ReadWaveMetadata(other, n);
    EXPECT_EQ(n.created.rfind("2026-01-02", 0), 0u);
}

TEST_F(InboxTest, WhoAndWhenComeFromSidecarThenInfoThenBextThenTheFile) {
    const auto bext = Bext("Recorder", "2026-12-05", "08:30:00");
    const auto info = Info({{"IART", "Dictating Doctor"}, {"ICRD", "2026-12-04 10:00:00"}});
    Write("msg0000.wav", Message(16000, {{"bext", bext}, {"LIST", info}}));
    WriteText(
        "msg0000.txt",
        "[message]\ncallerid=\"Ann Lee\" <5551234>\norigdate=Mon Dec  7 02:05:11 PM UTC 2026\n");
    Write("msg0001.WAV", Message(8000, {{"bext", bext}, {"LIST", info}}));
    WriteText("msg0001.TXT", "callerid=<5559876>\norigtime=1765000000\n");
    Write("info.wav", Message(32000, {{"LIST", info}, {"bext", bext}}));
    Write("bext.wav", Message(16000, {{"bext", bext}}));
    Write("plain.wav", Message(16000));
    testutil::WriteFile((Folder() / "raw.gsm").string(), testutil::Bytes(33 * 50, 0));  // 1 s
    Write("broken.wav", testutil::Bytes{'R', 'I', 'F', 'F', 0, 0});
    WriteText("notes.txt", "callerid=Nobody\n");  // a text alone is no message

    Inbox inbox;
    QString error;
    ASSERT_TRUE(inbox.Open(FolderName(), &error)) << error.toStdString();
    ASSERT_EQ(inbox.Count(), 7);
    const auto at = [&](const char* name) { return inbox.At(inbox.RowOf(Path(name))); };
    EXPECT_EQ(at("msg0000.wav").who, "Ann Lee");
    EXPECT_EQ(at("msg0000.wav").when, QDateTime(QDate(2026, 12, 7), QTime(14, 5, 11), Qt::UTC));
    EXPECT_EQ(at("msg0001.WAV").who, "5559876");
    EXPECT_EQ(at("msg0001.WAV").when.toSecsSinceEpoch(), 1765000000);
    EXPECT_EQ(at("msg0001.WAV").lengthMs, 500u);
    EXPECT_EQ(at("info.wav").who, "Dictating Doctor");
    EXPECT_EQ(at("info.wav").when, QDateTime(QDate(2026, 12, 5), QTime(8, 30), Qt::LocalTime));
    EXPECT_EQ(at("info.wav").lengthMs, 2000u);
    EXPECT_EQ(at("bext.wav").who, "Recorder");
    EXPECT_EQ(at("plain.wav").who, "plain.wav");
    EXPECT_EQ(at("plain.wav").when.toSecsSinceEpoch(),
              QFileInfo(Path("plain.wav")).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(at("raw.gsm").lengthMs, 1000u);
    EXPECT_TRUE(at("plain.wav").error.isEmpty());
    EXPECT_FALSE(at("broken.wav").error.isEmpty());
}
