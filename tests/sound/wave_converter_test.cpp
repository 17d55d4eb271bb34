#include "sound/wave_converter.h"

#include <sys/stat.h>

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

}  // namespace

TEST_F(ConversionTest, RefusesWhatItCannotReadWithTheSystemsWords) {
    EXPECT_EQ(Convert(Wave(Encoding(static_cast<FormatTag>(0x55), 1, 8000, 1, 0), Ramp(100))), "Unsupported wave format.");
    EXPECT_EQ(OutputSize(), 0u);  // refused before anything is written
    EXPECT_EQ(Convert(Bytes{'R', 'I', 'F'}), "Invalid wav header.");
    EXPECT_EQ(OutputSize(), 0u);
    // Every other unknown tag the same way.
    EXPECT_EQ(Convert(Wave(Encoding(static_cast<FormatTag>(0xFFFF), 1, 8000, 1, 8), Ramp(10))), "Unsupported wave format.");
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
    WriteFile(dir.File("in.wav"), Wave(Encoding(FormatTag::MuLaw, 1, 8000, 1, 8), Bytes(200000, 0x55)));
    try {
        WaveConverter converter(dir.File("in.wav"), "/dev/full");
        converter.Convert();
        ADD_FAILURE() << "a conversion onto a full disk reported success";
    } catch (CException* e) {
        ExceptionPtr owned(e);
        EXPECT_NE(e->Message().find("No space"), std::string::npos) << e->Message();
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
    EXPECT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 1, 16000, 1, 4), Ramp(10))),
              "Error: oki adpcm unsupported bit rate.");
    EXPECT_EQ(OutputSize(), 44u);  // only the placeholder header

    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::OkiAdpcm, 2, 8000, 1, 4), Ramp(1000))), "");
    PcmFile p = Output();
    EXPECT_EQ(p.samples.size(), 2000u);
    EXPECT_EQ(p.sampleRate, 8000u);
    EXPECT_EQ(p.byteRate, 32000u);  // 16000 x channels, whatever the source said

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
        {FormatTag::ImaAdpcm, 0, 256}, {FormatTag::ImaAdpcm, 5, 256},   {FormatTag::ImaAdpcm, 8, 3},      {FormatTag::ImaAdpcm, 65535, 65535},
        {FormatTag::ImaAdpcm, 1, 0},   {FormatTag::ImaAdpcm, 1, 1},     {FormatTag::ImaAdpcm, 2, 3},      {FormatTag::MsAdpcm, 0, 256},
        {FormatTag::MsAdpcm, 5, 256},    {FormatTag::MsAdpcm, 8, 65535},    {FormatTag::MsAdpcm, 65535, 65535}, {FormatTag::MsAdpcm, 1, 0},
        {FormatTag::MsAdpcm, 1, 1},      {FormatTag::MsAdpcm, 3, 3},        {FormatTag::Gsm610, 65535, 1},  {FormatTag::ALaw, 0, 0},
        {FormatTag::MuLaw, 65535, 1},  {FormatTag::OkiAdpcm, 65535, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tag " << static_cast<unsigned>(c.tag) << " channels " << c.channels
                                          << " blockAlign " << c.blockAlign);
        ASSERT_EQ(Convert(Wave(Encoding(c.tag, c.channels, 8000, c.blockAlign, 4), Ramp(3000))),
                  "");
        EXPECT_GE(OutputSize(), 44u);
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

TEST_F(ConversionTest, ZeroAndHugeSampleRatesPassThrough) {
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, 1, 0, 1, 8), Ramp(10))), "");
    EXPECT_EQ(Output().sampleRate, 0u);
    ASSERT_EQ(Convert(Wave(Encoding(FormatTag::MuLaw, 2, 0xFFFFFFFFu, 1, 8), Ramp(10))), "");
    EXPECT_EQ(Output().sampleRate, 0xFFFFFFFFu);
    EXPECT_EQ(Output().byteRate, 0xFFFFFFFFu * 4u);  // 32-bit product, as the header holds it
}
