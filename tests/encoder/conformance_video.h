// The video side of the conformance reader: picture headers read from the samples, the level
// tables and the two buffer models.
#pragma once

#include <string>
#include <vector>

#include "conformance_reader.h"

namespace convtest {

// Fills size, level and the pictures' own times; throws Unreadable when a header is wrong.
VideoFacts ReadVideoFacts(const Bytes& file, const TrackBoxes& track);

// ITU-T H.263 Table 1: the least BPPmaxKb a decoder has, by picture size.
long BppMaxBits(int width, int height);

// The first picture (index) that overflows the Annex B buffer, or -1.
long H263BufferOverflow(const std::vector<std::uint32_t>& sizes, const std::vector<double>& times,
                        double channel, long rmax, long bppMaxBits);
// The first VOP (index) not wholly in the VBV at its decoding time, or -1.
long Mpeg4BufferUnderflow(const std::vector<std::uint32_t>& sizes, const std::vector<double>& times,
                          long rate, long bufferBits);

}  // namespace convtest
