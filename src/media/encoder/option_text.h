// Option records and option text to engine settings, in the fixed order the
// engine's pending settings need.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "media/encoder/options.h"
#include "media/engine/ffmpeg.h"

namespace vidora {

using TOptionLines = std::vector<std::pair<std::string, std::string>>;

// Lines of name "=" value. The text is trimmed, line breaks normalised and
// every literal "<CRLF>" counts as a line break; names and values are kept as written.
TOptionLines ParseOptionText(const std::string& text);

TInputOptions InputOptionsFromText(const std::string& text);
TOutputOptions OutputOptionsFromText(const std::string& text);

// The option text of an input (inputMode) or an output. Names that belong to
// the per-stream table are left to it on the output side.
void ApplyExtOptions(TFFmpeg& task, const std::string& text, bool inputMode);
void ApplyInputOptions(TFFmpeg& task, const TInputOptions& options);

// The codec, preset, size and filter of each stream kind: the record's field
// (or the first value in the text) for the main streams, and a queue of the
// text's values for streams added after the file is opened.
class TStreamDefaults {
 public:
  explicit TStreamDefaults(const TOutputOptions& options);
  const std::string& Default(const std::string& kind) const;
  // The first queued value of that kind (removed from the queue), else the default.
  std::string Take(const std::string& kind);

 private:
  TOptionLines FDefaults;
  TOptionLines FQueue;
};

// Everything an output record contributes before its file is opened, but the hooks.
void ApplyOutputOptions(TFFmpeg& task, const TOutputOptions& options, TStreamDefaults& defaults);
// Further streams of the option text, after the output file is opened.
void AddOutputStreams(TFFmpeg& task, const std::string& text, TStreamDefaults& defaults);

}  // namespace vidora
