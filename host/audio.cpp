// Audio in: files decoded with FFmpeg's libraries and brought to 44.1 kHz stereo, and the
// window of decoded samples the render loop works from.
#include "host.h"
#include "host_p.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace lumetra {

namespace {

// A damaged header can claim any rate. Bringing 520 MHz down to 44.1 kHz made the resampler
// build a filter of hundreds of millions of taps (a gigabyte, half a minute) before the first
// sample; at 1 Hz one decoded frame of a thousand samples became 17 minutes of sound, all
// converted at once (300 MB). Sound files lie between 1 kHz and 768 kHz; a claim outside that
// is damage.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;

}  // namespace

struct AudioDecoder::Impl {
  std::string name;
  FormatInput format;
  CodecContext codec;
  Resampler resampler;
  Frame frame{av_frame_alloc()};
  Packet packet{av_packet_alloc()};
  int stream = -1;
  bool mono = false;          // converted as one channel and duplicated here
  bool demuxerDone = false;   // the decoder has been sent its flush
  bool decoderDone = false;   // the decoder has given its last frame
  bool resamplerDone = false;
  std::int64_t decodedPairs = 0;
  int badPackets = 0;
  std::optional<std::int64_t> length;
  std::vector<std::int16_t> pending;  // converted pairs not handed out yet
  std::size_t pendingAt = 0;          // in samples
  // What the resampler was made for. A stream may change its channels, sample format or rate
  // from one frame to the next (a damaged or concatenated MP3 does); such a frame gets a
  // resampler of its own first, since handing it to one made for more channels read planes
  // that the frame does not have.
  AVChannelLayout inLayout{};
  int inFormat = -1;
  int inRate = 0;

  ~Impl() { av_channel_layout_uninit(&inLayout); }

  // A resampler from this input to 44.1 kHz 16-bit (mono kept as one channel, duplicated when
  // converted); answers FFmpeg's status, and keeps the old one on failure.
  int openResampler(const AVChannelLayout& layout, int format, int rate) {
    AVChannelLayout in{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
      av_channel_layout_default(&in, layout.nb_channels);
    else
      av_channel_layout_copy(&in, &layout);
    const bool inMono = in.nb_channels == 1;
    AVChannelLayout out{};
    av_channel_layout_default(&out, inMono ? 1 : 2);
    SwrContext* swr = nullptr;
    int r = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, kSampleRate, &in, static_cast<AVSampleFormat>(format),
                                rate, 0, nullptr);
    av_channel_layout_uninit(&out);
    if (r >= 0 && swr) r = swr_init(swr);
    if (r < 0 || !swr) {
      swr_free(&swr);
      av_channel_layout_uninit(&in);
      return r < 0 ? r : AVERROR(ENOMEM);
    }
    av_channel_layout_uninit(&in);
    resampler.reset(swr);
    mono = inMono;
    // The layout as given, not as completed above, so that frames that carry it compare equal.
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_copy(&inLayout, &layout);
    inFormat = format;
    inRate = rate;
    return 0;
  }

  // Converts `frame` (or flushes with null) into `pending`; answers the pairs made.
  int convert(const AVFrame* in) {
    if (in && (in->format != inFormat || in->sample_rate != inRate ||
               av_channel_layout_compare(&in->ch_layout, &inLayout) != 0)) {
      // Like a frame the decoder could not make, a frame that cannot be converted is skipped.
      if (in->sample_rate < kMinSampleRate || in->sample_rate > kMaxSampleRate || in->ch_layout.nb_channels <= 0 ||
          openResampler(in->ch_layout, in->format, in->sample_rate) < 0) {
        ++badPackets;
        return 0;
      }
    }
    const int inCount = in ? in->nb_samples : 0;
    const int room = swr_get_out_samples(resampler.get(), inCount);
    if (room <= 0) return 0;
    const int outChannels = mono ? 1 : 2;
    std::vector<std::int16_t> out(static_cast<std::size_t>(room) * outChannels);
    std::uint8_t* outData[1] = {reinterpret_cast<std::uint8_t*>(out.data())};
    const int made = swr_convert(resampler.get(), outData, room, in ? const_cast<const std::uint8_t**>(in->extended_data) : nullptr,
                                 inCount);
    if (made < 0) throw HostError(name + ": the sound could not be converted (" + avError(made) + ")");
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(pendingAt));
    pendingAt = 0;
    for (int i = 0; i < made; ++i) {
      if (mono) {
        pending.push_back(out[i]);
        pending.push_back(out[i]);
      } else {
        pending.push_back(out[2 * i]);
        pending.push_back(out[2 * i + 1]);
      }
    }
    return made;
  }

  // Produces more pending pairs; false once everything is out.
  bool produce() {
    while (!resamplerDone) {
      const int got = avcodec_receive_frame(codec.get(), frame.get());
      if (got == 0) {
        const int made = convert(frame.get());
        av_frame_unref(frame.get());
        if (made > 0) return true;
        continue;
      }
      if (got == AVERROR_EOF) {
        decoderDone = true;
        resamplerDone = true;
        return convert(nullptr) > 0;
      }
      if (got != AVERROR(EAGAIN)) {
        // A frame the decoder could not make: skip it as players do, but not for ever.
        if (++badPackets > 100000) throw HostError(name + ": the sound is too damaged to decode; give another file");
        continue;
      }
      if (demuxerDone) {
        decoderDone = true;
        resamplerDone = true;
        return convert(nullptr) > 0;
      }
      const int r = av_read_frame(format.get(), packet.get());
      if (r < 0) {
        demuxerDone = true;
        avcodec_send_packet(codec.get(), nullptr);
        continue;
      }
      if (packet->stream_index == stream) {
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) ++badPackets;
      }
      av_packet_unref(packet.get());
    }
    return false;
  }
};

AudioDecoder::AudioDecoder(const fs::path& file) : impl_(std::make_unique<Impl>()) {
  auto& d = *impl_;
  d.name = file.string();
  std::error_code ec;
  if (!fs::exists(file, ec)) throw HostError(d.name + ": no such file; check the name and the folder");
  if (fs::is_directory(file, ec)) throw HostError(d.name + " is a folder; give an audio file");

  AVFormatContext* raw = nullptr;
  int r = avformat_open_input(&raw, file.c_str(), nullptr, nullptr);
  if (r < 0)
    throw HostError(d.name + " cannot be read as audio (" + avError(r) +
                    "); give a WAV, FLAC, MP3, Ogg, M4A or other sound file");
  d.format.reset(raw);
  r = avformat_find_stream_info(d.format.get(), nullptr);
  if (r < 0) throw HostError(d.name + " cannot be read as audio (" + avError(r) + "); give another file");

  const AVCodec* decoder = nullptr;
  d.stream = av_find_best_stream(d.format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (d.stream == AVERROR_STREAM_NOT_FOUND)
    throw HostError(d.name + " has no sound in it; give a file with an audio track");
  if (d.stream < 0 || !decoder)
    throw HostError(d.name + ": its sound is in a format this FFmpeg cannot decode; convert it to FLAC or WAV first");
  AVStream* st = d.format->streams[d.stream];

  d.codec.reset(avcodec_alloc_context3(decoder));
  if (!d.codec) throw HostError("out of memory opening " + d.name);
  avcodec_parameters_to_context(d.codec.get(), st->codecpar);
  d.codec->pkt_timebase = st->time_base;
  r = avcodec_open2(d.codec.get(), decoder, nullptr);
  if (r < 0) throw HostError(d.name + ": its sound cannot be decoded (" + avError(r) + "); give another file");
  if (d.codec->sample_rate <= 0 || d.codec->ch_layout.nb_channels <= 0)
    throw HostError(d.name + ": its sound has no usable rate or channels; give another file");
  if (d.codec->sample_rate < kMinSampleRate || d.codec->sample_rate > kMaxSampleRate)
    throw HostError(d.name + ": its sound claims " + std::to_string(d.codec->sample_rate) +
                    " samples a second, which no sound file has (the file is damaged); give another file");

  r = d.openResampler(d.codec->ch_layout, d.codec->sample_fmt, d.codec->sample_rate);
  if (r < 0) throw HostError(d.name + ": its channel layout cannot be converted to stereo (" + avError(r) + ")");

  if (st->duration > 0 && st->time_base.den > 0)
    d.length = av_rescale_q(st->duration, st->time_base, AVRational{1, kSampleRate});
  else if (d.format->duration > 0)
    d.length = av_rescale(d.format->duration, kSampleRate, AV_TIME_BASE);
}

AudioDecoder::~AudioDecoder() = default;

std::size_t AudioDecoder::read(std::span<std::int16_t> out) {
  auto& d = *impl_;
  std::size_t written = 0;  // pairs
  const std::size_t wanted = out.size() / kChannels;
  while (written < wanted) {
    if (d.pendingAt >= d.pending.size()) {
      d.pending.clear();
      d.pendingAt = 0;
      if (!d.produce() && d.pending.empty()) break;
      continue;
    }
    const std::size_t take = std::min(wanted - written, (d.pending.size() - d.pendingAt) / kChannels);
    std::memcpy(out.data() + written * kChannels, d.pending.data() + d.pendingAt, take * kChannels * sizeof(std::int16_t));
    d.pendingAt += take * kChannels;
    written += take;
  }
  d.decodedPairs += static_cast<std::int64_t>(written);
  if (written == 0 && d.decodedPairs == 0 && d.badPackets > 0)
    throw HostError(d.name + ": its sound could not be decoded (the data is damaged); give another file");
  return written;
}

std::optional<std::int64_t> AudioDecoder::length() const { return impl_->length; }

std::string AudioDecoder::describe() const { return impl_->name; }

// ---- SampleHistory -----------------------------------------------------------------------

void SampleHistory::fill(std::int64_t end) {
  constexpr std::size_t kChunk = 4096;  // pairs per read
  while (!ended_ && available() < end) {
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kChunk * kChannels);
    const std::size_t got = source_.read(std::span(buffer_).subspan(old));
    buffer_.resize(old + got * kChannels);
    if (got == 0) ended_ = true;
  }
}

void SampleHistory::skipTo(std::int64_t pos, std::int64_t keep) {
  constexpr std::int64_t kStep = 1 << 18;
  while (!ended_ && available() < pos) {
    fill(std::min(pos, available() + kStep));
    dropBefore(std::min(pos, available()) - keep);
  }
}

void SampleHistory::window(std::int64_t end, std::span<std::int16_t> out) const {
  const std::int64_t pairs = static_cast<std::int64_t>(out.size() / kChannels);
  const std::int64_t from = end - pairs;
  const std::int64_t held = static_cast<std::int64_t>(buffer_.size() / kChannels);
  for (std::int64_t i = 0; i < pairs; ++i) {
    const std::int64_t at = from + i - base_;
    const bool in = at >= 0 && at < held;
    out[2 * i] = in ? buffer_[2 * at] : 0;
    out[2 * i + 1] = in ? buffer_[2 * at + 1] : 0;
  }
}

std::span<const std::int16_t> SampleHistory::range(std::int64_t from, std::int64_t to) const {
  const std::int64_t held = static_cast<std::int64_t>(buffer_.size() / kChannels);
  const std::int64_t a = std::clamp<std::int64_t>(from - base_, 0, held);
  const std::int64_t b = std::clamp<std::int64_t>(to - base_, a, held);
  return std::span(buffer_).subspan(static_cast<std::size_t>(a * kChannels), static_cast<std::size_t>((b - a) * kChannels));
}

void SampleHistory::dropBefore(std::int64_t pos) {
  // Dropping moves the rest, so it waits until there is a good amount to drop.
  const std::int64_t drop = std::min<std::int64_t>(pos - base_, static_cast<std::int64_t>(buffer_.size() / kChannels));
  if (drop < 65536) return;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop * kChannels));
  base_ += drop;
}

}  // namespace lumetra
