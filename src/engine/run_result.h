#pragma once

#include <string>

#include "engine/batch_planner.h"
#include "engine/batch_view.h"
#include "process/command_runner.h"

namespace vintrel {

// How one started run of a planned file ended: converted only when the encoder succeeded and
// its output is there; otherwise the first real cause ("Cancelled" when the batch was stopped,
// else the encoder's last words or its exit status).
FileResult JudgeRun(const PlannedFile& file, const ExitStatus& status, const std::string& outputs,
                    bool cancelled);

}  // namespace vintrel
