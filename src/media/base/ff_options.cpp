#include "ff_options.h"

#include "bindings.h"
#include "logger.h"
#include "text_convert.h"

namespace vidora {

namespace {

// Option flags that say an option belongs to a media type.
constexpr int MediaTypeMask[OptionMediaTypes] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                                 AV_OPT_FLAG_SUBTITLE_PARAM, 0};

const AVOption* Find(void* holder, const char* name, int mask = 0) {
  return avutil.av_opt_find(holder, name, nullptr, mask, 0);
}

// Whether any codec (or format) has a private option of that name; with
// `textOnly`, a text option, which takes any value.
bool HasPrivateOption(const AVClass* base, const char* name, bool textOnly) {
  void* iterator = nullptr;
  while (const AVClass* child = avutil.av_opt_child_class_iterate(base, &iterator)) {
    const AVOption* option = avutil.av_opt_find(&child, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    if (option && (!textOnly || option->type == AV_OPT_TYPE_STRING)) return true;
  }
  return false;
}

bool DebugIsSet(void* holder) {
  int64_t debug = 0;
  return avutil.av_opt_get_int(holder, "debug", 0, &debug) >= 0 && debug != 0;
}

// Keeps an option for whichever codec (or format) turns out to have it;
// `textOnly` keeps it only where it is a text option, which takes any value.
bool KeepPrivateOption(TFFOptions& options, const std::string& name, const std::string& value, bool textOnly) {
  for (bool codec : {true, false}) {
    const AVClass* base = codec ? avcodec.avcodec_get_class() : avformat.avformat_get_class();
    if (!HasPrivateOption(base, name.c_str(), textOnly)) continue;
    avutil.av_dict_set(codec ? &options.codec_private_opts : &options.format_private_opts, name.c_str(),
                       value.c_str(), 0);
    options.opt_names.push_back(name);
    return true;
  }
  return false;
}

}  // namespace

void InitOptions(TFFOptions& options, int swsFlags) {
  for (int type = 0; type < OptionMediaTypes; ++type) {
    options.avcodec_opts[type] = avcodec.avcodec_alloc_context3(nullptr);
    if (options.avcodec_opts[type]) options.avcodec_opts[type]->codec_type = static_cast<AVMediaType>(type);
  }
  options.avformat_opts = avformat.avformat_alloc_context();
  options.sws_opts = swscale.sws_alloc_context();
  if (options.sws_opts) {
    for (const char* size : {"srcw", "srch", "dstw", "dsth"}) avutil.av_opt_set_int(options.sws_opts, size, 16, 0);
    avutil.av_opt_set_int(options.sws_opts, "sws_flags", swsFlags, 0);
  }
  options.opt_names.clear();
}

void FreeOptions(TFFOptions& options) {
  // Safe without the libraries as long as nothing was made.
  for (AVCodecContext*& holder : options.avcodec_opts)
    if (holder) avcodec.avcodec_free_context(&holder);
  if (options.avformat_opts) avformat.avformat_free_context(options.avformat_opts);
  options.avformat_opts = nullptr;
  if (options.sws_opts) swscale.sws_freeContext(options.sws_opts);
  options.sws_opts = nullptr;
  for (AVDictionary** kept : {&options.codec_private_opts, &options.format_private_opts})
    if (*kept) avutil.av_dict_free(kept);
  options.opt_names.clear();
}

bool SetOption(TFFOptions& options, const std::string& name, const std::string& value) {
  if (!options.avcodec_opts[0] || Trim(name).empty() || Trim(value).empty()) return false;
  const char* key = name.c_str();
  const AVOption* found = nullptr;
  int result = 0;
  // A codec option goes to every media type it applies to.
  for (int type = 0; type < OptionMediaTypes && result >= 0; ++type) {
    const AVOption* option = Find(options.avcodec_opts[0], key, MediaTypeMask[type]);
    if (!option) continue;
    found = option;
    result = avutil.av_opt_set(options.avcodec_opts[type], key, value.c_str(), 0);
  }
  for (void* holder : {static_cast<void*>(options.avformat_opts), static_cast<void*>(options.sws_opts)}) {
    if (found) break;
    if ((found = Find(holder, key))) result = avutil.av_opt_set(holder, key, value.c_str(), 0);
  }
  // "ab", "vb", "sfoo": the option without its media-type letter.
  if (!found && name.size() > 1) {
    int type = name[0] == 'a' ? AVMEDIA_TYPE_AUDIO
               : name[0] == 'v' ? AVMEDIA_TYPE_VIDEO
               : name[0] == 's' ? AVMEDIA_TYPE_SUBTITLE
                                : -1;
    if (type >= 0 && (found = Find(options.avcodec_opts[type], key + 1)))
      result = avutil.av_opt_set(options.avcodec_opts[type], key + 1, value.c_str(), 0);
  }
  // Checked against the real codec or format when one is opened. A value
  // the generic option refuses may suit a codec's own option of that name
  // ("profile=baseline" is libx264's, not the generic numeric profile).
  if (!found) return KeepPrivateOption(options, name, value, false);
  if (result < 0 && KeepPrivateOption(options, name, value, true)) return true;
  if (result < 0) {
    avutil.av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", value.c_str(), key);
    return false;
  }
  options.opt_names.push_back(found->name);
  if (DebugIsSet(options.avcodec_opts[0]) || DebugIsSet(options.avformat_opts))
    FFLogger().SetLogLevel(TLogLevel::llDebug);
  return true;
}

void ApplyOptions(const TFFOptions& options, void* target, void* source, int flags) {
  for (const std::string& name : options.opt_names) {
    const AVOption* option = avutil.av_opt_find(source, name.c_str(), nullptr, 0, 0);
    if (!option || (option->flags & flags) != flags) continue;
    uint8_t* value = nullptr;
    if (avutil.av_opt_get(source, name.c_str(), 0, &value) >= 0 && value && *value)
      avutil.av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(value), 0);
    avutil.av_free(value);
  }
}

std::vector<std::string> ApplyPrivateOptions(const TFFOptions& options, void* privateData, bool codec, int flags) {
  std::vector<std::string> refused;
  const AVDictionary* kept = codec ? options.codec_private_opts : options.format_private_opts;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = avutil.av_dict_get(kept, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    const AVOption* option = privateData ? avutil.av_opt_find(privateData, entry->key, nullptr, 0, 0) : nullptr;
    if (!option || (option->flags & flags) != flags) continue;
    if (avutil.av_opt_set(privateData, entry->key, entry->value, 0) < 0)
      refused.push_back(std::string(entry->key) + "=" + entry->value);
  }
  return refused;
}

std::vector<std::string> UnclaimedPrivateOptions(const TFFOptions& options, const std::vector<void*>& privateData,
                                                 bool codec) {
  std::vector<std::string> unclaimed;
  const AVDictionary* kept = codec ? options.codec_private_opts : options.format_private_opts;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = avutil.av_dict_get(kept, "", entry, AV_DICT_IGNORE_SUFFIX))) {
    bool claimed = false;
    for (void* data : privateData) claimed |= data && avutil.av_opt_find(data, entry->key, nullptr, 0, 0);
    if (!claimed) unclaimed.push_back(std::string(entry->key) + "=" + entry->value);
  }
  return unclaimed;
}

bool HolderOption(const TFFOptions& options, const std::string& name) {
  const char* key = name.c_str();
  if (Find(options.avcodec_opts[0], key) || Find(options.avformat_opts, key) || Find(options.sws_opts, key)) return true;
  return name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's') &&
         Find(options.avcodec_opts[0], key + 1);
}

bool KnownOption(const TFFOptions& options, const std::string& name) {
  return HolderOption(options, name) || HasPrivateOption(avcodec.avcodec_get_class(), name.c_str(), false) ||
         HasPrivateOption(avformat.avformat_get_class(), name.c_str(), false);
}

}  // namespace vidora
