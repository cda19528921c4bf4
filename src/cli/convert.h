// Converting the inputs of the command line, each on its own.
#pragma once

#include <string>

#include "cli_options.h"

namespace vidora {
class TConversionSession;
}

namespace vidora::cli {

// Exit status: 0 when every input converted, 1 when any failed or was
// stopped, 2 for values the profile or the engine refuses.
int Convert(const TCliOptions& options);

// Runs the session's jobs to the end of the run; the first stop signal asks
// them to finish their outputs. True when a stop signal came.
bool RunToEnd(TConversionSession& session, int jobs, bool subtitlesOn);
// Whether a stop signal came during this run.
bool StopRequested();
// A message for the user on the error output.
void Say(const std::string& message);
// The message about an input, named by it once: the engine's messages mostly name it already.
std::string Named(const std::string& input, const std::string& message);

}  // namespace vidora::cli
