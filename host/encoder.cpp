// The encoder: where frames go. H.264 + AAC in MP4 or Matroska, PNG stills and sequences, and
// raw frames. Every file is written under a temporary name beside its final one and renamed
// when complete; a sink given up before finish() removes what it wrote.
#include "host.h"
#include "host_p.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace lumetra {

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// A sequence pattern must hold exactly one %d conversion, with an optional zero flag and
// width (%d, %4d, %06d); %% stands for itself. Anything else would hand printf a conversion
// it has no argument for.
bool validPattern(const std::string& p) {
  int conversions = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '%') continue;
    if (i + 1 < p.size() && p[i + 1] == '%') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < p.size() && std::isdigit(static_cast<unsigned char>(p[j]))) ++j;
    if (j >= p.size() || p[j] != 'd' || j - i > 4) return false;
    ++conversions;
    i = j;
  }
  return conversions == 1;
}

std::string patternName(const std::string& pattern, std::int64_t n) {
  char name[4096];
  // The pattern was checked by validPattern: one integer conversion and nothing else.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(name, sizeof name, pattern.c_str(), static_cast<int>(n));
#pragma GCC diagnostic pop
  return name;
}

fs::path folderOf(const fs::path& file) {
  auto folder = file.parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

void requireFolder(const fs::path& file, const std::string& output) {
  std::error_code ec;
  const auto folder = folderOf(file);
  if (!fs::is_directory(folder, ec))
    throw HostError("cannot write " + output + ": the folder " + folder.string() + " does not exist; create it first");
}

fs::path temporaryFor(const fs::path& file) {
  return folderOf(file) / ("." + file.filename().string() + ".partial-" + std::to_string(getpid()));
}

// A file being written under a temporary name: commit() renames it into place, destruction
// without commit removes it.
class PendingFile {
 public:
  explicit PendingFile(fs::path final) : final_(std::move(final)), temp_(temporaryFor(final_)) {}
  ~PendingFile() {
    if (!committed_) {
      std::error_code ec;
      fs::remove(temp_, ec);
    }
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  const fs::path& temp() const { return temp_; }
  const fs::path& final() const { return final_; }
  void commit() {
    std::error_code ec;
    fs::rename(temp_, final_, ec);
    if (ec) throw HostError("cannot put " + final_.string() + " in place (" + ec.message() + "); check the folder");
    committed_ = true;
  }

 private:
  fs::path final_, temp_;
  bool committed_ = false;
};

// The 0x00RRGGBB words as 8-bit RGB bytes.
std::vector<std::uint8_t> toRgb(std::span<const std::uint32_t> pixels) {
  std::vector<std::uint8_t> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
  }
  return rgb;
}

bool writePngFile(const fs::path& file, std::span<const std::uint32_t> pixels, int width, int height, bool fast) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  image.flags = fast ? PNG_IMAGE_FLAG_FAST : 0;
  const auto rgb = toRgb(pixels);
  const int ok = png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), width * 3, nullptr);
  png_image_free(&image);
  return ok != 0;
}

// ---- H.264 + AAC ---------------------------------------------------------------------------

struct OutputFreer {
  void operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};

class VideoSink final : public FrameSink {
 public:
  VideoSink(const OutputTarget& target, const VideoFormat& format) : file_(target.path), format_(format) {
    const std::string name = target.path.string();
    requireFolder(target.path, name);
    AVFormatContext* oc = nullptr;
    avformat_alloc_output_context2(&oc, nullptr, target.container.c_str(), file_.temp().c_str());
    if (!oc) throw HostError("this FFmpeg cannot write " + target.container + " files");
    out_.reset(oc);

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!h264) throw HostError("this FFmpeg has no H.264 encoder; install libavcodec with libx264");
    video_.reset(avcodec_alloc_context3(h264));
    auto* v = video_.get();
    v->width = format.width;
    v->height = format.height;
    v->time_base = AVRational{1, format.fps};
    v->framerate = AVRational{format.fps, 1};
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->gop_size = format.fps * 5;
    v->colorspace = AVCOL_SPC_BT709;
    v->color_primaries = AVCOL_PRI_BT709;
    v->color_trc = AVCOL_TRC_BT709;
    v->color_range = AVCOL_RANGE_MPEG;
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // veryfast keeps renders quick; crf 20 keeps the thin scope lines clean. Three of the
    // preset's choices are changed for pictures of thin lines on black, where they cost time
    // and buy nothing: the B-frame pattern is fixed and scene cuts are not looked for (a scope
    // has no cuts; together they spare most of the look-ahead's analysis), and sub-pixel
    // motion search stops at its first level (lines that jump from frame to frame gain
    // nothing from finer steps). On a 720p scope render the encoder takes about a third less
    // time for files of the same size and quality (28.6 dB PSNR against the frames either
    // way). The encoder's pictures are most of a render's memory: each frame thread and each
    // look-ahead frame holds several copies of a frame, so both are kept short.
    av_opt_set(v->priv_data, "preset", "veryfast", 0);
    av_opt_set(v->priv_data, "crf", "20", 0);
    av_opt_set(v->priv_data, "x264-params", "rc-lookahead=3:sync-lookahead=0:b-adapt=0:scenecut=0:subme=1", 0);
    v->thread_count = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    int r = avcodec_open2(v, h264, nullptr);
    if (r < 0)
      throw HostError("the H.264 encoder refuses " + std::to_string(format.width) + "x" + std::to_string(format.height) +
                      " at " + std::to_string(format.fps) + " fps (" + avError(r) + "); give another --size or --fps");
    videoStream_ = avformat_new_stream(oc, nullptr);
    avcodec_parameters_from_context(videoStream_->codecpar, v);
    videoStream_->time_base = v->time_base;
    videoStream_->avg_frame_rate = v->framerate;

    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac) throw HostError("this FFmpeg has no AAC encoder");
    audio_.reset(avcodec_alloc_context3(aac));
    auto* a = audio_.get();
    a->sample_fmt = AV_SAMPLE_FMT_FLTP;
    a->sample_rate = kSampleRate;
    a->bit_rate = 192000;
    a->time_base = AVRational{1, kSampleRate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&a->ch_layout, &stereo);
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    r = avcodec_open2(a, aac, nullptr);
    if (r < 0) throw HostError("the AAC encoder cannot be opened (" + avError(r) + ")");
    audioStream_ = avformat_new_stream(oc, nullptr);
    avcodec_parameters_from_context(audioStream_->codecpar, a);
    audioStream_->time_base = a->time_base;
    audioFrameSize_ = a->frame_size > 0 ? a->frame_size : 1024;

    frame_.reset(av_frame_alloc());
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = format.width;
    frame_->height = format.height;
    if (av_frame_get_buffer(frame_.get(), 0) < 0) throw HostError("not enough memory for a frame; give a smaller --size");

    r = avio_open(&out_->pb, file_.temp().c_str(), AVIO_FLAG_WRITE);
    if (r < 0) throw HostError("cannot write " + name + " (" + avError(r) + "); choose a folder you can write to");
    AVDictionary* options = nullptr;
    if (target.container == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
    r = avformat_write_header(oc, &options);
    av_dict_free(&options);
    if (r < 0) throw HostError("cannot start " + name + " (" + avError(r) + ")");
  }

  void writeFrame(std::span<const std::uint32_t> pixels) override {
    if (pixels.size() != static_cast<std::size_t>(format_.width) * static_cast<std::size_t>(format_.height))
      throw HostError("a frame of the wrong size reached the H.264 encoder");
    if (av_frame_make_writable(frame_.get()) < 0) throw HostError("out of memory while encoding");
    toYuv420(pixels, format_.width, format_.height,
             YuvPlanes{frame_->data[0], frame_->data[1], frame_->data[2], frame_->linesize[0], frame_->linesize[1],
                       frame_->linesize[2]});
    frame_->pts = nextPts_++;
    encode(video_.get(), videoStream_, frame_.get());
  }

  bool wantsAudio() const override { return true; }

  void writeAudio(std::span<const std::int16_t> samples) override {
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
      left_.push_back(samples[i] / 32768.0f);
      right_.push_back(samples[i + 1] / 32768.0f);
    }
    std::size_t at = 0;
    while (left_.size() - at >= static_cast<std::size_t>(audioFrameSize_)) {
      encodeAudio(at, audioFrameSize_);
      at += static_cast<std::size_t>(audioFrameSize_);
    }
    left_.erase(left_.begin(), left_.begin() + static_cast<std::ptrdiff_t>(at));
    right_.erase(right_.begin(), right_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  void finish() override {
    if (!left_.empty()) {
      // The last piece is padded with silence unless the encoder takes a short frame.
      int count = static_cast<int>(left_.size());
      if (!(audio_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
        count = audioFrameSize_;
        left_.resize(static_cast<std::size_t>(count), 0.0f);
        right_.resize(static_cast<std::size_t>(count), 0.0f);
      }
      encodeAudio(0, count);
      left_.clear();
      right_.clear();
    }
    encode(video_.get(), videoStream_, nullptr);
    encode(audio_.get(), audioStream_, nullptr);
    int r = av_write_trailer(out_.get());
    if (r < 0) throw HostError("cannot finish " + file_.final().string() + " (" + avError(r) + ")");
    r = avio_closep(&out_->pb);
    if (r < 0) throw HostError("cannot finish " + file_.final().string() + " (" + avError(r) + "); is the disk full?");
    file_.commit();
  }

  std::string describe() const override { return file_.final().string(); }

 private:
  void encodeAudio(std::size_t at, int count) {
    Frame f(av_frame_alloc());
    f->format = AV_SAMPLE_FMT_FLTP;
    f->nb_samples = count;
    f->sample_rate = kSampleRate;
    av_channel_layout_copy(&f->ch_layout, &audio_->ch_layout);
    if (av_frame_get_buffer(f.get(), 0) < 0) throw HostError("out of memory while encoding the sound");
    std::memcpy(f->data[0], left_.data() + at, sizeof(float) * static_cast<std::size_t>(count));
    std::memcpy(f->data[1], right_.data() + at, sizeof(float) * static_cast<std::size_t>(count));
    f->pts = audioPts_;
    audioPts_ += count;
    encode(audio_.get(), audioStream_, f.get());
  }

  void encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0 && r != AVERROR_EOF) throw HostError("encoding failed (" + avError(r) + ")");
    while (true) {
      r = avcodec_receive_packet(codec, packet_.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      if (r < 0) throw HostError("encoding failed (" + avError(r) + ")");
      av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
      packet_->stream_index = stream->index;
      r = av_interleaved_write_frame(out_.get(), packet_.get());
      if (r < 0)
        throw HostError("cannot write " + file_.final().string() + " (" + avError(r) + "); is the disk full?");
    }
  }

  PendingFile file_;  // destroyed last: the output is closed before its file is removed
  VideoFormat format_;
  std::unique_ptr<AVFormatContext, OutputFreer> out_;
  CodecContext video_, audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  Frame frame_;
  Packet packet_{av_packet_alloc()};
  std::int64_t nextPts_ = 0, audioPts_ = 0;
  int audioFrameSize_ = 1024;
  std::vector<float> left_, right_;
};

// ---- PNG still -----------------------------------------------------------------------------

class StillSink final : public FrameSink {
 public:
  StillSink(const OutputTarget& target, const VideoFormat& format) : file_(target.path), format_(format) {
    requireFolder(target.path, target.path.string());
    probeWritable(file_.temp(), target.path.string());
  }
  // The still is the last frame it is given.
  void writeFrame(std::span<const std::uint32_t> pixels) override { frame_.assign(pixels.begin(), pixels.end()); }
  void finish() override {
    if (frame_.empty()) throw HostError("no frame was made for " + file_.final().string());
    if (!writePngFile(file_.temp(), frame_, format_.width, format_.height, false))
      throw HostError("cannot write " + file_.final().string() + "; check the folder and the free space");
    file_.commit();
  }
  std::string describe() const override { return file_.final().string(); }

  // Creates and removes the temporary file, so an unwritable place is reported before the
  // long work rather than after it.
  static void probeWritable(const fs::path& temp, const std::string& output) {
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw HostError("cannot write " + output + " (" + std::strerror(errno) + "); choose a folder you can write to");
    std::fclose(f);
    std::error_code ec;
    fs::remove(temp, ec);
  }

 private:
  PendingFile file_;
  VideoFormat format_;
  std::vector<std::uint32_t> frame_;
};

// ---- PNG sequence --------------------------------------------------------------------------

class SequenceSink final : public FrameSink {
 public:
  SequenceSink(const OutputTarget& target, const VideoFormat& format) : pattern_(target.path.string()), format_(format) {
    const fs::path folder = folderOf(target.path);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
      // A new folder is made only at the last level, as mkdir would.
      if (!fs::is_directory(folderOf(folder), ec) || !fs::create_directory(folder, ec))
        throw HostError("cannot make the folder " + folder.string() + "; create it first or choose another -o");
      madeFolder_ = folder;
    }
    StillSink::probeWritable(temporaryFor(patternName(pattern_, 0)), pattern_);
  }
  ~SequenceSink() override {
    if (finished_) return;
    std::error_code ec;
    for (const auto& f : written_) fs::remove(f, ec);
    if (!madeFolder_.empty()) fs::remove(madeFolder_, ec);
  }
  void writeFrame(std::span<const std::uint32_t> pixels) override {
    PendingFile file(patternName(pattern_, next_++));
    if (!writePngFile(file.temp(), pixels, format_.width, format_.height, true))
      throw HostError("cannot write " + file.final().string() + "; check the folder and the free space");
    file.commit();
    written_.push_back(file.final());
  }
  void finish() override { finished_ = true; }
  std::string describe() const override {
    return pattern_ + " (" + std::to_string(written_.size()) + " images)";
  }

 private:
  std::string pattern_;
  VideoFormat format_;
  fs::path madeFolder_;
  std::vector<fs::path> written_;
  std::int64_t next_ = 0;
  bool finished_ = false;
};

// ---- Raw frames ----------------------------------------------------------------------------

class RawSink final : public FrameSink {
 public:
  RawSink(const OutputTarget& target) {
    if (target.toStdout) {
      if (isatty(STDOUT_FILENO))
        throw HostError("raw frames would go to the terminal; pipe them into a program or give -o FILE");
      fd_ = STDOUT_FILENO;
      return;
    }
    requireFolder(target.path, target.path.string());
    file_.emplace(target.path);
    owned_ = std::fopen(file_->temp().c_str(), "wb");
    if (!owned_)
      throw HostError("cannot write " + target.path.string() + " (" + std::strerror(errno) + "); choose a folder you can write to");
    fd_ = fileno(owned_);
  }
  ~RawSink() override {
    if (owned_) std::fclose(owned_);
  }
  void writeFrame(std::span<const std::uint32_t> pixels) override {
    const auto* p = reinterpret_cast<const char*>(pixels.data());
    std::size_t left = pixels.size_bytes();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EPIPE) throw HostError("the program reading the raw frames stopped reading; nothing more is sent");
      if (n <= 0) throw HostError(std::string("cannot write the raw frames (") + std::strerror(errno) + ")");
      p += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  void finish() override {
    if (!file_) return;
    const int r = std::fclose(owned_);
    owned_ = nullptr;
    if (r != 0) throw HostError("cannot finish " + file_->final().string() + "; is the disk full?");
    file_->commit();
  }
  std::string describe() const override { return file_ ? file_->final().string() : "standard output"; }

 private:
  std::optional<PendingFile> file_;
  std::FILE* owned_ = nullptr;
  int fd_ = -1;
};

}  // namespace

OutputTarget parseOutput(const std::string& output, const std::string& format) {
  OutputTarget target;
  if (output.empty()) throw HostError("no output given; add -o FILE (for example -o out.mp4)");
  if (!format.empty() && format != "rawvideo")
    throw HostError("unknown --format \"" + format + "\"; the only one is rawvideo (leave it out and -o's extension decides)");
  if (output == "-") {
    if (format != "rawvideo") throw HostError("-o - writes raw frames to standard output and needs --format rawvideo");
    target.kind = OutputKind::Raw;
    target.toStdout = true;
    return target;
  }
  target.path = output;
  if (format == "rawvideo") {
    target.kind = OutputKind::Raw;
    return target;
  }
  std::error_code ec;
  if (output.find('%') != std::string::npos) {
    if (!validPattern(output) || lower(target.path.extension().string()) != ".png")
      throw HostError("the image sequence pattern \"" + output + "\" must hold one %d (like %06d) and end in .png");
    target.kind = OutputKind::Sequence;
    return target;
  }
  if (output.back() == '/' || fs::is_directory(target.path, ec)) {
    target.kind = OutputKind::Sequence;
    target.path = target.path / "%06d.png";
    return target;
  }
  const auto ext = lower(target.path.extension().string());
  if (ext == ".mp4") {
    target.kind = OutputKind::Video;
    target.container = "mp4";
  } else if (ext == ".mkv") {
    target.kind = OutputKind::Video;
    target.container = "matroska";
  } else if (ext == ".png") {
    target.kind = OutputKind::Still;
  } else {
    throw HostError("unknown output type " + (ext.empty() ? std::string("(no extension)") : "\"" + ext + "\"") + " for " +
                    output + "; use .mp4, .mkv, .png, a folder/, a %06d.png pattern or -o - --format rawvideo");
  }
  return target;
}

std::unique_ptr<FrameSink> openSink(const OutputTarget& target, const VideoFormat& format) {
  switch (target.kind) {
    case OutputKind::Video: return std::make_unique<VideoSink>(target, format);
    case OutputKind::Still: return std::make_unique<StillSink>(target, format);
    case OutputKind::Sequence: return std::make_unique<SequenceSink>(target, format);
    case OutputKind::Raw: return std::make_unique<RawSink>(target);
  }
  throw HostError("unknown output");
}

void writePng(const fs::path& file, std::span<const std::uint32_t> pixels, int width, int height) {
  if (!writePngFile(file, pixels, width, height, false)) throw HostError("cannot write " + file.string());
}

std::optional<std::vector<std::uint32_t>> readPng(const fs::path& file, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
  return pixels;
}

}  // namespace lumetra
