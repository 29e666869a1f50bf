/* The BladeEnc-style encoder interface of liblame_enc.so, with the
 * configuration record of the LAME header version (dwConfig 256).
 *
 * A caller loads the library by file name, looks up the entry points below
 * by name and encodes one stream as follows:
 *
 *   beInitStream      configuration -> samples per chunk, output buffer size,
 *                     stream handle
 *   beEncodeChunk     up to "samples per chunk" interleaved 16-bit samples
 *                     (all channels counted) -> MP3 bytes, repeatedly
 *   beDeinitStream    -> the last MP3 bytes
 *   beCloseStream     ends the stream; one that finished and reserved an
 *                     information frame (bWriteVBRHeader) stays for:
 *   beWriteInfoTag    writes the encoder's information frame into the
 *                     closed MP3 file, then frees the stream
 *
 * The MP3 file must be complete and closed before beWriteInfoTag, which
 * rewrites its first frame by file name. Each output buffer must hold the
 * size beInitStream gave. beWriteVBRHeader is the older way to the same end
 * for callers without the stream: it works the frame out from the file
 * alone, which gives players the length and a seek table but not the
 * encoder's delay and padding (see info_frame.h).
 *
 * Failures are BE_ERR codes; a path that cannot be opened or written gives
 * BE_ERR_INVALID_FORMAT_PARAMETERS, a file that has no reserved first frame
 * BE_ERR_INVALID_FORMAT.
 *
 * Integers are fixed-width so that the records have the same layout as on
 * the platform the interface comes from: BE_CONFIG is 331 bytes.
 */
#ifndef QUILLON_LAME_ENC_API_H
#define QUILLON_LAME_ENC_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
/* A stream handle; 0 is never a valid one. */
typedef uintptr_t HBE_STREAM;
typedef HBE_STREAM* PHBE_STREAM;

#define BE_ERR_SUCCESSFUL 0x00000000u
#define BE_ERR_INVALID_FORMAT 0x00000001u
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002u
#define BE_ERR_NO_MORE_HANDLES 0x00000003u
#define BE_ERR_INVALID_HANDLE 0x00000004u
#define BE_ERR_BUFFER_TOO_SMALL 0x00000005u

/* dwConfig */
#define BE_CONFIG_MP3 0
#define BE_CONFIG_LAME 256

/* nMode / byMode */
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

/* dwMpegVersion */
#define MPEG1 1
#define MPEG2 0

#define BE_MAX_HOMEPAGE 128

/* nPreset */
typedef enum {
  LQP_NOPRESET = -1,
  LQP_NORMAL_QUALITY = 0,
  LQP_LOW_QUALITY = 1,
  LQP_HIGH_QUALITY = 2,
  LQP_VOICE_QUALITY = 3,
  LQP_R3MIX = 4,
  LQP_VERYHIGH_QUALITY = 5,
  LQP_STANDARD = 6,
  LQP_FAST_STANDARD = 7,
  LQP_EXTREME = 8,
  LQP_FAST_EXTREME = 9,
  LQP_INSANE = 10,
  LQP_ABR = 11,
  LQP_CBR = 12,
  LQP_MEDIUM = 13,
  LQP_FAST_MEDIUM = 14
} LAME_QUALITY_PRESET;

/* nVbrMethod */
typedef enum {
  VBR_METHOD_NONE = -1,
  VBR_METHOD_DEFAULT = 0,
  VBR_METHOD_OLD = 1,
  VBR_METHOD_NEW = 2,
  VBR_METHOD_MTRH = 3,
  VBR_METHOD_ABR = 4
} VBRMETHOD;

#pragma pack(push, 1)

typedef struct {
  uint32_t dwConfig; /* BE_CONFIG_MP3 or BE_CONFIG_LAME */
  union {
    struct {                 /* BE_CONFIG_MP3 */
      uint32_t dwSampleRate; /* 32000, 44100 or 48000 */
      uint8_t byMode;
      uint16_t wBitrate;
      int32_t bPrivate;
      int32_t bCRC;
      int32_t bCopyright;
      int32_t bOriginal;
    } mp3;
    struct {                    /* BE_CONFIG_LAME */
      uint32_t dwStructVersion; /* 1 */
      uint32_t dwStructSize;    /* sizeof(BE_CONFIG) */
      uint32_t dwSampleRate;    /* of the input */
      uint32_t dwReSampleRate;  /* of the output; 0: the encoder decides */
      int32_t nMode;            /* BE_MP3_MODE_... */
      uint32_t dwBitrate;       /* kbit/s: the constant rate, or the VBR minimum */
      uint32_t dwMaxBitrate;    /* kbit/s: the VBR maximum */
      int32_t nPreset;          /* LAME_QUALITY_PRESET */
      uint32_t dwMpegVersion;   /* MPEG1 or MPEG2 */
      uint32_t dwPsyModel;      /* 0 */
      uint32_t dwEmphasis;      /* 0 none, 1 50/15 ms, 3 CCITT J.17 */
      int32_t bPrivate;
      int32_t bCRC;
      int32_t bCopyright;
      int32_t bOriginal;
      int32_t bWriteVBRHeader; /* reserve and later write the information frame */
      int32_t bEnableVBR;
      int32_t nVBRQuality;   /* 0 (best) to 9 */
      uint32_t dwVbrAbr_bps; /* average rate for VBR_METHOD_ABR, bit/s or kbit/s */
      int32_t nVbrMethod;    /* VBRMETHOD */
      int32_t bNoRes;        /* bit reservoir off */
      int32_t bStrictIso;
      uint16_t nQuality; /* low byte 0-9, high byte its complement; otherwise 7 */
      uint8_t btReserved[255 - 4 * sizeof(uint32_t) - sizeof(uint16_t)];
    } LHV1;
  } format;
} BE_CONFIG, *PBE_CONFIG;

typedef struct {
  uint8_t byDLLMajorVersion; /* this library */
  uint8_t byDLLMinorVersion;
  uint8_t byMajorVersion; /* the encoder engine */
  uint8_t byMinorVersion;
  uint8_t byDay; /* release date of this library */
  uint8_t byMonth;
  uint16_t wYear;
  char zHomepage[BE_MAX_HOMEPAGE + 1];
  uint8_t byAlphaLevel;
  uint8_t byBetaLevel;
  uint8_t byMMXEnabled;
  uint8_t btReserved[125];
} BE_VERSION, *PBE_VERSION;

#pragma pack(pop)

#if defined(__cplusplus)
static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG must keep its 331-byte layout");
#else
_Static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG must keep its 331-byte layout");
#endif

#define BE_API __attribute__((visibility("default")))

BE_API BE_ERR beInitStream(PBE_CONFIG pbeConfig, uint32_t* dwSamples, uint32_t* dwBufferSize, PHBE_STREAM phbeStream);
BE_API BE_ERR beEncodeChunk(HBE_STREAM hbeStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                            uint32_t* pdwOutput);
BE_API BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, uint32_t* pdwOutput);
BE_API BE_ERR beCloseStream(HBE_STREAM hbeStream);
BE_API void beVersion(PBE_VERSION pbeVersion);
BE_API BE_ERR beWriteVBRHeader(const char* lpszFileName);
BE_API BE_ERR beWriteInfoTag(HBE_STREAM hbeStream, const char* lpszFileName);

/* The entry points as looked up by name. */
typedef BE_ERR (*PBEINITSTREAM)(PBE_CONFIG, uint32_t*, uint32_t*, PHBE_STREAM);
typedef BE_ERR (*PBEENCODECHUNK)(HBE_STREAM, uint32_t, int16_t*, uint8_t*, uint32_t*);
typedef BE_ERR (*PBEDEINITSTREAM)(HBE_STREAM, uint8_t*, uint32_t*);
typedef BE_ERR (*PBECLOSESTREAM)(HBE_STREAM);
typedef void (*PBEVERSION)(PBE_VERSION);
typedef BE_ERR (*PBEWRITEVBRHEADER)(const char*);
typedef BE_ERR (*PBEWRITEINFOTAG)(HBE_STREAM, const char*);

#ifdef __cplusplus
}
#endif

#endif /* QUILLON_LAME_ENC_API_H */
