// Brings decoded pictures of any size and format into (a part of) a YUV 4:2:0 picture: large
// reductions start with cheap block averages, full-range colours are converted.
#pragma once

#include <string>

#include "av_util.h"

namespace conv {

// A new YUV 4:2:0 picture; its contents are not set.
FramePtr NewPicture(int width, int height, const std::string& path);

class PictureScaler {
 public:
  // `path` is the file named in failures.
  explicit PictureScaler(std::string path) : path_(std::move(path)) {}

  // Scales `decoded` to the size of `target`, a YUV 4:2:0 picture of its own: the scaler may
  // write a few pixels past each line, into the padding.
  void ScaleInto(const AVFrame* decoded, AVFrame* target);

 private:
  void SetUp(const AVFrame* decoded, int width, int height);

  std::string path_;
  SwsPtr scaler_;
  FramePtr shrunk_[2];
  int key_[6] = {-1, -1, -1, -1, -1, -1};
};

}  // namespace conv
