// Outputs are written under a hidden temporary name in their own folder and
// take their name only once finished, so that a killed run never leaves an
// unplayable file under a name a user (or the next run) takes for a result.
#pragma once

#include <string>

namespace vidora {

// Creates an empty hidden file beside `path` (same folder, so the rename is
// atomic) and returns its path; empty with errno set when it cannot. Our
// temporary files there older than a day, left by runs that were killed,
// are removed first.
std::string CreateTemporaryOutput(const std::string& path);
// Whether a file name is one CreateTemporaryOutput makes.
bool IsTemporaryOutputName(const std::string& name);

}  // namespace vidora
