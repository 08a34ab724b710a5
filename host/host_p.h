// What the parts of host/ share among themselves: the platform's host-facing calls and the
// owners for FFmpeg objects. Private to host/.
#ifndef LUMETRA_HOST_P_H
#define LUMETRA_HOST_P_H

#include "host.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace lumetra {

// Registers a loaded bundle with the platform by its folder, so that the bundle finds its
// own resources by identifier. Answers the platform's status.
OSStatus registerBundleWithPlatform(const std::filesystem::path& bundle);

// FFmpeg's text for an error code.
inline std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct FormatInputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

using FormatInput = std::unique_ptr<AVFormatContext, FormatInputCloser>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Resampler = std::unique_ptr<SwrContext, SwrFreer>;

}  // namespace lumetra

#endif
