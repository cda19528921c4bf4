// One conversion task: its settings, its files and its run.
//
// Options are pending settings: they gather in the task and are consumed by
// the next file that is opened. The code lives in files by stage:
// context.cpp (defaults and setters), options.cpp (the option language),
// presets.cpp and targets.cpp, codec_choice.cpp, open_input.cpp,
// open_output.cpp, output_streams.cpp, cleanup.cpp; for the run
// convert_thread.cpp, setup.cpp, filter_graph.cpp, loop.cpp, output_packet.cpp,
// video_out.cpp, audio_out.cpp (with amrnb_encoder.cpp), subtitle_out.cpp,
// write_frame.cpp, progress.cpp; hooks.cpp and frame_hook.cpp.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "media/base/av_owners.h"
#include "media/base/event.h"
#include "media/base/ff_options.h"
#include "media/base/logger.h"
#include "media/base/media_headers.h"
#include "media/engine/ffmpeg_exception.h"
#include "media/base/previewer.h"
#include "media/engine/frame_hook.h"
#include "media/engine/hooks.h"
#include "media/engine/output_queue.h"
#include "media/base/rgb_convert.h"
#include "media/engine/run_records.h"

namespace vidora {

inline constexpr int MAX_FILES = 20;
inline constexpr int MAX_STREAMS = 20;
inline constexpr int MAX_STREAM_MAPS = 400;
inline constexpr int MAX_META_DATA_MAPS = 20;
// The rate-control buffer of a constrained bit rate, in seconds of that rate.
inline constexpr int RateBufferSeconds = 2;
// How many of its slots a picture may be behind or ahead of a constant-rate
// output's clock before it is dropped or repeated.
inline constexpr double SyncSlack = 1.1;

struct TStreamMap {
  int file_index = 0;
  int stream_index = 0;
  int sync_file_index = 0;
  int sync_stream_index = 0;
};

struct TMetaDataMap {
  int out_file = 0;
  int in_file = 0;
};

struct TBitstreamFilterItem {
  const AVBitStreamFilter* filter = nullptr;
  std::string args;  // the text after "=", handed to the filter as its options
};
using TBitstreamFilterChain = std::vector<TBitstreamFilterItem>;

// The codec side of one stream of an opened input file. The container keeps
// only parameters; the engine owns the decoder context made from them.
struct TInputStreamCodec {
  TCodecContextPtr codec;
  const AVCodec* decoder = nullptr;  // chosen by name; none = by codec id
  int64_t frame_count = 0;  // the container's count, or the packets counted when it has none
};

struct TInputFile {
  TInputContextPtr ctx;
  std::string file_name;  // as the user gave it
  AVIOContext* io = nullptr;  // our own I/O for "unicode:utf8:" names, closed after the context
  std::vector<TInputStreamCodec> streams;
  int64_t ts_offset = 0;  // microseconds added to every timestamp read

  TInputFile() = default;
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;
};

// The codec side of one stream of an output file: the encoder context the
// engine owns until the run opens it.
struct TOutputStreamCodec {
  AVStream* st = nullptr;
  TCodecContextPtr codec;
  const AVCodec* encoder = nullptr;
  bool stream_copy = false;
  bool size_from_input = false;  // no size was given: the (upright) input's
  // AMR-NB through libopencore-amrnb, for a libavcodec without the encoder.
  bool opencore_amrnb = false;
  TBitstreamFilterChain bitstream_filters;

  TOutputStreamCodec() = default;
  ~TOutputStreamCodec();
  TOutputStreamCodec(TOutputStreamCodec&&) = default;
  TOutputStreamCodec& operator=(TOutputStreamCodec&&) = default;
};

struct TOutputFile {
  TOutputContextPtr ctx;
  std::string file_name;  // as the user gave it
  // The local file it stands for, and the temporary file beside it that is
  // made when the run starts and written until the output is finished; both
  // empty for what is not a local file (a device, a pipe, a client's stream,
  // a network address).
  std::string created_file;
  std::string temp_file;
  int64_t packets = 0;    // written to it
  bool finished = false;  // its trailer is written
  std::vector<TOutputStreamCodec> streams;
  TDictionaryPtr mux_opts;  // handed to the muxer with the header

  TOutputFile() = default;
  ~TOutputFile() { Close(); }
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  // Frees the encoder contexts and the container, and closes the file's I/O.
  void Close();
};

// Every setting of a task, with its default; InitDefaults restores them all.
struct TFFmpegSettings {
  // Tables.
  double Finput_files_ts_scale[MAX_FILES][MAX_STREAMS] = {};
  std::vector<TStreamMap> Fstream_maps;
  std::vector<TMetaDataMap> Fmeta_data_maps;
  int Fstreamid_map[MAX_STREAMS] = {};
  std::string Flast_asked_format;

  // Video.
  int Fframe_width = 0;
  int Fframe_height = 0;
  float Fframe_aspect_ratio = 0;
  int Fframe_pix_fmt = -1;
  int Faudio_sample_fmt = -1;
  int Fframe_topBand = 0;
  int Fframe_bottomBand = 0;
  int Fframe_leftBand = 0;
  int Fframe_rightBand = 0;
  int Fmax_frames[4] = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
  AVRational Fframe_rate{0, 0};
  // Whether the size and rate were given as options rather than taken from the last input.
  bool Fframe_size_given = false;
  bool Fframe_rate_given = false;
  bool Fvideo_bit_rate_given = false;
  bool Fvideo_rate_control_given = false;  // a tolerance, maximum rate or buffer size
  float Fvideo_qscale = 0;
  std::vector<uint16_t> Fintra_matrix;  // empty: none
  std::vector<uint16_t> Finter_matrix;
  std::string Fvideo_rc_override_string;
  bool Fvideo_disable = false;
  int Fvideo_discard = 0;
  std::string Fvideo_codec_name;
  uint32_t Fvideo_codec_tag = 0;
  std::string Fvideo_language;
  bool Fsame_quality = false;
  int Fdo_deinterlace = -1;  // -1: pictures the decoder marks interlaced, 0: never, 1: every picture
  bool Fautorotate = true;  // turn pictures upright by the input's display rotation
  bool Ffit_pad = false;    // keep the picture's shape inside the frame size with black bars
  int Ftop_field_first = -1;
  int Fme_threshold = 0;
  int Fintra_dc_precision = 8;
  bool Floop_input = false;
  int Floop_output = -1;
  bool Fqp_hist = false;
  std::string Fvfilters;
  bool FEnableFilter = false;
  bool Fintra_only = false;

  // Audio.
  int Faudio_sample_rate = 44100;
  int64_t Fchannel_layout = 0;
  float Faudio_qscale = -99999.0f;
  bool Faudio_disable = false;
  int Faudio_channels = 2;
  std::string Faudio_codec_name;
  uint32_t Faudio_codec_tag = 0;
  std::string Faudio_language;

  // Subtitles.
  bool Fsubtitle_disable = false;
  std::string Fsubtitle_codec_name;
  std::string Fsubtitle_language;
  uint32_t Fsubtitle_codec_tag = 0;

  // Muxing and time.
  float Fmux_preload = 0.5f;
  float Fmux_max_delay = 0.7f;
  int64_t Frecording_time = INT64_MAX;
  int64_t Fstart_time = 0;
  int64_t Frecording_timestamp = 0;
  int64_t Finput_ts_offset = 0;
  std::vector<std::pair<std::string, std::string>> Fmetadata;

  // Run flags.
  int Fdo_benchmark = 0;
  bool Fdo_hex_dump = false;
  bool Fdo_pkt_dump = false;
  bool Fdo_psnr = false;
  int Fdo_pass = 0;
  std::string Fpass_logfilename_prefix;
  int Faudio_stream_copy = 0;
  int Fvideo_stream_copy = 0;
  int Fsubtitle_stream_copy = 0;
  int Fvideo_sync_method = -1;
  int Faudio_sync_method = 0;
  float Faudio_drift_threshold = 0.1f;
  bool Fcopy_ts = false;
  bool Fopt_shortest = false;
  int Fvideo_global_header = 0;
  std::string Fvstats_filename;
  FILE* Fvstats_file = nullptr;
  int Fopt_programid = 0;
  int Fcopy_initial_nonkeyframes = 0;
  bool Frate_emu = false;
  int Fvideo_channel = 0;
  std::string Fvideo_standard;
  int Faudio_volume = 256;
  int Fexit_on_error = 0;
  bool Fusing_stdin = false;
  bool Fusing_vhook = false;
  int Fverbose = 1;
  int Fthread_count = 0;  // 0: the libraries choose by core count
  bool Ffast_decode = true;  // spend no decoding on detail a much smaller output picture cannot show

  // Run-time counters and tuning.
  int64_t Fvideo_size = 0;
  int64_t Faudio_size = 0;
  int64_t Fextra_size = 0;
  int Fnb_frames_dup = 0;
  int Fnb_frames_drop = 0;
  bool Finput_sync = false;
  int64_t Flimit_filesize = 0;
  bool Fforce_fps = false;
  bool Fpgmyuv_compatibility_hack = false;
  float Fdts_delta_threshold = 10;
  int Fsws_flags = SWS_BICUBIC;
  TBitstreamFilterChain Fvideo_bitstream_filters;
  TBitstreamFilterChain Faudio_bitstream_filters;
  TBitstreamFilterChain Fsubtitle_bitstream_filters;

};

// Progress of a run: the input file the last packet came from (-1 in the
// final report), frames written to the first video stream (-1 without
// video), frames per second (-1 without video), quantiser of the last coded
// picture (-1 for stream copy or without video), bit rate in kbit/s, bytes of
// the first output file, output time written and the expected total (µs; -1
// when unknown).
using TProgressEvent = std::function<void(const void* sender, int fileIndex, int frameNumber, int fps, float quality,
                                          float bitRate, int64_t currentSize, int64_t currentDuration,
                                          int64_t totalDuration)>;
using TTerminateEvent = std::function<void(const void* sender)>;

// Priority of a task's worker thread (its nice value on Linux; raising it
// above normal needs the privilege and is otherwise left as it is).
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TCustomFFmpeg : protected TFFmpegSettings {
 public:
  TCustomFFmpeg();
  virtual ~TCustomFFmpeg();
  TCustomFFmpeg(const TCustomFFmpeg&) = delete;
  TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

  // Life cycle.
  void InitDefaults();
  void Reset();
  void Cleanup();

  // The option language.
  // False when no handler nor option holder takes the option (unknown name or refused value).
  bool ParseOption(const std::string& name, const std::string& value);
  bool SetNumericOption(const std::string& name, const std::string& value);
  void AddMetadata(const std::string& key, const std::string& value);
  void ApplyPreset(const std::string& name, const std::string& value);
  void ApplyTarget(const std::string& type, const std::string& fallbackNorm);

  // Direct setters used by the encoder component.
  void SetForceFormat(const std::string& format);
  void SetStartTime(int64_t microseconds);
  void SetRecordingTime(int64_t microseconds);
  void SetProgramID(int id);
  void SetAudioVolume(int volume);
  void SetAudioSyncMethod(int method) { Faudio_sync_method = method; }
  void SetVideoSyncMethod(int method) { Fvideo_sync_method = method; }
  void SetMuxMaxDelay(float seconds);
  void SetMuxPreload(float seconds);
  // Seconds since 1970 UTC, the creation time of the next output file.
  void SetRecordingTimestamp(int64_t seconds) { Frecording_timestamp = seconds; }

  // The run. StartConvert returns false when a run is under way, the task
  // has already ended, or it failed at once (FatalMessage says why); with
  // useThread false the whole run happens before it returns.
  bool StartConvert(bool useThread, TThreadPriority priority = tpNormal);
  void Pause();
  void Resume();
  // Asks the run to end at its next safe point; with waitForStop returns when
  // it has ended, serving the main thread's pending calls meanwhile.
  void Stop(bool waitForStop);
  void StopOrTerminate(bool waitForStop);
  void SetOnProgress(TProgressEvent handler) { FOnProgress = std::move(handler); }
  void SetOnTerminate(TTerminateEvent handler) { FOnTerminate = std::move(handler); }
  // Hooks (hooks.cpp). Assign the events before the task starts.
  void SetOnInputVideoHook(TVideoHookEvent handler) { FOnInputVideoHook = std::move(handler); }
  void SetOnOutputVideoHook(TVideoHookEvent handler) { FOnOutputVideoHook = std::move(handler); }
  void SetOnPreviewBitmap(TPreviewBitmapEvent handler) { FOnPreviewBitmap = std::move(handler); }
  void SetOnAudioHook(TAudioHookEvent handler) { FOnAudioHook = std::move(handler); }
  // Safe while the task runs; removing phPreview closes the preview window.
  void SetPostHooks(TPostHooks hooks);
  TPostHooks PostHooks() const;
  void SetVideoHookBitsPixel(int bitsPixel);
  int VideoHookBitsPixel() const { return FVideoHookBitsPixel; }
  // Makes the preview window on the first phPreview picture.
  void SetPreviewerFactory(std::function<std::unique_ptr<IPreviewer>()> factory) {
    FPreviewerFactory = std::move(factory);
  }
  const TRGBConvertContext& InputHookContext() const { return FInputRGB; }

  bool Converting() const { return FConverting; }
  bool Paused() const { return !FRunEvent.IsSet(); }
  bool Finished() const { return FFinished; }
  bool Terminated() const { return FTerminated; }
  bool FatalException() const { return FFatalException; }
  const std::string& FatalMessage() const { return FFatalMessage; }
  // What a finished output lacks: a stream of it that nothing could be
  // decoded for, while the others were written. Empty when it lacks nothing.
  const std::string& Shortfall() const { return FShortfall; }
  // Where the data of a file cut short ends, in microseconds of the film
  // from its start; -1 when no input was cut short.
  int64_t CutShortAt() const { return FCutShortAt; }
  // What was changed from the options given, so that the output can play:
  // one line each, for the user.
  const std::vector<std::string>& Adjustments() const { return FAdjustments; }
  int FramesDuplicated() const { return Fnb_frames_dup; }
  int FramesDropped() const { return Fnb_frames_drop; }

  // Files.
  bool OpenInputFile(const std::string& fileName);
  int OpenOutputFile(const std::string& fileName, bool join);
  // Whether the open inputs (in join mode only the first) hold video, audio, subtitles.
  void check_audio_video_sub_inputs(bool& has_video, bool& has_audio, bool& has_subtitle) const;
  // The kinds of stream the inputs hold (a cover picture is no video); `firstOnly` looks at the first input alone.
  void InputKinds(bool firstOnly, bool& has_video, bool& has_audio, bool& has_subtitle) const;

  int nb_input_files() const { return static_cast<int>(Finput_files.size()); }
  int nb_output_files() const { return static_cast<int>(Foutput_files.size()); }
  const TInputFile& InputFile(int index) const { return *Finput_files[index]; }
  const TOutputFile& OutputFile(int index) const { return *Foutput_files[index]; }
  bool JoinMode() const { return FJoinMode; }
  int64_t TotalOutputDuration() const { return FTotalOutputDuration; }
  const std::string& LastErrMsg() const { return FLastErrMsg; }
  // Whether the last OpenOutputFile failed on a value the user gave (a codec,
  // a size, a format): a usage error rather than a failure of the file.
  bool LastErrorIsOption() const { return FLastErrorIsOption; }
  const TFFOptions& Options() const { return FOptions; }
  const TFrameHookChain& FrameHooks() const { return FFrameHooks; }

 protected:
  void Log(TLogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // open_input.cpp: the steps of OpenInputFile. A file the engine cannot take
  // is refused by an exception OpenInputFile turns into false and LastErrMsg.
  using TInputDecoders = std::array<const AVCodec*, 3>;  // chosen by name: video, audio, subtitles
  const AVInputFormat* TakeAskedInputFormat();
  void ClearDecoderNames();
  TInputDecoders NewInputContext(TInputFile& file);
  void OpenDemuxer(TInputFile& file, const AVInputFormat* format);
  void SelectProgram(TInputFile& file);
  void FindCodecParameters(TInputFile& file);
  int64_t SeekToStartTime(TInputFile& file);
  void AddInputStreams(TInputFile& file, const TInputDecoders& decoders);
  void TakeVideoSettings(const AVStream* st, AVCodecContext* dec);
  void TakeAudioSettings(AVCodecContext* dec);

  // codec_choice.cpp
  bool CheckCodecName(const std::string& name, AVMediaType type, bool encoder, const AVCodec*& codec);
  int FitPixelFormat(const AVCodec* codec, int pixFmt) const;
  AVSampleFormat FitSampleFormat(const AVCodec* codec, int sampleFmt) const;
  int FitSampleRate(const AVCodec* codec, int sampleRate);
  // The value of the zero-ended list nearest to the request (the first of
  // equally near ones); a different one is logged as "Requested <what> unsupported ...".
  int FitToSupported(const char* what, const int* supported, int requested);

  // output_streams.cpp
  void new_video_stream(TOutputFile& file);
  void new_audio_stream(TOutputFile& file);
  void new_subtitle_stream(TOutputFile& file);
  void AddOutputStream(AVMediaType type);
  void ParseRateControlOverride(AVCodecContext* enc);
  // Holds a given bit rate with the rate-control buffer when no tolerance is given.
  void ConstrainBitRate(AVCodecContext* enc);
  TOutputStreamCodec& AddStream(TOutputFile& file, const AVCodec* codec, AVMediaType type,
                                TBitstreamFilterChain& pendingFilters, uint32_t tag);
  const AVCodec* GuessEncoder(AVFormatContext* oc, AVMediaType type, AVCodecID& id);
  [[noreturn]] void RaiseNoEncoder(AVFormatContext* oc, AVCodecID id);
  const AVCodec* ChooseAudioEncoder(AVFormatContext* oc, bool& opencore);

  // options.cpp helpers
  void SetCodecChoice(AVMediaType type, const std::string& value);
  void AddBitstreamFilter(char kind, const std::string& value);
  void ParseStreamMap(const std::string& value);
  void ParseMetaDataMap(const std::string& value);
  void ParseMatrix(std::vector<uint16_t>& matrix, const std::string& value);
  void ParseCrop(int& band, int& dimension, int value, bool vertical);
  void ParseStreamId(const std::string& name, const std::string& value);
  void ParseItsScale(const std::string& value);
  void ParseBitRate(const std::string& name, const std::string& value);
  void ParseAspect(const std::string& value);
  void ParsePixelFormat(const std::string& value);
  void ParseSampleFormat(const std::string& value);
  void ParseFormat(const std::string& value);
  void ListPixelFormats();
  void ListSampleFormats();
  int64_t ParseTime(const std::string& name, const std::string& value, bool duration);

  // The run, in files by stage: convert_thread.cpp, setup.cpp, filter_graph.cpp,
  // loop.cpp, output_packet.cpp, video_out.cpp, audio_out.cpp,
  // subtitle_out.cpp, write_frame.cpp, progress.cpp.
  // False when the terminate handler destroyed the task: nothing of it is
  // left to touch.
  bool DoConvert();
  // Marks the task converting unless it already is or has ended. Whoever
  // claims the task delivers its end, so each run ends exactly once.
  bool ClaimRun();
  bool DoTerminate();  // false as DoConvert
  // Joins the run's thread; from that thread itself (the terminate handler
  // destroying the task) leaves it to be joined from outside.
  void EndThread();
  void WaitWhilePaused() { FRunEvent.Wait(); }
  void Transcode();
  // output_thread.cpp: whether the output runs on the run's thread beside a
  // thread that reads and decodes, and that running.
  bool OutputRunsBeside() const;
  void DecodeBesideOutput(std::string& brokeOff);
  bool OutputAbandoned() const;
  // Reads and decodes to the end, handing on what comes out.
  void Decode(std::string& brokeOff);
  TOutputJob Job(TOutputJob::TKind kind, TAVInputStream& ist) const;
  // Done at once, or queued for the output's thread.
  void Output(TOutputJob job);
  void RunOutputJob(TOutputJob& job);
  // A decoded picture or samples: hooks, filter graph, encoders.
  void OutputDecoded(TAVInputStream& ist, AVFrame* frame);
  void SetUpRun();
  void BuildInputRecords();
  void BuildOutputRecords();
  TAVInputStream* FindSource(const TAVOutputStream& ost, int part);
  void PrepareStreamCopy(TAVOutputStream& ost, TAVInputStream& ist);
  void PrepareVideoEncoding(TAVOutputStream& ost, TAVInputStream& ist);
  void OpenTwoPassLog(TAVOutputStream& ost, int index);
  void OpenEncoders();
  void PrepareSubtitleEncoder(TAVOutputStream& ost);
  // fast_decode.cpp: sets up the decoders of sources that are shrunk a lot.
  void PlanFastDecoding();
  void PlanShrunkDecoding(TAVInputStream& ist);
  void PlanSkippedPictures(TAVInputStream& ist);
  // Whether no output shows the picture the packet starts (fast_decode.cpp).
  bool PictureUnseen(TAVInputStream& ist, const AVPacket& pkt);
  void OpenDecoders();
  void CopyMetadataMaps();
  // Makes the local output files (their temporary names) and opens them.
  void OpenLocalOutputs();
  void WriteHeaders();
  void OpenBitstreamFilters();
  void LogStreamMapping();
  // What the source's pictures need to be upright, progressive and of their shape.
  TPictureShaping PictureShaping(const TAVOutputStream& ost, const TAVInputStream& ist,
                                 const TDecodedForm& form) const;
  // Builds the graph anew with deinterlacing at the first picture marked interlaced.
  void DeinterlaceFromNowOn(TAVInputStream& ist, const AVFrame* frame);
  void ConfigureFilterGraph(TAVOutputStream& ost, TAVInputStream& ist, const TPictureShaping& shaping,
                            const TDecodedForm& form);
  // One decoded picture through the graph to the encoders; none: the stream ended.
  void FilterPicture(TAVInputStream& ist, AVFrame* frame);
  void FreeFilterGraph();
  void CloseCodecs();
  void ReleaseRun();
  int ChooseInputFile(bool* noPacket);
  bool OutputSizeLimitReached() const;
  // A read that failed ends its file; false when the run ends with it.
  bool EndInputFile(int fileIndex, std::string& brokeOff);
  // Whether the packet reached the decoders or the output.
  bool HandOnPacket(int fileIndex, AVPacket* pkt);
  // The file's offset and the stream's time scale, from file time to the run's.
  void ShiftToRunTime(int fileIndex, const TAVInputStream& ist, AVPacket* pkt);
  // Formats that declare discontinuities: a jump in the stream's timestamps is taken out.
  void AbsorbTimestampJump(int fileIndex, const TAVInputStream& ist, AVPacket* pkt);
  void FinishRun(const std::string& brokeOff);
  // How much of its stated length a local file lacks, in microseconds; 0 when it is whole.
  int64_t MissingLength(int fileIndex) const;
  // One line for each input stream whose packets were refused, after the library's own lines.
  void ReportDecodeErrors();
  void SwitchJoinPart(int part);
  void WriteTrailers();
  // Makes what the finished file declares of its streams match what they hold.
  void CorrectDeclarations(int fileIndex, const TOutputFile& file);
  // The input of an output file that received no packet; empty when each received some.
  std::string EmptyOutputSource() const;
  std::string EmptyStreams() const;
  // How far into the input file the reading got, microseconds from its start.
  int64_t InputTimeReached(int fileIndex) const;
  int output_packet(TAVInputStream& ist, const AVPacket* pkt, bool drainEncoders);
  int DecodePacket(TAVInputStream& ist, const AVPacket* pkt);
  void HandleDecodedFrame(TAVInputStream& ist, AVFrame* frame);
  void CopyPacket(TAVOutputStream& ost, TAVInputStream& ist, const AVPacket* pkt);
  // Whether the output follows its pictures' own times rather than a constant rate.
  bool VariableRate(const TAVOutputStream& ost) const;
  // `time`: when the picture is shown, microseconds (the source's time of it).
  void do_video_out(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* picture, int64_t time);
  AVFrame* ScalePicture(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* picture);
  // (Re)makes the scaler from the recorded input geometry (one field of it
  // when ost.scaled_field says so) to the encoder's.
  void MakeScaler(TAVOutputStream& ost);
  // The scaler flags for pictures of `ist`: the "sws_flags" option when given, else the engine's own.
  int ScalerFlags(const TAVInputStream& ist) const;
  // Logs the mapping so far and the message, then throws (with `detail` appended).
  [[noreturn]] void SetUpFailure(const std::string& message, const std::string& detail = {}, int code = 0);
  void EncodeVideoFrame(TAVOutputStream& ost, AVFrame* frame);
  void do_audio_out(TAVOutputStream& ost, TAVInputStream& ist, AVFrame* samples);
  void SyncAudio(TAVOutputStream& ost, TAVInputStream& ist, const AVFrame* samples);
  void InjectSilence(TAVOutputStream& ost, const AVFrame* samples, double outputSamples);
  bool OutputHasVideo(int fileIndex) const;
  void EnsureResampler(TAVOutputStream& ost, const AVFrame* samples);
  // Encodes the first `count` samples of the conversion frame, without the FIFO.
  void EncodeConverted(TAVOutputStream& ost, int count);
  void EncodeAudioFifo(TAVOutputStream& ost, bool final);
  void EncodeAudioFrame(TAVOutputStream& ost, AVFrame* frame);
  void do_subtitle_out(TAVOutputStream& ost, TAVInputStream& ist, AVSubtitle* subtitle, int64_t pts);
  void DrainEncoder(TAVOutputStream& ost);
  void ReceivePackets(TAVOutputStream& ost);
  void write_frame(TAVOutputStream& ost, AVPacket* pkt);
  // Through bitstream filter `index` and those after it; `end` tells the
  // filter that the stream has ended, `pkt` then only receives.
  void FilterPacket(TAVOutputStream& ost, size_t index, AVPacket* pkt, bool end);
  void FlushBitstreamFilters(TAVOutputStream& ost);
  void MuxPacket(TAVOutputStream& ost, AVPacket* pkt);
  void NotePacket(TAVOutputStream& ost, const AVPacket* pkt);
  // What a full disk means to the user: which disk is full.
  static std::string NoSpaceText(const TOutputFile& file);
  void WriteVideoStats(TAVOutputStream& ost, int frameSize);
  void print_report(bool isLast, int fileIndex);
  // hooks.cpp
  bool VideoHookCall(const TVideoHookEvent& handler, bool& active, TRGBConvertContext& context, AVFrame* picture,
                     int frameNumber, int64_t pts);
  // The frame hooks see each decoded picture; the input video hook sees it
  // as it goes to the encoder (turned, scaled, padded), at its film time.
  void RunFrameHooks(TAVInputStream& ist, AVFrame* picture);
  void RunInputVideoHook(TAVInputStream& ist, AVFrame* picture, int64_t pts);
  AVFrame* RunOutputHooks(AVFrame* picture, int frameNumber, int64_t pts);
  void RunPostHooks(const AVFrame* picture, int frameNumber, int64_t pts, bool bitmapIsPicture);
  std::shared_ptr<IPreviewer> OpenPreviewer();
  void DropPostHook(TPostHook hook);
  void RunAudioHook(TAVInputStream& ist, AVFrame* samples);
  void ResetHookContexts();

  void CloseOutputFile(TOutputFile& file);
  // Throws when an option kept for a codec or format of its own finds none in the file (which it closes).
  void CheckPrivateOptionsClaimed(TOutputFile& file);
  void ClearPendingVideo();

  // Files and settings: the owner's thread fills them before StartConvert; the
  // worker has them from then until Cleanup.
  std::vector<std::unique_ptr<TInputFile>> Finput_files;
  // In join mode the same output file stands once per input file.
  std::vector<std::shared_ptr<TOutputFile>> Foutput_files;
  TFFOptions FOptions;
  TFrameHookChain FFrameHooks;  // from the "vhook" options
  bool FJoinMode = false;
  int64_t FTotalOutputDuration = -1;
  std::string FLastErrMsg;
  bool FLastErrorIsOption = false;
  int FVideoHookBitsPixel = 24;

  // The run's records (setup.cpp) and its work frames and packets: the worker's
  // alone, from SetUpRun to ReleaseRun.
  std::vector<TAVInputFile> Ffile_table;
  std::vector<std::unique_ptr<TAVInputStream>> Fist_table;
  std::vector<std::unique_ptr<TAVOutputStream>> Fost_table;
  // Join mode: for every part, the source of every output stream.
  std::vector<std::vector<int>> Fjoin_sources;
  int Fcurrent_part = 0;
  TVideoFilterGraph FGraph;
  TPacketPtr Fpkt;
  TPacketPtr Fenc_pkt;
  TFramePtr Fdecoded_frame;
  TFramePtr Ffiltered_frame;
  TFramePtr Faudio_frame;  // converted samples on their way to an encoder
  TFramePtr Fcrop_frame;
  TOutputQueue* FOutputQueue = nullptr;  // while the output runs beside the decoding
  int64_t Ftimer_start = 0;
  int64_t Flast_report_time = 0;
  bool FShowDupOrDrop = false;

  // Event handlers: set by the owner's thread before the run, called by the worker.
  TProgressEvent FOnProgress;
  TTerminateEvent FOnTerminate;
  TVideoHookEvent FOnInputVideoHook;
  TVideoHookEvent FOnOutputVideoHook;
  TPreviewBitmapEvent FOnPreviewBitmap;
  TAudioHookEvent FOnAudioHook;
  std::function<std::unique_ptr<IPreviewer>()> FPreviewerFactory;

  // The hooks' working state: the worker's alone while it runs.
  bool FInputHookActive = true;   // cleared when the handler detaches for this task
  bool FOutputHookActive = true;
  TRGBConvertContext FInputRGB;
  TRGBConvertContext FOutputRGB;  // shared by the output hook and the post hooks
  TFramePtr FOutputPictureBuf;

  // Guarded by the process-wide post-hook lock (hooks.cpp).
  TPostHooks FPostHooks = 0;
  bool FPostHooksChanged = false;
  int64_t Fpreview_last_time = 0;
  // Shared with a paint in progress: switching the preview off while the
  // worker paints closes the window when the paint returns.
  std::shared_ptr<IPreviewer> FPreviewer;

  // Guarded by FThreadLock: started by StartConvert, joined by whichever Stop
  // comes first; set when the thread has nothing left to do.
  std::mutex FThreadLock;
  std::thread FThread;
  std::shared_ptr<std::atomic<bool>> FThreadDone;

  // Safe from any thread: events and atomic flags.
  TEvent FStopEvent{true};
  TEvent FRunEvent{true};  // reset while paused
  std::atomic<bool> FConverting{false};
  std::atomic<bool> FBroken{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFatalException{false};
  // Written by the worker before it ends the run; read once the run has ended.
  std::string FFatalMessage;
  std::string FShortfall;
  int64_t FCutShortAt = -1;
  std::vector<std::string> FAdjustments;

 public:
  int64_t ReportInterval = 500000;
  int64_t PreviewInterval = 100000;
};

// A cover picture (an attached picture) beside the sound is not a video to convert.
inline bool IsAttachedPicture(const AVStream* st) { return (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0; }

// Degrees (0, 90, 180, 270) a player turns the stream's pictures clockwise
// by its display matrix or "rotate" tag, after flipping them left to right
// when the matrix mirrors (`mirrored`).
int DisplayRotation(const AVStream* st, bool* mirrored);
// The AMR-NB mode rate nearest to a bit rate (12200 for 12200).
int AMRNBModeRate(int64_t bitRate);
// Whether pictures of the pixel format split into their two fields by taking every other row of each plane.
bool HasFields(int pixFmt);
// The names of the built-in presets.
std::vector<std::string> BuiltInPresetNames();

// The task type the encoder component keeps in its list.
class TFFmpeg : public TCustomFFmpeg {};

}  // namespace vidora
