// Encodes a message's WAV file into an MP3 file beside it with the encoder
// library in the program directory, loaded afresh for each encoding.
#pragma once

#include <string>

#include "platform/lame_enc/lame_enc_api.h"

inline constexpr const char* kEncoderLibraryName = "liblame_enc.so";

// The encoder's entry points, in this order. The caller passes the table
// zeroed; Wav2Mp3 fills it from the library it loads. The addresses are
// usable only while Wav2Mp3 runs: the library is unloaded before it returns.
struct LameEntryTable {
  PBEINITSTREAM beInitStream;
  PBEENCODECHUNK beEncodeChunk;
  PBEDEINITSTREAM beDeinitStream;
  PBECLOSESTREAM beCloseStream;
  PBEVERSION beVersion;
  PBEWRITEVBRHEADER beWriteVBRHeader;
  PBEWRITEINFOTAG beWriteInfoTag;
};
static_assert(sizeof(LameEntryTable) == 7 * sizeof(void*), "seven addresses, nothing else");

// MPEG-1 Layer III, 44100 Hz in and out, joint stereo, 128 kbit/s constant,
// original bit set, bit reservoir off, with an information frame; every
// other member zero.
BE_CONFIG GatewayEncoderConfig();

// wavPath up to and including its last dot, then "mp3". A name without a
// dot (a dot in a folder name does not count) gets ".mp3" appended.
std::string Mp3PathFor(const std::string& wavPath);

// Writes Mp3PathFor(wavPath) from the samples after the 44-byte header of
// wavPath, deleting an MP3 file of that name first. Fails silently: without
// the library (ProgramFile(kEncoderLibraryName)), without one of its first
// six entry points, without a readable WAV file or on an encoder error there
// is no MP3 file or a partial one. Whatever happens, the files it opened are
// closed, its buffers freed and the library unloaded before it returns.
void Wav2Mp3(const std::string& wavPath, LameEntryTable& entries);
