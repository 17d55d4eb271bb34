// Copies of a decoded recording for sending on: the 16-bit PCM WAVE file that the converter
// writes, encoded through libsndfile as
//
//   WAVE  16-bit PCM, channels and rate kept (what the converter writes without a format);
//   FLAC  lossless: decodes to exactly the samples of the WAVE file, channels and rate kept;
//   Opus  Ogg Opus for speech at 24 kbit/s, mono, at the Opus rate nearest above the
//         recording's (8, 12, 16, 24 or 48 kHz): some 30 times smaller than 8 kHz PCM;
//   MP3   MPEG layer III at 32 kbit/s constant, mono, at the MP3 rate nearest above the
//         recording's, for players that know nothing newer.
//
// With voice tools on, the whole message is measured first and its frames then pass through
// the tools (sound/voice_tools_file.h) before they are mixed down, resampled and encoded.
// Without them, an 8-bit PCM recording (copied unchanged by the converter) is widened to 16
// bits first; the tools take 16-bit recordings only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_replacer.h"
#include "sound/voice_chain.h"

class CFile;

enum class ShareFormat { kWave, kFlac, kOpus, kMp3 };

// "wav", "flac", "opus" or "mp3" in any letter case; nothing for any other name.
std::optional<ShareFormat> ShareFormatNamed(std::string_view name);
// The format a file name asks for by its extension (any letter case); WAVE for any other
// extension and for none.
ShareFormat ShareFormatOfPath(std::string_view path);
// The extension without its dot ("opus") and the name for people ("Opus").
const char* ShareFormatExtension(ShareFormat format);
const char* ShareFormatName(ShareFormat format);

struct ShareOptions {
    ShareFormat format = ShareFormat::kWave;
    VoiceTools tools;  // all off: the frames as decoded
};

// What was written.
struct ShareCopy {
    ShareFormat format{};
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint64_t frames = 0;  // per channel, as encoded
};

// The rate a copy in format is encoded at, for a recording at sampleRate.
uint32_t ShareSampleRate(ShareFormat format, uint32_t sampleRate);
// The channels a copy in format has, for a recording of channels.
uint16_t ShareChannels(ShareFormat format, uint16_t channels);

// Encodes the PCM WAVE file pcmPath into outputPath, created or truncated and written
// directly; messages name the file as outputName. Throws CFileException* for a file that
// cannot be read or written, CWaveDecoderException* for a pcmPath that is no 8- or 16-bit
// PCM WAVE file ("Invalid wav header.", "Unsupported wave format."; with tools on, the
// CWaveIOException* of sound/voice_tools_file.h), CMessageException* when the encoder
// refuses the sound ("Cannot encode "NAME" as FLAC: REASON.").
ShareCopy EncodeShareCopy(const std::string& pcmPath, const std::string& outputPath,
                          const std::string& outputName, const ShareOptions& options);
// The same from pcm, a file opened for reading (its position does not matter), as decoded: a
// caller may open the recording at once and encode it later, whatever becomes of its name
// meanwhile.
ShareCopy EncodeShareCopy(CFile& pcm, const std::string& outputPath, const std::string& outputName,
                          ShareFormat format);

// The same into targetPath through a FileReplacer: targetPath (after links) is replaced in
// one step once the whole copy is written, and any failure leaves it as it was and no file
// behind.
ShareCopy WriteShareCopy(const std::string& pcmPath, const std::string& targetPath,
                         const ShareOptions& options, Flush flush = Flush::kWhenReplacing);
ShareCopy WriteShareCopy(CFile& pcm, const std::string& targetPath, ShareFormat format,
                         Flush flush = Flush::kWhenReplacing);
