// Option holders: codec, container and scaler contexts that collect options
// by name until a task hands them to its real contexts.
#pragma once

#include <string>
#include <vector>

#include "media_headers.h"

namespace vidora {

constexpr int OptionMediaTypes = 5;  // video, audio, data, subtitle, attachment

struct TFFOptions {
  std::vector<std::string> opt_names;  // options set so far, in order
  AVCodecContext* avcodec_opts[OptionMediaTypes] = {};
  AVFormatContext* avformat_opts = nullptr;
  SwsContext* sws_opts = nullptr;
  // Options that only particular codecs or formats have ("preset" of
  // libx264, "movflags" of the MP4 family): kept by name until a real
  // context of that codec or format exists.
  AVDictionary* codec_private_opts = nullptr;
  AVDictionary* format_private_opts = nullptr;
};

void InitOptions(TFFOptions& options, int swsFlags);
void FreeOptions(TFFOptions& options);
// Sets the option in every holder that has it; false for an empty name or
// value, an unknown name, or a value the option refuses (which is logged).
bool SetOption(TFFOptions& options, const std::string& name, const std::string& value);
// Copies every option set so far whose flags include all of `flags` from the
// holder `source` to the real context `target`.
void ApplyOptions(const TFFOptions& options, void* target, void* source, int flags);
// Sets the kept codec-private (or format-private) options on the private data
// of a real codec (or format) context: those it has and whose flags include
// all of `flags`. Returns "name=value" of each one it refused.
std::vector<std::string> ApplyPrivateOptions(const TFFOptions& options, void* privateData, bool codec, int flags);
// The kept codec-private (or format-private) options that none of the
// private data of the real contexts has, as "name=value".
std::vector<std::string> UnclaimedPrivateOptions(const TFFOptions& options, const std::vector<void*>& privateData,
                                                 bool codec);
// Whether one of the holders has an option of that name (as SetOption looks for it).
bool HolderOption(const TFFOptions& options, const std::string& name);
// Whether any holder, codec or format has an option of that name.
bool KnownOption(const TFFOptions& options, const std::string& name);

}  // namespace vidora
