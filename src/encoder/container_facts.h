// What the finished file's boxes must say of its video, known only once it is coded.
#pragma once

namespace conv {

struct ContainerFacts {
  int h263Level = 10;          // the d263 box's H263Level
  bool framesDropped = false;  // some output slots got no picture of their own
};

}  // namespace conv
