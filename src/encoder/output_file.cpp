#include "output_file.h"

#include <system_error>

#include "movie_box.h"
#include "stream_order.h"

namespace conv {
namespace {

constexpr int kIoBufferSize = 1 << 16;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;  // FFmpeg 7 made the buffer const
#else
using WrittenBytes = uint8_t*;
#endif

int WritePacket(void* opaque, WrittenBytes data, int size) {
  return static_cast<platform::PendingOutput*>(opaque)->Write(data, size);
}

int64_t SeekOutput(void* opaque, int64_t offset, int whence) {
  if (whence & AVSEEK_SIZE) return AVERROR(ENOSYS);
  return static_cast<platform::PendingOutput*>(opaque)->Seek(offset, whence & ~AVSEEK_FORCE);
}

}  // namespace

void CheckOutputPath(const std::string& source, const std::string& output, bool overwrite) {
  const auto out = platform::LookAt(output);
  if (!out) return;  // a new file: the folder is checked when it is created
  if (out->kind == platform::FileFacts::Kind::Folder)
    throw EncodeError(output, "is a folder; give a file name for the output");
  const auto in = platform::LookAt(source);
  if (in && in->identity == out->identity) {
    throw EncodeError(output, "is the source file itself; choose another output name");
  }
  if (out->kind != platform::FileFacts::Kind::Regular)
    throw EncodeError(output, "exists and is not a regular file");
  if (!overwrite) throw EncodeError(output, "already exists (add -y to replace it)");
}

OutputFile::OutputFile(std::string finalPath, bool overwrite)
    : finalPath_(std::move(finalPath)),
      overwrite_(overwrite),
      file_(platform::CreatePendingOutput(finalPath_)) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) throw EncodeError(finalPath_, "out of memory");
  io_.reset(avio_alloc_context(buffer, kIoBufferSize, 1, file_.get(), nullptr, WritePacket, SeekOutput));
  if (!io_) {
    av_free(buffer);
    throw EncodeError(finalPath_, "out of memory");
  }
  AVFormatContext* context = nullptr;
  // The muxer is chosen by name: the file has no name yet.
  Check(avformat_alloc_output_context2(&context, nullptr, "3gp", nullptr), finalPath_,
        "cannot set up the 3GP writer");
  context_.reset(context);
  context_->pb = io_.get();
  context_->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Left to its default the muxer hands every packet to the file at once, a system call for each
  // 14-byte sound frame, made while the other encoding thread waits for the writer's lock. Nobody
  // reads the file before it is complete, so the buffer fills first.
  context_->flush_packets = 0;
}

AVStream* OutputFile::AddStream(const AVCodecContext* encoder) {
  AVStream* stream = avformat_new_stream(context_.get(), nullptr);
  if (!stream) throw EncodeError(finalPath_, "out of memory");
  Check(avcodec_parameters_from_context(stream->codecpar, encoder), finalPath_, "cannot set up a stream");
  stream->time_base = encoder->time_base;
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
    stream->avg_frame_rate = encoder->framerate;
    stream->r_frame_rate = encoder->framerate;
    stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
  }
  return stream;
}

void OutputFile::WriteHeader() {
  Check(avformat_write_header(context_.get(), nullptr), finalPath_, "cannot write the 3GP header");
}

void OutputFile::Write(AVPacket* packet, AVStream* stream, AVRational encoderTimeBase) {
  std::lock_guard lock(mutex_);
  av_packet_rescale_ts(packet, encoderTimeBase, stream->time_base);
  packet->stream_index = stream->index;
  Check(av_interleaved_write_frame(context_.get(), packet), finalPath_, "cannot write the output");
  bytes_.store(avio_tell(io_.get()));
}

void OutputFile::SetContainerFacts(const ContainerFacts& facts) {
  std::lock_guard lock(mutex_);
  facts_ = facts;
}

void OutputFile::Finish() {
  std::lock_guard lock(mutex_);
  if (finished_) return;
  Check(av_write_trailer(context_.get()), finalPath_, "cannot finish the output");
  avio_flush(io_.get());
  Check(io_->error, finalPath_, "cannot finish the output");
  try {
    PutInStreamingOrder(*file_, facts_);
  } catch (const MalformedBox& error) {
    throw EncodeError(finalPath_, std::string("cannot put the 3GP in streaming order: ") + error.what());
  } catch (const std::system_error& error) {
    throw EncodeError(finalPath_, "cannot finish the output: " + error.code().message());
  }
  const int64_t size = file_->Seek(0, SEEK_CUR);
  if (size >= 0) bytes_.store(size);
  finished_ = true;
}

void OutputFile::Commit() {
  Finish();
  std::lock_guard lock(mutex_);
  file_->Commit(overwrite_);
}

}  // namespace conv
