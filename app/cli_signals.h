#pragma once
// SIGINT and SIGTERM ask a batch run to stop between folders (cron and systemd stop jobs with
// SIGTERM), so that pages already written stay whole and no temporary file is left behind.

#include "engine/run_control.h"

namespace veldra {

// From here on SIGINT and SIGTERM call control.RequestStop(). A second such signal ends the
// program at once, as if no handler were set. control must outlive the program's run.
void StopOnSignals(RunControl& control);

// The first stop signal received (SIGINT or SIGTERM), or 0 when none came.
int StopSignalReceived();

}  // namespace veldra
