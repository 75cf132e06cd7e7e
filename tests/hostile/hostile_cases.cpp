#include "hostile_cases.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <random>

namespace vintrel::hostile {
namespace {

struct Container {
  std::string ext;
  std::vector<std::string> codecs;  // period-typical codecs and the muxer
};

const std::vector<Container> kContainers{
    {"avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-f", "avi"}},
    {"flv", {"-c:v", "flv", "-c:a", "libmp3lame", "-ar", "22050", "-f", "flv"}},
    {"wmv", {"-c:v", "wmv2", "-c:a", "wmav2", "-f", "asf"}},
    {"mov", {"-c:v", "mpeg4", "-c:a", "aac", "-f", "mov"}},
    {"dat", {"-c:v", "mpeg1video", "-c:a", "mp2", "-f", "mpeg"}},
    {"asf", {"-c:v", "msmpeg4", "-c:a", "wmav2", "-f", "asf"}},
    {"mpg", {"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"}},
    {"mp4", {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-f", "mp4"}},
};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Inputs first, then the length, which ends the output whatever the inputs are.
std::vector<std::string> Picture(const std::string& size, int rate) {
  return {"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=" + std::to_string(rate)};
}
std::vector<std::string> Lasting(double seconds) {
  return {"-t", std::to_string(seconds)};
}
const std::vector<std::string> kTone{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"};

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// One byte in about every 200 after the first kilobyte gets a random value.
std::string Flipped(std::string bytes, unsigned seed) {
  std::mt19937 random(seed);
  for (std::size_t i = 1024; i < bytes.size(); i += 1 + random() % 400)
    bytes[i] = static_cast<char>(random());
  return bytes;
}

void PutBigEndian(std::string& bytes, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * (width - 1 - i)));
}

std::uint32_t GetBigEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The header of a short clip claims ten hours.
std::string TenHourFlv(std::string bytes) {
  const std::string key = std::string("duration") + '\0';
  const auto at = bytes.find(key);
  if (at == std::string::npos) return {};
  double hours = 36000.0;
  std::uint64_t raw;
  std::memcpy(&raw, &hours, sizeof raw);
  PutBigEndian(bytes, at + key.size(), raw, 8);
  return bytes;
}

std::string TenHourMp4(std::string bytes) {
  const auto at = bytes.find("mvhd");
  if (at == std::string::npos || bytes[at + 4] != 0) return {};
  const std::uint32_t timescale = GetBigEndian32(bytes, at + 16);
  PutBigEndian(bytes, at + 20, std::uint64_t{timescale} * 36000, 4);
  return bytes;
}

// A display matrix in the first track's header turns the picture.
std::string Rotated(std::string bytes, int degrees) {
  const auto at = bytes.find("tkhd");
  if (at == std::string::npos || bytes[at + 4] != 0) return {};
  const std::size_t matrix = at + 4 + 40;
  const std::uint32_t one = 0x00010000, minusOne = 0xFFFF0000;
  PutBigEndian(bytes, matrix + 0, 0, 4);
  PutBigEndian(bytes, matrix + 4, degrees == 90 ? one : minusOne, 4);
  PutBigEndian(bytes, matrix + 12, degrees == 90 ? minusOne : one, 4);
  PutBigEndian(bytes, matrix + 16, 0, 4);
  return bytes;
}

std::string BigEndian(std::uint64_t value, int width) {
  std::string bytes(width, '\0');
  PutBigEndian(bytes, 0, value, width);
  return bytes;
}

// Offsets of the boxes of one type among an MP4 file's boxes from `from` to `to`.
std::vector<std::size_t> Boxes(const std::string& bytes, std::size_t from, std::size_t to, const char* type) {
  std::vector<std::size_t> found;
  for (std::size_t at = from; at + 8 <= to && GetBigEndian32(bytes, at) >= 8;) {
    if (bytes.compare(at + 4, 4, type) == 0) found.push_back(at);
    at += GetBigEndian32(bytes, at);
  }
  return found;
}
std::size_t Inside(const std::string& bytes, std::size_t box, const char* type) {
  return Boxes(bytes, box + 8, box + GetBigEndian32(bytes, box), type).at(0);
}

// Every sample of the track with this handler lasts 2^31 - 1 seconds; the header still says 1 s.
std::string StampBomb(std::string bytes, const char* handler) {
  const std::size_t moov = Boxes(bytes, 0, bytes.size(), "moov").at(0);
  for (std::size_t trak : Boxes(bytes, moov + 8, moov + GetBigEndian32(bytes, moov), "trak")) {
    const std::size_t mdia = Inside(bytes, trak, "mdia");
    if (bytes.compare(Inside(bytes, mdia, "hdlr") + 16, 4, handler) != 0) continue;
    PutBigEndian(bytes, Inside(bytes, mdia, "mdhd") + 20, 1, 4);
    const std::size_t stts = Inside(bytes, Inside(bytes, Inside(bytes, mdia, "minf"), "stbl"), "stts");
    for (std::uint32_t i = 0; i < GetBigEndian32(bytes, stts + 12); ++i)
      PutBigEndian(bytes, stts + 20 + 8 * i, 0x7fffffff, 4);
    for (std::size_t edts : Boxes(bytes, trak + 8, trak + GetBigEndian32(bytes, trak), "edts"))
      bytes.replace(edts + 4, 4, "free");
  }
  return bytes;
}

// 12 black RGB frames, as a picture bomb is: a few megabytes that decode to gigabytes.
std::string BlackApng(int side) {
  auto at = [](const std::string& s) { return reinterpret_cast<Bytef*>(const_cast<char*>(s.data())); };
  auto chunk = [&](const std::string& type, const std::string& data) {
    const std::string body = type + data;
    return BigEndian(data.size(), 4) + body + BigEndian(crc32(0, at(body), body.size()), 4);
  };
  const std::string rows(static_cast<std::size_t>(side) * (1 + 3 * side), '\0');
  std::string packed(compressBound(rows.size()), '\0');
  uLongf size = packed.size();
  EXPECT_EQ(compress2(at(packed), &size, at(rows), rows.size(), 1), Z_OK);
  packed.resize(size);
  std::string png =
      "\x89PNG\r\n\x1a\n" +
      chunk("IHDR", BigEndian(side, 4) + BigEndian(side, 4) + "\x08\x02" + std::string(3, '\0')) +
      chunk("acTL", BigEndian(12, 4) + BigEndian(0, 4));
  for (int frame = 0, sequence = 0; frame < 12; ++frame) {
    png += chunk("fcTL", BigEndian(sequence++, 4) + BigEndian(side, 4) + BigEndian(side, 4) +
                             BigEndian(0, 8) + BigEndian(1, 2) + BigEndian(5, 2) + BigEndian(0, 2));
    png += frame == 0 ? chunk("IDAT", packed) : chunk("fdAT", BigEndian(sequence++, 4) + packed);
  }
  return png + chunk("IEND", "");
}

// A chain of folders deeper than any path the system accepts in one piece.
std::string WriteDeep(const fs::path& base, int depth, const std::string& name, const std::string& bytes) {
  int dir = open(base.c_str(), O_DIRECTORY | O_RDONLY);
  std::string path = base.string();
  const std::string segment(200, 'd');
  for (int i = 0; i < depth && dir >= 0; ++i) {
    mkdirat(dir, segment.c_str(), 0755);
    const int next = openat(dir, segment.c_str(), O_DIRECTORY | O_RDONLY);
    close(dir);
    dir = next;
    path += "/" + segment;
  }
  if (dir < 0) return {};
  const int file = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  close(dir);
  if (file < 0) return {};
  const bool written = write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(file);
  return written ? path + "/" + name : std::string();
}

class Cases {
 public:
  explicit Cases(const CaseFolders& folders) : folders_(folders) {}

  std::string Id() {
    const std::string number = std::to_string(++serial_);
    return "c" + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number;
  }
  // A case file named after its id: "c042-what.ext".
  fs::path Named(const std::string& id, const std::string& what, const std::string& ext) const {
    return folders_.sources / (id + "-" + what + "." + ext);
  }
  void Add(const fs::path& file, Outcome cli, Outcome encoder, const std::string& id,
           std::string output = {}) {
    cases_.push_back({id, file.string(), cli, encoder, std::move(output)});
  }
  void AddBytes(const std::string& what, const std::string& ext, const std::string& bytes, Outcome both) {
    const std::string id = Id();
    ASSERT_FALSE(bytes.empty() && what != "empty") << what << "." << ext << ": nothing to write";
    WriteFile(Named(id, what, ext), bytes);
    Add(Named(id, what, ext), both, both, id);
  }
  // A clip made by ffmpeg straight into the sources folder.
  void AddClip(const std::string& what, const std::string& ext, const std::vector<std::string>& args,
               Outcome both) {
    const std::string id = Id();
    ASSERT_TRUE(Ffmpeg(Join({args, {Named(id, what, ext).string()}}))) << what;
    Add(Named(id, what, ext), both, both, id);
  }
  // The same good clip under a name that is the point of the case; "#" stands for the id.
  void AddName(std::string name, const std::string& clip, Outcome cli, Outcome encoder,
               bool relative = false) {
    const std::string id = Id();
    if (const auto mark = name.find('#'); mark != std::string::npos) name.replace(mark, 1, id);
    fs::copy_file(clip, folders_.sources / name);
    cases_.push_back({id, relative ? name : (folders_.sources / name).string(), cli, encoder, {}});
  }
  // A case that must end quickly, within the memory goal, and not run past `longest` seconds.
  void AddRunaway(const std::string& what, const std::string& ext, const std::string& bytes, Outcome both,
                  double longest = 0) {
    AddBytes(what, ext, bytes, both);
    cases_.back().runaway = true;
    cases_.back().longestOutput = longest;
  }
  std::vector<HostileCase> Take() { return std::move(cases_); }

 private:
  const CaseFolders& folders_;
  int serial_ = 0;
  std::vector<HostileCase> cases_;
};

void AddBrokenContainers(Cases& cases, const fs::path& work) {
  unsigned seed = 1;
  for (const Container& c : kContainers) {
    const fs::path good = work / ("good." + c.ext);
    ASSERT_TRUE(Ffmpeg(Join({Picture("320x240", 25), kTone, Lasting(1), c.codecs, {good.string()}})))
        << c.ext;
    const std::string bytes = ReadFile(good);
    cases.AddBytes("valid", c.ext, bytes, Outcome::Converts);
    cases.AddBytes("empty", c.ext, "", Outcome::Fails);
    cases.AddBytes("cut16", c.ext, bytes.substr(0, 16), Outcome::Fails);
    for (int percent : {30, 60, 95}) {
      cases.AddBytes("cut" + std::to_string(percent) + "pc", c.ext,
                     bytes.substr(0, bytes.size() * percent / 100), Outcome::Either);
    }
    cases.AddBytes("noise", c.ext, Noise(65536, ++seed), Outcome::Either);
    cases.AddBytes("head-then-noise", c.ext, bytes.substr(0, 2048) + Noise(bytes.size() - 2048, ++seed),
                   Outcome::Either);
    cases.AddBytes("flipped", c.ext, Flipped(bytes, ++seed), Outcome::Either);
  }
}

void AddOddMedia(Cases& cases, const fs::path& work) {
  cases.AddClip("audio-only", "mp4", Join({kTone, Lasting(1), {"-c:a", "aac", "-f", "mp4"}}),
                Outcome::Converts);
  cases.AddClip("audio-only", "avi", Join({kTone, Lasting(1), {"-c:a", "libmp3lame", "-f", "avi"}}),
                Outcome::Converts);
  cases.AddClip("video-only", "avi",
                Join({Picture("320x240", 25), Lasting(1), {"-c:v", "mpeg4", "-f", "avi"}}),
                Outcome::Converts);
  cases.AddClip(
      "video-only", "mp4",
      Join({Picture("320x240", 25), Lasting(1), {"-c:v", "libx264", "-preset", "ultrafast", "-f", "mp4"}}),
      Outcome::Converts);
  cases.AddClip("one-pixel", "avi",
                {"-f", "lavfi", "-i", "color=c=red:s=2x2:r=10", "-t", "1", "-vf", "scale=1:1", "-c:v", "ffv1",
                 "-f", "avi"},
                Outcome::Either);
  cases.AddClip("8192x8192", "avi",
                {"-f", "lavfi", "-i", "color=c=blue:s=8192x8192:r=2", "-t", "1", "-c:v", "mjpeg", "-pix_fmt",
                 "yuvj420p", "-f", "avi"},
                Outcome::Either);
  cases.AddClip("odd-175x143", "avi",
                Join({Picture("175x143", 25), Lasting(1), {"-c:v", "mpeg4", "-f", "avi"}}),
                Outcome::Converts);
  cases.AddClip("wide-4096x16", "avi",
                Join({Picture("4096x16", 25), Lasting(1), {"-c:v", "mpeg4", "-f", "avi"}}), Outcome::Either);
  cases.AddClip("tall-16x4096", "avi",
                Join({Picture("16x4096", 25), Lasting(1), {"-c:v", "mpeg4", "-f", "avi"}}), Outcome::Either);
  cases.AddClip(
      "anamorphic", "mpg",
      Join({Picture("720x576", 25), Lasting(1), {"-aspect", "16:9", "-c:v", "mpeg2video", "-f", "vob"}}),
      Outcome::Converts);
  cases.AddClip("variable-rate", "mp4",
                Join({Picture("320x240", 25),
                      Lasting(2),
                      {"-vf", "setpts='if(lt(N,20),N*0.01,0.2+(N-20)*0.1)/TB'", "-fps_mode", "vfr", "-c:v",
                       "libx264", "-preset", "ultrafast", "-f", "mp4"}}),
                Outcome::Converts);
  cases.AddClip("starts-at-10h", "mpg",
                Join({Picture("320x240", 25),
                      kTone,
                      Lasting(1),
                      {"-c:v", "mpeg2video", "-c:a", "mp2", "-output_ts_offset", "36000", "-f", "vob"}}),
                Outcome::Either);

  const std::string mp4 = ReadFile(work / "good.mp4");
  cases.AddBytes("rotated90", "mp4", Rotated(mp4, 90), Outcome::Converts);
  cases.AddBytes("rotated270", "mp4", Rotated(mp4, 270), Outcome::Converts);
  cases.AddBytes("header-says-10h", "mp4", TenHourMp4(mp4), Outcome::Either);
  cases.AddBytes("header-says-10h", "flv", TenHourFlv(ReadFile(work / "good.flv")), Outcome::Either);

  cases.AddBytes("text", "avi", "This is not a video.\nIt is a text file named like one.\n", Outcome::Fails);
  cases.AddBytes("html", "mp4", "<!DOCTYPE html><html><body>404 Not Found</body></html>\n", Outcome::Fails);
  const fs::path picture = work / "picture.png";
  ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240", "-frames:v", "1", picture.string()}));
  cases.AddBytes("picture", "avi", ReadFile(picture), Outcome::Either);
  const fs::path subtitles = work / "words.srt";
  WriteFile(subtitles, "1\n00:00:00,000 --> 00:00:01,000\nNo picture, no sound.\n");
  cases.AddClip("subtitles-only", "wmv", {"-i", subtitles.string(), "-c:s", "srt", "-f", "matroska"},
                Outcome::Fails);
}

// Timestamps that would have the encoder hold a frame or fill silence for years, pictures that
// decode to gigabytes, and playlists that name other files.
void AddRunaways(Cases& cases, const fs::path& work) {
  const fs::path small = work / "small.3gp";
  ASSERT_TRUE(Ffmpeg(Join({Picture("176x144", 15),
                           kTone,
                           Lasting(1),
                           {"-c:v", "h263", "-b:v", "30k", "-c:a", "libopencore_amrnb", "-ar", "8000", "-ac",
                            "1", "-f", "3gp", small.string()}})));
  // What the margin allows past the one second of real content.
  constexpr double kLongest = 1 + 30 + 0.25;
  cases.AddRunaway("stamp-bomb-video", "3gp", StampBomb(ReadFile(small), "vide"), Outcome::Either, kLongest);
  cases.AddRunaway("stamp-bomb-audio", "3gp", StampBomb(ReadFile(small), "soun"), Outcome::Either, kLongest);
  cases.AddRunaway("apng-12x8000x8000", "avi", BlackApng(8000), Outcome::Fails);
  const fs::path segment = work / "segment.ts";
  ASSERT_TRUE(Ffmpeg(
      Join({Picture("320x240", 25), Lasting(1), {"-c:v", "mpeg2video", "-f", "mpegts", segment.string()}})));
  cases.AddRunaway("hls-playlist", "avi",
                   "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + segment.string() + "\n#EXT-X-ENDLIST\n",
                   Outcome::Fails);
  cases.AddRunaway("concat-list", "avi", "ffconcat version 1.0\nfile 'c001-valid.avi'\n", Outcome::Fails);
}

void AddNames(Cases& cases, const CaseFolders& folders, const std::string& clip) {
  const Outcome ok = Outcome::Converts;
  cases.AddName("# with  blanks .avi", clip, ok, ok);
  cases.AddName(" # leading blank.avi", clip, ok, ok);
  // A double quote cannot stand inside the quoted command line: refused, never split.
  cases.AddName("# say \"cheese\".avi", clip, Outcome::Fails, ok);
  cases.AddName("#\" -y \"evil.avi", clip, Outcome::Fails, ok);
  cases.AddName("# it's.avi", clip, ok, ok);
  cases.AddName("-#.avi", clip, ok, ok, true);
  cases.AddName("--help.avi", clip, ok, ok, true);
  cases.AddName("-y", clip, ok, ok, true);
  cases.AddName("-", clip, ok, ok, true);
  cases.AddName("pipe:#.avi", clip, ok, ok, true);
  cases.AddName("concat:#.avi", clip, ok, ok, true);
  cases.AddName("#-日本語の動画.avi", clip, ok, ok);
  cases.AddName("#-café ñ.avi", clip, ok, ok);
  cases.AddName("#-🎬 clip.mp4", clip, ok, ok);
  cases.AddName("#-\xff\xfe not utf8.avi", clip, ok, ok);
  cases.AddName("#-$(touch pwned);`touch pwned2`|&.avi", clip, ok, ok);
  cases.AddName("#-100%d %s%n.avi", clip, ok, ok);
  cases.AddName("#-back\\slash.avi", clip, ok, ok);
  // A backslash just before the closing quote would swallow it.
  cases.AddName("#-ends.avi\\", clip, Outcome::Fails, ok);
  cases.AddName("#-new\nline.avi", clip, ok, ok);
  cases.AddName("#-tab\there.avi", clip, ok, ok);
  cases.AddName("#.part1.avi", clip, ok, ok);
  cases.AddName(".avi", clip, ok, ok);
  cases.AddName("#-" + std::string(232, 'n') + ".avi", clip, ok, ok);
  // No extension to give way: the output's name would pass the 255-byte limit.
  cases.AddName("#-" + std::string(250, 'n'), clip, Outcome::Fails, ok);

  const std::string bytes = ReadFile(clip);
  std::string id = cases.Id();
  const std::string deep = WriteDeep(folders.sources, 14, id + "-deep.avi", bytes);
  ASSERT_FALSE(deep.empty());
  cases.Add(deep, ok, ok, id);
  id = cases.Id();
  const std::string tooDeep = WriteDeep(folders.sources, 24, id + "-too-deep.avi", bytes);
  ASSERT_GT(tooDeep.size(), 4096u);
  cases.Add(tooDeep, Outcome::Fails, Outcome::Fails, id);
}

void AddSpecialFiles(Cases& cases, const CaseFolders& folders, const std::string& clip,
                     bool permissionsBind) {
  const fs::path& src = folders.sources;
  std::string id = cases.Id();
  fs::create_directory(cases.Named(id, "folder", "avi"));
  cases.Add(cases.Named(id, "folder", "avi"), Outcome::Fails, Outcome::Fails, id);
  if (permissionsBind) {
    id = cases.Id();
    fs::copy_file(clip, cases.Named(id, "unreadable", "avi"));
    fs::permissions(cases.Named(id, "unreadable", "avi"), fs::perms::none);
    cases.Add(cases.Named(id, "unreadable", "avi"), Outcome::Fails, Outcome::Fails, id);
  }
  id = cases.Id();
  ASSERT_EQ(mkfifo(cases.Named(id, "fifo", "avi").c_str(), 0644), 0);
  cases.Add(cases.Named(id, "fifo", "avi"), Outcome::Fails, Outcome::Fails, id);
  for (auto [target, what] : {std::pair{"/dev/zero", "link-to-zero"}, std::pair{"/dev/null", "link-to-null"},
                              std::pair{"/nonexistent/clip.avi", "dangling-link"}}) {
    id = cases.Id();
    fs::create_symlink(target, cases.Named(id, what, "avi"));
    cases.Add(cases.Named(id, what, "avi"), Outcome::Fails, Outcome::Fails, id);
  }
  id = cases.Id();
  fs::create_symlink(cases.Named(id, "loop", "avi"), cases.Named(id, "loop", "avi"));
  cases.Add(cases.Named(id, "loop", "avi"), Outcome::Fails, Outcome::Fails, id);
  id = cases.Id();
  fs::create_symlink(clip, cases.Named(id, "link-to-clip", "avi"));
  cases.Add(cases.Named(id, "link-to-clip", "avi"), Outcome::Converts, Outcome::Converts, id);

  // Outputs that are the source under another name: refused, the source untouched.
  id = cases.Id();
  const fs::path inOutput = folders.cliOut / (id + ".3gp");
  fs::copy_file(clip, inOutput);
  cases.Add(inOutput, Outcome::Fails, Outcome::Fails, id, inOutput.string());
  id = cases.Id();
  fs::copy_file(clip, src / (id + ".avi"));
  fs::create_hard_link(src / (id + ".avi"), folders.cliOut / (id + ".3gp"));
  cases.Add(src / (id + ".avi"), Outcome::Fails, Outcome::Fails, id,
            (folders.cliOut / (id + ".3gp")).string());
  id = cases.Id();
  fs::copy_file(clip, src / (id + ".avi"));
  fs::create_symlink(src / (id + ".avi"), folders.cliOut / (id + ".3gp"));
  cases.Add(src / (id + ".avi"), Outcome::Fails, Outcome::Fails, id,
            (folders.cliOut / (id + ".3gp")).string());
}

}  // namespace

std::vector<HostileCase> MakeHostileCases(const CaseFolders& folders, bool permissionsBind) {
  Cases cases(folders);
  AddBrokenContainers(cases, folders.work);
  AddOddMedia(cases, folders.work);
  AddRunaways(cases, folders.work);
  const std::string clip = (folders.work / "good.avi").string();
  AddNames(cases, folders, clip);
  AddSpecialFiles(cases, folders, clip, permissionsBind);
  return cases.Take();
}

}  // namespace vintrel::hostile
