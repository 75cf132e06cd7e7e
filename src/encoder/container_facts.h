// What the encoder knows about its streams that the 3GP muxer cannot see, handed to the pass that
// finishes the file (stream_order.h).
#pragma once

namespace conv {

struct ContainerFacts {
  // The H.263 level the stream is coded for (ITU-T H.263 Annex X, Table X.2: 10, 20, 30, 40, 45,
  // ...); written into the d263 box, where the muxer always writes 10.
  int h263Level = 10;
  // Whether the rate control left out pictures, so the video's samples are not all one frame long.
  bool framesDropped = false;
};

}  // namespace conv
