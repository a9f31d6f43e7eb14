// The video codecs vintermoot-capture offers through ffmpeg, and how each
// is encoded and stored.
#pragma once

#include <string>

struct CaptureCodec {
    const char* name;       // --codec NAME
    const char* encoder;    // ffmpeg's encoder
    const char* what;       // for the usage text and messages
    const char* probe_name; // the codec as ffprobe names it
    const char* pixel_format;
    const char* encoder_args; // further encoder settings, space-separated
    const char* video_format; // ffmpeg's container of the encoder's own file
    const char* format;       // container of the finished file
    const char* audio_encoder;
    const char* audio_args;
    const char* audio_probe_name;
    const char* format_args; // muxer settings of the finished file
    int default_crf;         // -1: lossless, no --crf
    int max_crf;
};

// The codec called `name`; null when there is none.
const CaptureCodec* capture_codec_named(const std::string& name);

// The codec without --codec (H.264).
const CaptureCodec* capture_default_codec();

// "h264, ffv1, hevc, av1".
std::string capture_codec_names();

// A part of a split capture holds the video as its codec encodes it and the
// audio as 16-bit PCM (joined and encoded once when the parts are joined), in
// a QuickTime file, whose time base keeps every frame's time exact.
constexpr const char* CAPTURE_PART_FORMAT = "mov";
constexpr const char* CAPTURE_PART_AUDIO = "pcm_s16le";
