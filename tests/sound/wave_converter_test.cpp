#include "sound/wave_converter.h"

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <thread>

#include "tests/sound/converter_fixture.h"

using namespace testutil;

namespace {

Format Encoding(FormatTag tag, uint16_t channels, uint32_t rate, uint16_t blockAlign,
                uint16_t bits) {
    Format f;
    f.formatTag = tag;
    f.channels = channels;
    f.sampleRate = rate;
    f.byteRate = rate * blockAlign;
    f.blockAlign = blockAlign;
    f.bitsPerSample = bits;
    return f;
}

Bytes Ramp(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

Bytes Floats(std::initializer_list<float> values) {
    Bytes b;
    for (float v : values) Put32(b, std::bit_cast<uint32_t>(v));
    return b;
}

Bytes Doubles(std::initializer_list<double> values) {
    Bytes b;
    for (double v : values) {
        const auto bits = std::bit_cast<uint64_t>(v);
        Put32(b, static_cast<uint32_t>(bits));
        Put32(b, static_cast<uint32_t>(bits >> 32));
    }
    return b;
}

Format Extensible(FormatTag subFormat, uint16_t channels, uint16_t blockAlign, uint16_t bits,
                  uint16_t validBits) {
    Format f = Encoding(FormatTag::Extensible, channels, 8000, blockAlign, bits);
    f.extra = ExtensibleExtra(subFormat, validBits);
    return f;
}

}  // namespace

TEST_F(ConversionTest, RefusesWhatItCannotReadWithTheSystemsWords) {
    EXPECT_EQ(Convert(Wave(Encoding(static_cast<FormatTag>(0x55), 1, 8000, 1, 0), Ramp(100))),
              "Unsupported wave format.");
    EXPECT_EQ(OutputSize(), 0u);  // refused before anything is written
    EXPECT_EQ(Convert(Bytes{'R', 'I', 'F'}), "Invalid wav header.");
    EXPECT_EQ(OutputSize(), 0u);
    // Every other unknown tag the same way.
    EXPECT_EQ(Convert(Wave(Encoding(static_cast<FormatTag>(0xFFFF), 1, 8000, 1, 8), Ramp(10))),
              "Unsupported wave format.");
}

TEST_F(ConversionTest, FileErrorsNameThePathAndTheReason) {
    const std::string missing = dir.File("missing.wav");
    const std::string error = ConvertPath(missing);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;

    WriteFile(dir.File("in.wav"), Wave(Format{}, Ramp(4)));
    try {
        WaveConverter converter(dir.File("in.wav"), dir.File("no/such/folder/out.wav"));
        ADD_FAILURE() << "output in a missing folder was created";
    } catch (CException* e) {
        ExceptionPtr owned(e);
        EXPECT_NE(e->Message().find("no/such/folder"), std::string::npos);
    }
}

TEST_F(ConversionTest, RefusesDirectoriesAndFifosWithoutBlocking) {
    EXPECT_NE(ConvertPath(dir.path().string()), "");
    const std::string fifo = dir.File("pipe.gsm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A reader on a FIFO would wait for a writer forever.
    EXPECT_NE(ConvertPath(fifo).find("Not a regular file"), std::string::npos);
}

TEST_F(ConversionTest, WriteErrorOnTheOutputIsReported) {
    struct stat st {};
    if (::stat("/dev/full", &st) != 0) GTEST_SKIP() << "no /dev/full";
    // Large enough to fail while converting, and a PCM copy small enough that only the
    // final close finds out.
    for (const Bytes& source :
         {Wave(Encoding(FormatTag::MuLaw, 1, 8000, 1, 8), Bytes(200000, 0x55)),
          Wave(Format{}, Ramp(100))}) {
        WriteFile(dir.File("in.wav"), source);
        try {
            WaveConverter converter(dir.File("in.wav"), "/dev/full");
            converter.Convert();
            ADD_FAILURE() << "a conversion onto a full disk reported success";
        } catch (CException* e) {
            ExceptionPtr owned(e);
            EXPECT_NE(e->Message().find("No space"), std::string::npos) << e->Message();
        }
    }
}

TEST_F(ConversionTest, PcmIsCopiedWithTheSourcesHeaderAndTrailingChunks) {
    Format f = Encoding(FormatTag::Pcm, 2, 11025, 2, 8);
    Bytes file = Wave(f, Ramp(100));
    file[4] = 0x99;  // wrong riffSize is kept
    const Bytes list = {'L', 'I', 'S', 'T', 2, 0, 0, 0, 'a', 'b'};
    file.insert(file.end(), list.begin(), list.end());
    ASSERT_EQ(Convert(file), "");
    const Bytes out = ReadFile(Out());
    ASSERT_EQ(out.size(), 44u + 100 + list.size());
    EXPECT_EQ(out[4], 0x99);
    EXPECT_EQ(out[22], 2);    // channels
    EXPECT_EQ(out[34], 8);    // 8-bit stays 8-bit
    EXPECT_EQ(out[40], 100);  // dataSize announces only the data chunk
    EXPECT_TRUE(std::equal(list.begin(), list.end(), out.end() - static_cast<long>(list.size())));
}

TEST_F(ConversionTest, G711SizesAndHeader) {
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, 1, 8000, 1, 8), Bytes(1000, 0xFF))), "");
    PcmFile p = Output();
    EXPECT_EQ(p.samples.size(), 1000u);
    EXPECT_EQ(p.dataSize, 2000u);
    EXPECT_EQ(p.riffSize, 2036u);
    EXPECT_EQ(p.formatTag, FormatTag::Pcm);
    EXPECT_EQ(p.bitsPerSample, 16);
    EXPECT_EQ(p.blockAlign, 2);
    EXPECT_EQ(p.byteRate, 16000u);

    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::ALaw, 2, 8000, 2, 8), Bytes(1025, 0xD5))), "");
    p = Output();
    EXPECT_EQ(p.samples.size(), 1025u);
    EXPECT_EQ(p.samples[1024], 8);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.byteRate, 32000u);
}

TEST_F(ConversionTest, OkiBitRates) {
    // 4 bits at 2^30 + 8000 Hz make 2^32 + 32000 bit/s, which is not 32000.
    for (uint32_t rate : {16000u, (1u << 30) + 8000}) {
        EXPECT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 1, rate, 1, 4), Ramp(10))),
                  "Error: oki adpcm unsupported bit rate.");
        EXPECT_EQ(OutputSize(), 44u);  // only the placeholder header
    }

    // The codes form one stream: a two-channel header must not make it play at double speed.
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 2, 8000, 1, 4), Ramp(1000))), "");
    PcmFile p = Output();
    EXPECT_EQ(p.samples.size(), 2000u);
    EXPECT_EQ(p.sampleRate, 8000u);
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(p.blockAlign, 2);
    EXPECT_EQ(p.byteRate, 16000u);

    // 3 bits at 8000 Hz and 4 bits at 6000 Hz both take the 24 kbit/s path.
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 1, 8000, 1, 3), Ramp(300))), "");
    const size_t resampled = Output().samples.size();
    EXPECT_EQ(resampled, 800u);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 1, 6000, 1, 4), Ramp(300))), "");
    EXPECT_EQ(Output().samples.size(), resampled);
    EXPECT_EQ(Output().sampleRate, 8000u);
}

TEST_F(ConversionTest, AdpcmBlocksIncludingAFinalPartialOne) {
    // IMA mono, blockAlign 256: two whole blocks and a final 100-byte block.
    Bytes data(256 * 2 + 100, 0x21);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::ImaAdpcm, 1, 8000, 256, 4), data)), "");
    EXPECT_EQ(Output().samples.size(), 505u * 2 + 193);

    // MS ADPCM stereo, blockAlign 512, standard coefficients: 500 per channel.
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MsAdpcm, 2, 8000, 512, 4), Bytes(512, 0))), "");
    EXPECT_EQ(Output().samples.size(), 1000u);
}

TEST_F(ConversionTest, HostileAdpcmHeadersDecodeAsFarAsTheDataAllows) {
    struct Case {
        FormatTag tag;
        uint16_t channels, blockAlign;
    };
    const Case cases[] = {
        {FormatTag::ImaAdpcm, 0, 256},      {FormatTag::ImaAdpcm, 5, 256},
        {FormatTag::ImaAdpcm, 8, 3},        {FormatTag::ImaAdpcm, 65535, 65535},
        {FormatTag::ImaAdpcm, 1, 0},        {FormatTag::ImaAdpcm, 1, 1},
        {FormatTag::ImaAdpcm, 2, 3},        {FormatTag::MsAdpcm, 0, 256},
        {FormatTag::MsAdpcm, 5, 256},       {FormatTag::MsAdpcm, 8, 65535},
        {FormatTag::MsAdpcm, 65535, 65535}, {FormatTag::MsAdpcm, 1, 0},
        {FormatTag::MsAdpcm, 1, 1},         {FormatTag::MsAdpcm, 3, 3},
        {FormatTag::Gsm610, 65535, 1},      {FormatTag::ALaw, 0, 0},
        {FormatTag::MuLaw, 65535, 1},       {FormatTag::OkiAdpcm, 65535, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tag " << static_cast<unsigned>(c.tag) << " channels "
                                          << c.channels << " blockAlign " << c.blockAlign);
        // 65,535 channels of 16-bit PCM pass a WAVE header's 16-bit block align: refused.
        const bool describable =
            c.channels < 32768 || c.tag == FormatTag::Gsm610 || c.tag == FormatTag::OkiAdpcm;
        ASSERT_EQ(Convert(Wave(Encoding(c.tag, c.channels, 8000, c.blockAlign, 4), Ramp(3000))),
                  describable ? "" : "Unsupported wave format.");
        EXPECT_EQ(OutputSize() >= 44u, describable);
    }
}

TEST_F(ConversionTest, MsAdpcmCoefficientsComeFromTheExtension) {
    Format f = Encoding(FormatTag::MsAdpcm, 1, 8000, 64, 4);
    // Extension: size, samples per block, nCoef 1, pair (0, 0): every prediction is 0.
    f.extra = {4, 0, 116, 0, 1, 0, 0, 0, 0, 0};
    Bytes block = {0, 16, 0, 100, 0, 50, 0};
    block.resize(64, 0x11);
    ASSERT_EQ(Convert(Wave(f, block)), "");
    const PcmFile p = Output();
    ASSERT_GT(p.samples.size(), 3u);
    EXPECT_EQ(p.samples[0], 50);
    EXPECT_EQ(p.samples[1], 100);
    EXPECT_EQ(p.samples[2], 16);  // prediction 0 + code 1 x step 16
}

TEST_F(ConversionTest, DataSizeClaimingFourGigabytesOnATinyFileIsHarmless) {
    Bytes file = Wave(Encoding(FormatTag::MuLaw, 1, 8000, 1, 8), Ramp(10));
    file[40] = file[41] = file[42] = file[43] = 0xFF;
    ASSERT_EQ(Convert(file), "");
    EXPECT_EQ(Output().dataSize, 20u);
}

// A 16-bit output's block align (2 bytes a channel) must fit 16 bits and its byte rate 32.
TEST_F(ConversionTest, OnlyOutputsAHeaderCanDescribeAreWritten) {
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, 1, 0, 1, 8), Ramp(10))), "");
    EXPECT_EQ(Output().sampleRate, 0u);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, 1, 0x7FFFFFFFu, 1, 8), Ramp(10))), "");
    EXPECT_EQ(Output().byteRate, 0xFFFFFFFEu);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::ALaw, 32767, 8000, 32767, 8), Ramp(32767))), "");
    EXPECT_EQ(Output().blockAlign, 65534u);
    for (const auto& [channels, rate] :
         {std::pair<uint16_t, uint32_t>{32768, 8000}, {2, 0x80000000u}}) {
        EXPECT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, channels, rate, 1, 8), Ramp(10))),
                  "Unsupported wave format.");
        EXPECT_EQ(OutputSize(), 0u);
    }
    // GSM and OKI write one channel at 8000 Hz, whatever the source says; 16-bit PCM is copied.
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::Gsm610, 40000, 0xFFFFFFFFu, 65, 0), Bytes(65, 0))),
              "");
    EXPECT_EQ(Output().blockAlign, 2u);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::Pcm, 40000, 8000, 16, 16), Ramp(10))), "");
}

TEST_F(ConversionTest, EveryDecoderStopsWhereTheDataEnds) {
    // A chunk after the data (behind the pad byte of odd-sized data) is never decoded as
    // sound; a header whose size was never patched (0) reads the data to the end of the file.
    struct Case {
        const char* name;
        Format format;
        size_t bytes;
    };
    const Case cases[] = {
        {"A-law", Encoding(FormatTag::ALaw, 1, 8000, 1, 8), 1001},
        {"mu-law", Encoding(FormatTag::MuLaw, 2, 8000, 2, 8), 1001},
        {"IMA", Encoding(FormatTag::ImaAdpcm, 1, 8000, 256, 4), 256 * 2 + 101},
        {"MS ADPCM", Encoding(FormatTag::MsAdpcm, 1, 8000, 64, 4), 64 * 3 + 33},
        {"OKI 32 kbit/s", Encoding(FormatTag::OkiAdpcm, 1, 8000, 1, 4), 1001},
        {"OKI 24 kbit/s", Encoding(FormatTag::OkiAdpcm, 1, 6000, 1, 4), 1001},
        {"GSM", Encoding(FormatTag::Gsm610, 1, 8000, 65, 0), 65 * 2 + 33},
        {"G.729", Encoding(FormatTag::G729, 1, 8000, 10, 0), 25},
        {"24-bit PCM", Encoding(FormatTag::Pcm, 1, 8000, 3, 24), 301},
        {"float", Encoding(FormatTag::IeeeFloat, 1, 8000, 4, 32), 203},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes plain = Wave(c.format, Ramp(c.bytes));
        ASSERT_EQ(Convert(plain), "");
        const Bytes expected = ReadFile(Out());
        ASSERT_GT(expected.size(), 44u);

        Bytes tailed = plain;
        if (c.bytes % 2) tailed.push_back(0);
        PutTag(tailed, "LIST");
        Put32(tailed, 32);
        tailed.resize(tailed.size() + 32, 0x7F);
        ASSERT_EQ(Convert(tailed), "");
        EXPECT_EQ(ReadFile(Out()), expected);

        Bytes unpatched = plain;
        std::fill(unpatched.begin() + 40, unpatched.begin() + 44, 0);
        ASSERT_EQ(Convert(unpatched), "");
        EXPECT_EQ(ReadFile(Out()), expected);
    }
}

TEST_F(ConversionTest, WiderPcmBecomesSixteenBit) {
    // Integers keep their top 16 bits; floats are x 32768, rounded half to even, saturated.
    constexpr float kLsb = 1.0f / 32768;
    struct Case {
        const char* name;
        Format format;
        Bytes data;
        std::vector<int16_t> samples;
    };
    const Case cases[] = {
        {"24-bit, trailing partial sample",
         Encoding(FormatTag::Pcm, 1, 8000, 3, 24),
         {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x80, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x01},
         {-32768, 32767, 0x1234, -1}},
        {"32-bit",
         Encoding(FormatTag::Pcm, 1, 8000, 4, 32),
         {0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF},
         {0x1234, -32768, -1}},
        {"20 bits in 24", Encoding(FormatTag::Pcm, 1, 8000, 3, 20), {0x50, 0x34, 0x12}, {0x1234}},
        {"12 bits in 16",
         Encoding(FormatTag::Pcm, 1, 8000, 2, 12),
         {0x30, 0x12, 0xF0, 0xFF},
         {0x1230, -16}},
        {"extensible 24 in 32, stereo",
         Extensible(FormatTag::Pcm, 2, 8, 32, 24),
         {0x00, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00, 0x80},
         {0x1234, -32768}},
        {"float",
         Encoding(FormatTag::IeeeFloat, 1, 8000, 4, 32),
         Floats({0.5f, -1.0f, 1.0f, 2.0f, 0.5f * kLsb, 1.5f * kLsb, -2.5f * kLsb, NAN}),
         {16384, -32768, 32767, 32767, 0, 2, -2, 0}},
        {"double",
         Encoding(FormatTag::IeeeFloat, 1, 8000, 8, 64),
         Doubles({0.25, -3.5 / 32768, -2.0}),
         {8192, -4, -32768}},
        {"extensible float",
         Extensible(FormatTag::IeeeFloat, 1, 4, 32, 32),
         Floats({-0.5f}),
         {-16384}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Convert(Wave(c.format, c.data)), "");
        const PcmFile p = Output();
        EXPECT_EQ(p.formatTag, FormatTag::Pcm);
        EXPECT_EQ(p.bitsPerSample, 16);
        EXPECT_EQ(p.channels, c.format.channels);
        EXPECT_EQ(p.blockAlign, 2 * c.format.channels);
        EXPECT_EQ(p.dataSize, 2 * c.samples.size());
        EXPECT_EQ(p.samples, c.samples);
    }
    EXPECT_EQ(Convert(Wave(Encoding(FormatTag::IeeeFloat, 1, 8000, 2, 16), Ramp(10))),
              "Unsupported wave format.");
    EXPECT_EQ(OutputSize(), 0u);
}

TEST_F(ConversionTest, ExtensibleDecodesItsSubFormat) {
    // 16-bit PCM is copied under a canonical header that names it plainly.
    const Bytes data = Ramp(40);
    ASSERT_EQ(Convert(Wave(Extensible(FormatTag::Pcm, 2, 4, 16, 16), data)), "");
    const Bytes out = ReadFile(Out());
    ASSERT_EQ(out.size(), 44u + data.size());
    EXPECT_EQ(out[16], 16);  // fmtSize
    const PcmFile p = Output();
    EXPECT_EQ(p.formatTag, FormatTag::Pcm);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.bitsPerSample, 16);
    EXPECT_EQ(p.dataSize, data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + 44));

    Format foreign = Extensible(FormatTag::MuLaw, 1, 1, 8, 8);
    foreign.extra.back() ^= 1;  // a sub-format GUID of someone's own
    EXPECT_EQ(Convert(Wave(foreign, data)), "Unsupported wave format.");
}

TEST_F(ConversionTest, OutputPastFourGigabytesFailsBeforeAnythingIsWritten) {
    // Sparse sources whose header size 0 lets the data run to the end of the file.
    struct Case {
        Format format;
        uint64_t dataBytes;  // the output would be 4 GiB + 44 and exactly 4 GiB
    };
    for (const Case& c :
         {Case{Encoding(FormatTag::MuLaw, 1, 8000, 1, 8), uint64_t{1} << 31},
          Case{Encoding(FormatTag::Pcm, 1, 8000, 2, 16), (uint64_t{1} << 32) - 44}}) {
        SCOPED_TRACE(static_cast<unsigned>(c.format.formatTag));
        const std::string source = dir.File("huge.wav");
        WriteFile(source, Wave(c.format, {}));
        std::filesystem::resize_file(source, 44 + c.dataBytes);
        EXPECT_EQ(ConvertPath(source), "Output too large for a wav file.");
        EXPECT_EQ(OutputSize(), 0u);
    }
}
