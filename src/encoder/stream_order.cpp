#include "stream_order.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <vector>

#include "movie_box.h"

namespace conv {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kPieceSize = 1 << 20;
// Sample tables of hours of video still fit many times over.
constexpr std::int64_t kLargestMovieBox = std::int64_t{64} << 20;

struct TopBox {
  std::uint32_t type = 0;
  std::int64_t offset = 0;
  std::int64_t size = 0;
};

void Check(std::int64_t result) {
  if (result < 0) throw std::system_error(static_cast<int>(-result), std::generic_category());
}

void SeekTo(platform::PendingOutput& file, std::int64_t at) {
  Check(file.Seek(at, SEEK_SET));
}

void ReadExactly(platform::PendingOutput& file, std::uint8_t* data, std::int64_t size) {
  for (std::int64_t done = 0; done < size;) {
    const int n = file.Read(data + done, static_cast<int>(std::min(size - done, kPieceSize)));
    Check(n);
    if (n == 0) throw MalformedBox("the file ends inside a box");
    done += n;
  }
}

void WriteAll(platform::PendingOutput& file, const std::uint8_t* data, std::int64_t size) {
  for (std::int64_t done = 0; done < size;) {
    const int n = static_cast<int>(std::min(size - done, kPieceSize));
    Check(file.Write(data + done, n));
    done += n;
  }
}

std::uint64_t BigEndian(const std::uint8_t* bytes, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes[i];
  return value;
}

std::vector<TopBox> ScanTopLevel(platform::PendingOutput& file) {
  const std::int64_t end = file.Seek(0, SEEK_END);
  Check(end);
  std::vector<TopBox> boxes;
  for (std::int64_t at = 0; at < end;) {
    std::array<std::uint8_t, 16> header{};
    if (end - at < 8) throw MalformedBox("the file ends inside a box");
    SeekTo(file, at);
    ReadExactly(file, header.data(), std::min<std::int64_t>(16, end - at));
    TopBox box{static_cast<std::uint32_t>(BigEndian(&header[4], 4)), at,
               static_cast<std::int64_t>(BigEndian(header.data(), 4))};
    if (box.size == 1) box.size = static_cast<std::int64_t>(BigEndian(&header[8], 8));
    if (box.size == 0) box.size = end - at;
    if (box.size < 8 || box.size > end - at) throw MalformedBox("a box's size does not fit the file");
    boxes.push_back(box);
    at += box.size;
  }
  return boxes;
}

// The muxer writes ftyp, a free box kept for a wider mdat header, mdat, then moov.
struct Layout {
  TopBox media;
  TopBox movie;
};

Layout FindLayout(const std::vector<TopBox>& boxes) {
  if (boxes.empty() || boxes.front().type != FourCc("ftyp"))
    throw MalformedBox("the file does not start with ftyp");
  Layout layout;
  int media = 0;
  int movie = 0;
  for (const TopBox& box : boxes) {
    if (box.type == FourCc("mdat")) {
      layout.media = box;
      ++media;
    } else if (box.type == FourCc("moov")) {
      layout.movie = box;
      ++movie;
    } else if (box.type != FourCc("ftyp") && box.type != FourCc("free") && box.type != FourCc("skip") &&
               box.type != FourCc("wide")) {
      throw MalformedBox("an unexpected box at the top of the file");
    }
  }
  if (media != 1 || movie != 1) throw MalformedBox("not one movie box and one media data box");
  if (layout.movie.size > kLargestMovieBox) throw MalformedBox("a movie box too large to rewrite");
  return layout;
}

Bytes ReadBox(platform::PendingOutput& file, const TopBox& box) {
  Bytes bytes(static_cast<std::size_t>(box.size));
  SeekTo(file, box.offset);
  ReadExactly(file, bytes.data(), box.size);
  return bytes;
}

// Each sample starts with a frame header P FT(4) Q P P (RFC 4867 5.3, the storage format the
// AMR sample entry uses); the first frame of each chunk speaks for the chunk, as the encoder uses
// one mode throughout. Modes 8 and above are comfort noise and no-data frames, not modes.
std::uint16_t AmrModesUsed(platform::PendingOutput& file, const TrackTables& track) {
  std::uint16_t modes = 0;
  for (std::uint64_t offset : track.chunkOffsets) {
    std::uint8_t header = 0;
    SeekTo(file, static_cast<std::int64_t>(offset));
    ReadExactly(file, &header, 1);
    const int frameType = (header >> 3) & 0x0F;
    if (frameType < 8) modes = static_cast<std::uint16_t>(modes | 1u << frameType);
  }
  return modes;
}

// H.263 profile 0, MPEG-4 Visual and AMR are all of 3GPP Release 4, so its brand is the major one
// (TS 26.244 clause 5.4, file identification); the file is an ordinary ISO base media file.
Bytes BrandBox() {
  return {0, 0, 0, 24, 'f', 't', 'y', 'p', '3', 'g', 'p', '4',
          0, 0, 2, 0,  '3', 'g', 'p', '4', 'i', 's', 'o', 'm'};
}

void DeclareStreams(platform::PendingOutput& file, Bytes& movie, const ContainerFacts& facts) {
  for (const TrackTables& track : ReadMovieTables(movie)) {
    if (track.d263.Found()) DeclareH263Level(movie, track, facts.h263Level);
    if (track.esds.Found() && track.handler == FourCc("vide"))
      DeclareMpeg4Rates(movie, track, MeasureVideoRates(track));
    if (track.damr.Found()) {
      const std::uint16_t modes = AmrModesUsed(file, track);
      if (modes != 0) DeclareAmrModes(movie, track, modes);
    }
  }
}

// Moves [from, from + length) to `to` in pieces, from the far end first when moving forward so no
// piece is overwritten before it is read.
void MoveRange(platform::PendingOutput& file, std::int64_t from, std::int64_t to, std::int64_t length) {
  if (from == to || length == 0) return;
  Bytes piece(static_cast<std::size_t>(std::min(length, kPieceSize)));
  for (std::int64_t done = 0; done < length;) {
    const std::int64_t size = std::min(length - done, kPieceSize);
    const std::int64_t start = to > from ? length - done - size : done;
    SeekTo(file, from + start);
    ReadExactly(file, piece.data(), size);
    SeekTo(file, to + start);
    WriteAll(file, piece.data(), size);
    done += size;
  }
}

}  // namespace

void PutInStreamingOrder(platform::PendingOutput& file, const ContainerFacts& facts) {
  const Layout layout = FindLayout(ScanTopLevel(file));
  Bytes movie = ReadBox(file, layout.movie);
  DeclareStreams(file, movie, facts);
  const Bytes brands = BrandBox();
  const auto mediaAt = static_cast<std::int64_t>(brands.size() + movie.size());
  for (const TrackTables& track : ReadMovieTables(movie))
    ShiftChunkOffsets(movie, track, mediaAt - layout.media.offset);
  MoveRange(file, layout.media.offset, mediaAt, layout.media.size);
  SeekTo(file, 0);
  WriteAll(file, brands.data(), static_cast<std::int64_t>(brands.size()));
  WriteAll(file, movie.data(), static_cast<std::int64_t>(movie.size()));
  Check(file.Truncate(mediaAt + layout.media.size));
  SeekTo(file, mediaAt + layout.media.size);
}

}  // namespace conv
