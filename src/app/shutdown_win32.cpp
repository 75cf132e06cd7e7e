#include "app/shutdown.h"

namespace vintrel {

void CleanUpOnTermination(const TemporaryFiles&) {}

}  // namespace vintrel
