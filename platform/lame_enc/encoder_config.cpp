#include "platform/lame_enc/encoder_config.h"

namespace lame_enc {
namespace {

// For a record that does not ask: without noise shaping, which at 128
// kbit/s costs speech nothing measurable (the decoded signal-to-noise ratio
// of a spoken message is the same as at 5) and saves a fifth of the time.
constexpr int kDefaultQuality = 7;

bool ToLameMode(int32_t mode, MPEG_mode* lameMode) {
  switch (mode) {
    case BE_MP3_MODE_STEREO: *lameMode = STEREO; return true;
    case BE_MP3_MODE_JSTEREO: *lameMode = JOINT_STEREO; return true;
    case BE_MP3_MODE_DUALCHANNEL: *lameMode = DUAL_CHANNEL; return true;
    case BE_MP3_MODE_MONO: *lameMode = MONO; return true;
    default: return false;
  }
}

// The quality word holds 0-9 in its low byte and the complement in its high
// byte, so that a record left zeroed does not ask for quality 0 (slowest).
int QualityFrom(uint16_t word) {
  uint8_t low = word & 0xFF;
  uint8_t high = word >> 8;
  return (low == static_cast<uint8_t>(~high) && low <= 9) ? low : kDefaultQuality;
}

bool ApplyVbr(const BE_CONFIG& config, lame_t lame) {
  const auto& c = config.format.LHV1;
  if (!c.bEnableVBR) return lame_set_VBR(lame, vbr_off) == 0;
  vbr_mode mode;
  switch (c.nVbrMethod) {
    case VBR_METHOD_NONE: return lame_set_VBR(lame, vbr_off) == 0;
    case VBR_METHOD_DEFAULT: mode = vbr_default; break;
    case VBR_METHOD_OLD: mode = vbr_rh; break;
    case VBR_METHOD_NEW:
    case VBR_METHOD_MTRH: mode = vbr_mtrh; break;
    case VBR_METHOD_ABR: mode = vbr_abr; break;
    default: return false;
  }
  lame_set_VBR(lame, mode);
  lame_set_VBR_q(lame, c.nVBRQuality);
  if (c.dwBitrate != 0) lame_set_VBR_min_bitrate_kbps(lame, static_cast<int>(c.dwBitrate));
  if (c.dwMaxBitrate != 0) lame_set_VBR_max_bitrate_kbps(lame, static_cast<int>(c.dwMaxBitrate));
  if (mode == vbr_abr) {
    // Callers give the average in bit/s or, as older ones did, in kbit/s.
    uint32_t kbps = c.dwVbrAbr_bps > 1000 ? c.dwVbrAbr_bps / 1000 : c.dwVbrAbr_bps;
    lame_set_VBR_mean_bitrate_kbps(lame, static_cast<int>(kbps));
  }
  return true;
}

// Presets refine the settings above; the two without a counterpart in this
// encoder are refused rather than quietly ignored.
bool ApplyPreset(const BE_CONFIG& config, lame_t lame) {
  const auto& c = config.format.LHV1;
  switch (c.nPreset) {
    case LQP_NOPRESET:
    case LQP_NORMAL_QUALITY: return true;
    case LQP_LOW_QUALITY: return lame_set_quality(lame, 9) == 0;
    case LQP_HIGH_QUALITY: return lame_set_quality(lame, 2) == 0;
    case LQP_VERYHIGH_QUALITY: return lame_set_quality(lame, 0) == 0;
    case LQP_STANDARD: return lame_set_preset(lame, STANDARD) != 0;
    case LQP_FAST_STANDARD: return lame_set_preset(lame, STANDARD_FAST) != 0;
    case LQP_EXTREME: return lame_set_preset(lame, EXTREME) != 0;
    case LQP_FAST_EXTREME: return lame_set_preset(lame, EXTREME_FAST) != 0;
    case LQP_INSANE: return lame_set_preset(lame, INSANE) != 0;
    case LQP_MEDIUM: return lame_set_preset(lame, MEDIUM) != 0;
    case LQP_FAST_MEDIUM: return lame_set_preset(lame, MEDIUM_FAST) != 0;
    case LQP_ABR:
      lame_set_VBR(lame, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(lame, static_cast<int>(c.dwBitrate));
      return true;
    case LQP_CBR: lame_set_VBR(lame, vbr_off); return lame_set_brate(lame, static_cast<int>(c.dwBitrate)) == 0;
    default: return false;
  }
}

BE_ERR ConfigureLame(const BE_CONFIG& config, lame_t lame, StreamLayout* layout) {
  const auto& c = config.format.LHV1;
  if (c.dwStructVersion != 1 || c.dwStructSize != sizeof(BE_CONFIG)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  MPEG_mode mode;
  if (!ToLameMode(c.nMode, &mode)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  layout->inputChannels = mode == MONO ? 1 : 2;
  layout->writeInfoFrame = c.bWriteVBRHeader != 0;

  lame_set_num_channels(lame, layout->inputChannels);
  lame_set_in_samplerate(lame, static_cast<int>(c.dwSampleRate));
  lame_set_out_samplerate(lame, static_cast<int>(c.dwReSampleRate));
  lame_set_mode(lame, mode);
  lame_set_brate(lame, static_cast<int>(c.dwBitrate));
  lame_set_quality(lame, QualityFrom(c.nQuality));
  lame_set_emphasis(lame, static_cast<int>(c.dwEmphasis));
  lame_set_extension(lame, c.bPrivate != 0);
  lame_set_error_protection(lame, c.bCRC != 0);
  lame_set_copyright(lame, c.bCopyright != 0);
  lame_set_original(lame, c.bOriginal != 0);
  lame_set_disable_reservoir(lame, c.bNoRes != 0);
  lame_set_strict_ISO(lame, c.bStrictIso != 0);
  lame_set_bWriteVbrTag(lame, layout->writeInfoFrame);
  if (!ApplyVbr(config, lame) || !ApplyPreset(config, lame)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (lame_init_params(lame) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  // lame_get_version: 1 is MPEG-1. MPEG2 (0) leaves the choice to the rate,
  // as the record always has.
  if (c.dwMpegVersion == MPEG1 && lame_get_version(lame) != 1) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  return BE_ERR_SUCCESSFUL;
}

// The original BladeEnc record: MPEG-1 at its own rate, constant bit rate.
BE_ERR ConfigureMp3(const BE_CONFIG& config, lame_t lame, StreamLayout* layout) {
  const auto& c = config.format.mp3;
  if (c.dwSampleRate != 32000 && c.dwSampleRate != 44100 && c.dwSampleRate != 48000) {
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  }
  MPEG_mode mode;
  if (!ToLameMode(c.byMode, &mode)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  layout->inputChannels = mode == MONO ? 1 : 2;
  layout->writeInfoFrame = false;
  lame_set_num_channels(lame, layout->inputChannels);
  lame_set_in_samplerate(lame, static_cast<int>(c.dwSampleRate));
  lame_set_out_samplerate(lame, static_cast<int>(c.dwSampleRate));
  lame_set_mode(lame, mode);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, c.wBitrate);
  lame_set_quality(lame, kDefaultQuality);
  lame_set_extension(lame, c.bPrivate != 0);
  lame_set_error_protection(lame, c.bCRC != 0);
  lame_set_copyright(lame, c.bCopyright != 0);
  lame_set_original(lame, c.bOriginal != 0);
  lame_set_bWriteVbrTag(lame, 0);
  if (lame_init_params(lame) < 0 || lame_get_version(lame) != 1) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  return BE_ERR_SUCCESSFUL;
}

}  // namespace

BE_ERR ConfigureEncoder(const BE_CONFIG& config, lame_t lame, StreamLayout* layout) {
  // The interface never wrote ID3 tags; an information frame must be the
  // first thing in the file.
  lame_set_write_id3tag_automatic(lame, 0);
  switch (config.dwConfig) {
    case BE_CONFIG_LAME: return ConfigureLame(config, lame, layout);
    case BE_CONFIG_MP3: return ConfigureMp3(config, lame, layout);
    default: return BE_ERR_INVALID_FORMAT;
  }
}

}  // namespace lame_enc
