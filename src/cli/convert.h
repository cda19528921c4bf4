// Converting the inputs of the command line, each on its own.
#pragma once

#include "cli_options.h"

namespace vidora::cli {

// Exit status: 0 when every input converted, 1 when any failed or was
// stopped, 2 for values the profile or the engine refuses.
int Convert(const TCliOptions& options);

}  // namespace vidora::cli
