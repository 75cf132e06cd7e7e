// H.263 times its pictures by the temporal reference (TR) in each picture header: ticks of the
// picture clock (1001/30000 s) modulo 256. FFmpeg's encoder counts the pictures it codes instead,
// so once the rate control leaves slots out, a decoder that times by TR would run ahead of the
// sound; the TR is written again from the packet's own time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace conv {

// The picture clock's tick nearest to `time` units of `unitNum`/`unitDen` seconds.
int64_t PictureClockTicks(int64_t time, int unitNum, int unitDen);

// Writes `ticks` modulo 256 into the TR of the H.263 picture that `data` starts with. False,
// leaving the data as it is, when it does not start with a picture start code.
bool StampTemporalReference(uint8_t* data, size_t size, int64_t ticks);

// The TR of the picture that `data` starts with, or -1.
int ReadTemporalReference(const uint8_t* data, size_t size);

}  // namespace conv
