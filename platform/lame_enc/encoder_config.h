// Turns a BE_CONFIG record into libmp3lame settings.
#pragma once

#include <lame/lame.h>

#include "platform/lame_enc/lame_enc_api.h"

namespace lame_enc {

struct StreamLayout {
  int inputChannels = 2;        // interleaved in each chunk
  bool writeInfoFrame = false;  // bWriteVBRHeader
};

// Configures a fresh encoder and initialises its parameters.
// BE_ERR_INVALID_FORMAT for an unknown dwConfig; BE_ERR_INVALID_FORMAT_PARAMETERS
// for a LAME record of another version or size, a mode, preset or rate the
// encoder does not take, or MPEG-1 asked for at a rate that cannot be MPEG-1.
BE_ERR ConfigureEncoder(const BE_CONFIG& config, lame_t lame, StreamLayout* layout);

}  // namespace lame_enc
