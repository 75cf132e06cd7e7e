#include "picture_clock.h"

#include "levels/phone_levels.h"

namespace conv {
namespace {

// ITU-T H.263, 5.1.1: the picture start code is 22 bits, 0000 0000 0000 0000 1000 00, and the
// 8-bit TR follows it at once (5.1.2), so it spans the low 2 bits of the third byte and the high
// 6 of the fourth.
constexpr size_t kHeaderBytes = 4;

bool StartsWithPicture(const uint8_t* data, size_t size) {
  return data && size >= kHeaderBytes && data[0] == 0 && data[1] == 0 && (data[2] & 0xFC) == 0x80;
}

}  // namespace

int64_t PictureClockTicks(int64_t time, int unitNum, int unitDen) {
  using vintrel::levels::kPictureClockDen;
  using vintrel::levels::kPictureClockNum;
  // An output ends within hours (TimeLimits::kCeilingSeconds), so in any unit a frame rate uses
  // the products stay far inside 64 bits.
  const int64_t num = time * unitNum * kPictureClockDen;
  const int64_t den = int64_t{unitDen} * kPictureClockNum;
  const int64_t half = den / 2;
  return num >= 0 ? (num + half) / den : -((-num + half) / den);
}

bool StampTemporalReference(uint8_t* data, size_t size, int64_t ticks) {
  if (!StartsWithPicture(data, size)) return false;
  const auto tr = static_cast<uint8_t>(ticks & 0xFF);
  data[2] = static_cast<uint8_t>(0x80 | (tr >> 6));
  data[3] = static_cast<uint8_t>((tr << 2) | (data[3] & 0x03));
  return true;
}

int ReadTemporalReference(const uint8_t* data, size_t size) {
  if (!StartsWithPicture(data, size)) return -1;
  return ((data[2] & 0x03) << 6) | (data[3] >> 2);
}

}  // namespace conv
