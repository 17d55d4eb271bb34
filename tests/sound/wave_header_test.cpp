#include "sound/wave_header.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>

#include "platform/file.h"
#include "tests/test_util.h"

using namespace testutil;

namespace {

struct ReadResult {
    bool ok;
    uint64_t position;
    WaveHeader header;
};

ReadResult ReadBytes(const Bytes& bytes) {
    TempDir dir;
    const std::string path = dir.File("in.wav");
    WriteFile(path, bytes);
    CFile file;
    EXPECT_TRUE(file.Open(path, CFile::modeRead));
    ReadResult r{};
    r.ok = r.header.ReadHeader(file);
    r.position = file.GetPosition();
    return r;
}

Bytes Canonical(uint32_t dataSize = 4) {
    return Wave(Format{}, Bytes(dataSize, 0x11));
}

// Builds RIFF/WAVE followed by raw chunk bytes.
Bytes Riff(const Bytes& body, const char* riff = "RIFF", const char* wave = "WAVE") {
    Bytes b;
    PutTag(b, riff);
    Put32(b, static_cast<uint32_t>(4 + body.size()));
    PutTag(b, wave);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes Chunk(const char* tag, uint32_t size, const Bytes& payload) {
    Bytes b;
    PutTag(b, tag);
    Put32(b, size);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes FmtPayload(FormatTag formatTag = FormatTag::Pcm, size_t extra = 0) {
    Bytes b;
    Put16(b, static_cast<uint16_t>(formatTag));
    Put16(b, 1);
    Put32(b, 8000);
    Put32(b, 16000);
    Put16(b, 2);
    Put16(b, 16);
    b.resize(16 + extra, 0xEE);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

}  // namespace

TEST(WaveHeader, CanonicalFileStopsAtFirstDataByte) {
    const ReadResult r = ReadBytes(Canonical());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.position, 44u);
    EXPECT_EQ(r.header.formatTag, FormatTag::Pcm);
    EXPECT_EQ(r.header.sampleRate, 8000u);
    EXPECT_EQ(r.header.dataSize, 4u);
    EXPECT_TRUE(r.header.fmtExtra.empty());
}

TEST(WaveHeader, TagsMatchInAnyCaseAndKeepTheirBytes) {
    const Bytes b =
        Riff(Cat({Chunk("FmT ", 16, FmtPayload()), Chunk("DaTa", 0, {})}), "riFF", "wave");
    const ReadResult r = ReadBytes(b);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.header.riffTag.data(), 4), "riFF");
    EXPECT_EQ(std::string(r.header.waveTag.data(), 4), "wave");
    EXPECT_EQ(std::string(r.header.fmtTag.data(), 4), "fmt ");
    EXPECT_EQ(std::string(r.header.dataTag.data(), 4), "DaTa");
    EXPECT_EQ(r.header.dataSize, 0u);
}

TEST(WaveHeader, ByteScanFindsFmtInsideOtherChunksButNotAfterABrokenMatch) {
    // "fmt " inside a JUNK chunk is taken as the fmt tag.
    Bytes junk = Chunk("JUNK", 8, {'x', 'f', 'm', 't', ' '});
    Bytes inner = Cat({junk, Bytes{16, 0, 0, 0}, FmtPayload(), Chunk("data", 0, {})});
    ReadResult r = ReadBytes(Riff(inner));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.formatTag, FormatTag::Pcm);

    // f f m t space: the second f breaks the match and is not retried.
    Bytes broken = Cat(
        {Bytes{'f', 'f', 'm', 't', ' '}, Bytes{16, 0, 0, 0}, FmtPayload(), Chunk("data", 0, {})});
    EXPECT_FALSE(ReadBytes(Riff(broken)).ok);
}

TEST(WaveHeader, ChunkWalkSkipsChunksBetweenFmtAndData) {
    const Bytes b = Riff(Cat({Chunk("fmt ", 16, FmtPayload()), Chunk("LIST", 6, Bytes(6, 'L')),
                              Chunk("fact", 4, Bytes(4, 0)), Chunk("data", 2, {1, 2})}));
    const ReadResult r = ReadBytes(b);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.dataSize, 2u);
    EXPECT_EQ(r.position, b.size() - 2);
}

TEST(WaveHeader, FmtExtensionIsKept) {
    ReadResult r = ReadBytes(
        Riff(Cat({Chunk("fmt ", 18, FmtPayload(FormatTag::Pcm, 2)), Chunk("data", 0, {})})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.fmtExtra.size(), 2u);
    r = ReadBytes(
        Riff(Cat({Chunk("fmt ", 50, FmtPayload(FormatTag::MsAdpcm, 34)), Chunk("data", 0, {})})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.fmtExtra.size(), 34u);
}

TEST(WaveHeader, ShortFmtChunkReadsSixteenBytesButWalksFromItsOwnSize) {
    // fmt size 14: bitsPerSample comes from the two bytes after the chunk, which here are
    // the first bytes of the data chunk's tag ("da" = 0x6164).
    Bytes fmt = FmtPayload();
    fmt.resize(14);
    const ReadResult r =
        ReadBytes(Riff(Cat({Chunk("fmt ", 14, fmt), Chunk("data", 3, {1, 2, 3})})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.bitsPerSample, 0x6164);
    EXPECT_EQ(r.header.dataSize, 3u);
}

TEST(WaveHeader, PadByteAfterAnOddChunkIsSkippedAndItsAbsenceTolerated) {
    for (const Bytes& pad : {Bytes{0}, Bytes{}}) {
        const Bytes b = Riff(Cat({Chunk("fmt ", 16, FmtPayload()), Chunk("JUNK", 3, {1, 2, 3}), pad,
                                  Chunk("data", 2, {1, 2})}));
        const ReadResult r = ReadBytes(b);
        ASSERT_TRUE(r.ok) << pad.size();
        EXPECT_EQ(r.position, b.size() - 2);
        EXPECT_EQ(r.header.DataLength(), 2u);
    }
}

TEST(WaveHeader, DataEndsAtATrustworthySizeElseAtTheEndOfTheFile) {
    const Bytes list = Chunk("LIST", 32, Bytes(32, 0x7F));
    struct Case {
        const char* name;
        uint32_t dataSize;
        Bytes afterHeader;  // the payload and whatever follows it
        uint64_t length;
    };
    const Case cases[] = {
        {"exact", 4, Bytes(4, 1), 4},
        {"chunk after", 4, Cat({Bytes(4, 1), list}), 4},
        {"odd, pad, chunk", 3, Cat({Bytes(3, 1), {0}, list}), 3},
        {"odd, pad, end of file", 3, Cat({Bytes(3, 1), {0}}), 3},
        {"odd, no pad, chunk", 3, Cat({Bytes(3, 1), list}), 3},
        {"size 0 never patched", 0, Bytes(100, 1), 100},
        {"size 0, sound that looks like a chunk", 0, Cat({Chunk("LIST", 4, {}), Bytes(92, 1)}),
         100},
        {"size past the end", 1000, Bytes(100, 1), 100},
        {"stale size, audio after", 4, Bytes(24, 1), 24},
        {"chunk size past the end", 4, Cat({Bytes(4, 1), Chunk("LIST", 11, Bytes(10, 0))}), 22},
        {"id byte out of range", 4, Cat({Bytes(4, 1), Chunk("LIS\x7F", 0, {})}), 12},
        {"short of a chunk header", 4, Cat({Bytes(4, 1), Bytes{'L', 'I', 'S', 'T', 0}}), 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes b = Cat(
            {Riff(Chunk("fmt ", 16, FmtPayload())), Chunk("data", c.dataSize, {}), c.afterHeader});
        const ReadResult r = ReadBytes(b);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.position, 44u);
        EXPECT_EQ(r.header.dataStart, 44u);
        EXPECT_EQ(r.header.DataLength(), c.length);
    }
}

TEST(WaveHeader, ExtensibleTakesTheTagOfAStandardSubFormat) {
    auto read = [](const Bytes& extra) {
        Bytes fmt = FmtPayload(FormatTag::Extensible);
        fmt.insert(fmt.end(), extra.begin(), extra.end());
        return ReadBytes(Riff(
            Cat({Chunk("fmt ", static_cast<uint32_t>(fmt.size()), fmt), Chunk("data", 0, {})})));
    };
    for (FormatTag tag : {FormatTag::Pcm, FormatTag::IeeeFloat, FormatTag::MuLaw}) {
        const ReadResult r = read(ExtensibleExtra(tag, 16));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.header.formatTag, tag);
        EXPECT_TRUE(r.header.extensible);
        EXPECT_EQ(r.header.fmtExtra.size(), 24u);
    }
    Bytes foreign = ExtensibleExtra(FormatTag::Pcm, 16);
    foreign.back() ^= 1;  // a GUID of someone's own
    Bytes cut = ExtensibleExtra(FormatTag::Pcm, 16);
    cut.pop_back();  // no room for the whole GUID
    for (const Bytes& extra : {foreign, cut}) {
        const ReadResult r = read(extra);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.header.formatTag, FormatTag::Extensible);
    }
}

TEST(WaveHeader, MalformedHeadersAreRefusedWithoutHangingOrAllocatingTooMuch) {
    const Bytes fmt = Chunk("fmt ", 16, FmtPayload());
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"three bytes", {'R', 'I', 'F'}},
        {"eleven bytes", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}},
        {"not riff", Riff(Cat({fmt, Chunk("data", 0, {})}), "RIFX")},
        {"not wave", Riff(Cat({fmt, Chunk("data", 0, {})}), "RIFF", "AVI ")},
        {"no fmt", Riff(Chunk("data", 4, Bytes(4, 0)))},
        {"no data", Riff(fmt)},
        {"ends inside data header", Cat({Riff(fmt), Bytes{'d', 'a', 't', 'a', 1}})},
        {"ends inside fmt", Riff(Bytes{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0})},
        {"fmt extension past the end",
         Riff(Cat({Chunk("fmt ", 40, FmtPayload()), Chunk("data", 0, {})}))},
        // A chunk of size 0xFFFFFFF8 makes the 32-bit step 0: the same header again and again.
        {"step wraps to zero",
         Riff(Cat({fmt, Chunk("JUNK", 0xFFFFFFF8u, {}), Chunk("data", 0, {})}))},
        // Steps of 1 walk byte by byte and run out of file.
        {"step wraps to one", Riff(Cat({fmt, Chunk("JUNK", 0xFFFFFFF9u, Bytes(64, 'x'))}))},
        {"chunk past the end", Riff(Cat({fmt, Chunk("JUNK", 0x7FFFFFFFu, Bytes(8, 0))}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadBytes(c.bytes).ok);
    }

    // A 4 GiB fmt extension in a small file is refused before its buffer is allocated: read
    // in a child process that has 1 GiB of address space (the sanitizers need more).
    const Bytes huge = Riff(Cat({Chunk("fmt ", 0xFFFFFFF0u, FmtPayload()), Chunk("data", 0, {})}));
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    EXPECT_FALSE(ReadBytes(huge).ok);
#else
    EXPECT_EXIT(
        {
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = rlim_t{1} << 30;
            ::setrlimit(RLIMIT_AS, &limit);
            std::_Exit(ReadBytes(huge).ok ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

TEST(WaveHeader, SmallWrapsStillAdvance) {
    // Size 0xFFFFFFFC makes the 32-bit step 4: the next "chunk header" is the size field
    // itself followed by four zero bytes (a chunk of size 0), and after it comes "data".
    Bytes b = Riff(Chunk("fmt ", 16, FmtPayload()));
    PutTag(b, "JUNK");
    Put32(b, 0xFFFFFFFCu);
    Put32(b, 0);
    const size_t dataAt = b.size();
    PutTag(b, "data");
    Put32(b, 5);
    b.resize(b.size() + 5);
    const ReadResult r = ReadBytes(b);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.dataSize, 5u);
    EXPECT_EQ(r.position, dataAt + 8);
}

TEST(WaveHeader, WriteHeaderAlwaysWritesTheCanonicalFortyFourBytes) {
    TempDir dir;
    const ReadResult r = ReadBytes(Riff(Cat(
        {Chunk("fmt ", 50, FmtPayload(FormatTag::MsAdpcm, 34)), Chunk("data", 7, Bytes(7, 0))})));
    ASSERT_TRUE(r.ok);
    WaveHeader h = r.header;
    CFile out;
    ASSERT_TRUE(out.Open(dir.File("out.wav"), CFile::modeCreate | CFile::modeWrite));
    h.WriteHeader(out);
    out.Close();
    const Bytes written = ReadFile(dir.File("out.wav"));
    ASSERT_EQ(written.size(), 44u);
    EXPECT_EQ(h.fmtSize, 16u);
    EXPECT_EQ(written[16], 16);
    EXPECT_EQ(written[20], 2);  // format tag kept
    EXPECT_EQ(written[40], 7);  // data size kept
}
