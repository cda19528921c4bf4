// Converting into files of at most a given size: one file (--size, or the
// profile's MaxFileSize), or numbered parts that each fit (--split).
#pragma once

#include <cstdint>

#include "cli_options.h"

namespace vidora {
class TfrmOption;
}

namespace vidora::cli {

// Each input on its own, in two passes (more when the first result runs
// over). Exit status as Convert's.
int ConvertFitting(const TCliOptions& options, TfrmOption& form, int64_t limit, bool split);

}  // namespace vidora::cli
