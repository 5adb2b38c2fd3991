// The user's request to stop a long-running command (play, serve): Ctrl+C or SIGTERM on Linux;
// Ctrl+C, Ctrl+Break or closing the console window on Windows. Caught, it does not end the
// process: it is noted, the command finishes the step in hand and ends by itself.
#pragma once

namespace velta::cli {

// From this call on the requests above are caught (calling it again changes nothing).
void CatchStopSignals();
// True once a request has arrived since CatchStopSignals; any thread may ask.
bool StopSignalled();

}  // namespace velta::cli
