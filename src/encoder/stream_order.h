// The last pass over a finished 3GP before it gets its name: the movie box moves in front of the
// media data, so a phone can play the file while it downloads, and the declarations the muxer
// guesses are replaced by what the streams really are. Works through the pending file itself,
// moving the media data in fixed-size pieces, so the file never has to fit in memory.
#pragma once

#include "container_facts.h"
#include "platform.h"

namespace conv {

// Throws MalformedBox when the file is not laid out as the muxer writes it, and std::system_error
// when the file cannot be read or written.
void PutInStreamingOrder(platform::PendingOutput& file, const ContainerFacts& facts);

}  // namespace conv
