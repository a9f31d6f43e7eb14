#include "codecs.h"

namespace {

// H.264 is the default: quality-bound and taken by any player.  FFV1 keeps
// every pixel (BGR with the alpha byte unused, as GL gives the frames), with
// FLAC audio, in Matroska: a lossless master.  HEVC and AV1 are smaller for
// the same quality and slower to encode; Debian's ffmpeg has their encoders.
const CaptureCodec CODECS[] = {
    {"h264", "libx264", "H.264 and AAC in MP4", "h264", "yuv420p", "-preset veryfast", "mp4", "mp4",
     "aac", "-b:a 192k", "aac", "-movflags +faststart", 18, 51},
    {"ffv1", "ffv1", "lossless FFV1 and FLAC in Matroska", "ffv1", "bgr0",
     "-level 3 -slices 4 -slicecrc 1 -g 1", "mov", "matroska", "flac", "", "flac", "", -1, 0},
    {"hevc", "libx265", "HEVC (H.265) and AAC in MP4", "hevc", "yuv420p",
     "-preset fast -tag:v hvc1 -x265-params log-level=error", "mp4", "mp4", "aac", "-b:a 192k",
     "aac", "-movflags +faststart", 22, 51},
    {"av1", "libsvtav1", "AV1 and AAC in MP4", "av1", "yuv420p", "-preset 8", "mp4", "mp4", "aac",
     "-b:a 192k", "aac", "-movflags +faststart", 30, 63},
};

} // namespace

const CaptureCodec* capture_codec_named(const std::string& name) {
    for (const CaptureCodec& codec : CODECS)
        if (name == codec.name) return &codec;
    return nullptr;
}

const CaptureCodec* capture_default_codec() {
    return &CODECS[0];
}

std::string capture_codec_names() {
    std::string names;
    for (const CaptureCodec& codec : CODECS)
        names += (names.empty() ? "" : ", ") + std::string(codec.name);
    return names;
}
