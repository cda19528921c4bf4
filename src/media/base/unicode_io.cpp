#include "unicode_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <map>
#include <mutex>

#include "bindings.h"
#include "client_stream.h"
#include "file_names.h"
#include "loader.h"

namespace vidora {

namespace {

constexpr int IOBufferSize = 32768;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using TWriteBuffer = const uint8_t*;
#else
using TWriteBuffer = uint8_t*;
#endif

struct TUnicodeFile {
  int Handle = -1;
};

int UnicodeRead(void* opaque, uint8_t* buffer, int size) {
  ssize_t count = read(static_cast<TUnicodeFile*>(opaque)->Handle, buffer, static_cast<size_t>(size));
  if (count < 0) return AVERROR(errno);
  return count == 0 ? AVERROR_EOF : static_cast<int>(count);
}

int UnicodeWrite(void* opaque, TWriteBuffer buffer, int size) {
  int handle = static_cast<TUnicodeFile*>(opaque)->Handle;
  int written = 0;
  while (written < size) {
    ssize_t count = write(handle, buffer + written, static_cast<size_t>(size - written));
    if (count < 0) {
      if (errno == EINTR) continue;
      return AVERROR(errno);
    }
    written += static_cast<int>(count);
  }
  return written;
}

int64_t UnicodeSeek(void* opaque, int64_t position, int whence) {
  int handle = static_cast<TUnicodeFile*>(opaque)->Handle;
  if (whence & AVSEEK_SIZE) {
    struct stat info {};
    if (fstat(handle, &info) != 0) return AVERROR(errno);
    return info.st_size;
  }
  off_t result = lseek(handle, position, whence & ~AVSEEK_FORCE);
  return result < 0 ? AVERROR(errno) : result;
}

int OpenFlags(int flags) {
  if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE) return O_RDWR | O_CREAT | O_TRUNC;
  if (flags & AVIO_FLAG_WRITE) return O_WRONLY | O_CREAT | O_TRUNC;
  return O_RDONLY;
}

int StreamRead(void* opaque, uint8_t* buffer, int size) {
  int count = static_cast<IClientStream*>(opaque)->Read(buffer, size);
  if (count < 0) return AVERROR(EIO);
  return count == 0 ? AVERROR_EOF : count;
}

int StreamWrite(void* opaque, TWriteBuffer buffer, int size) {
  int count = static_cast<IClientStream*>(opaque)->Write(buffer, size);
  return count < 0 ? AVERROR(EIO) : count;
}

int64_t StreamSeek(void* opaque, int64_t position, int whence) {
  auto* stream = static_cast<IClientStream*>(opaque);
  if (whence & AVSEEK_SIZE) {
    int64_t size = stream->Size();
    return size < 0 ? AVERROR(ENOSYS) : size;
  }
  int64_t result = stream->Seek(position, whence & ~AVSEEK_FORCE);
  return result < 0 ? AVERROR(EIO) : result;
}

bool IsOurs(const AVIOContext* pb) { return pb->read_packet == UnicodeRead || pb->read_packet == StreamRead; }

struct TStreamRegistry {
  std::mutex Lock;
  std::map<uintptr_t, IClientStream*> Streams;
};

TStreamRegistry& Registry() {
  static TStreamRegistry registry;
  return registry;
}

constexpr const char* StreamPrefix = "stream:";

}  // namespace

std::string RegisterClientStream(IClientStream* stream, const std::string& privateData) {
  auto address = reinterpret_cast<uintptr_t>(stream);
  std::lock_guard lock(Registry().Lock);
  Registry().Streams[address] = stream;
  return StreamPrefix + std::to_string(address) + ":" + privateData;
}

void UnregisterClientStream(IClientStream* stream) {
  std::lock_guard lock(Registry().Lock);
  Registry().Streams.erase(reinterpret_cast<uintptr_t>(stream));
}

bool IsClientStreamName(const std::string& name) { return name.compare(0, std::strlen(StreamPrefix), StreamPrefix) == 0; }

IClientStream* FindClientStream(const std::string& name) {
  if (!IsClientStreamName(name)) return nullptr;
  uintptr_t address = std::strtoull(name.c_str() + std::strlen(StreamPrefix), nullptr, 10);
  std::lock_guard lock(Registry().Lock);
  auto found = Registry().Streams.find(address);
  return found == Registry().Streams.end() ? nullptr : found->second;
}

namespace {

// A context with its buffer over our own read, write and seek; none when
// memory runs out.
AVIOContext* NewContext(void* opaque, int flags, int (*read)(void*, uint8_t*, int),
                        int (*write)(void*, TWriteBuffer, int), int64_t (*seek)(void*, int64_t, int)) {
  auto* buffer = static_cast<unsigned char*>(avutil.av_malloc(IOBufferSize));
  if (!buffer) return nullptr;
  bool writable = (flags & AVIO_FLAG_WRITE) != 0;
  AVIOContext* pb =
      avformat.avio_alloc_context(buffer, IOBufferSize, writable ? 1 : 0, opaque, read, writable ? write : nullptr, seek);
  if (!pb) avutil.av_free(buffer);
  return pb;
}

// A context over a client stream; the stream stays the client's.
int OpenStreamIO(AVIOContext** pb, const std::string& url, int flags) {
  IClientStream* stream = FindClientStream(url);
  if (!stream) return AVERROR(ENOENT);
  *pb = NewContext(stream, flags, StreamRead, StreamWrite, StreamSeek);
  return *pb ? 0 : AVERROR(ENOMEM);
}

}  // namespace

bool IsUnicodeName(const std::string& url) {
  return url.compare(0, std::strlen(UnicodeNamePrefix), UnicodeNamePrefix) == 0;
}

bool NeedsOwnIO(const std::string& url) { return IsUnicodeName(url) || IsClientStreamName(url); }

int OpenIO(AVIOContext** pb, const std::string& url, int flags) {
  *pb = nullptr;
  if (IsClientStreamName(url)) return OpenStreamIO(pb, url, flags);
  if (!IsUnicodeName(url)) return avformat.avio_open2(pb, url.c_str(), flags, nullptr, nullptr);

  std::string path = WideFileName(url);
  int handle = open(path.c_str(), OpenFlags(flags) | O_CLOEXEC, 0644);
  if (handle < 0) return AVERROR(errno);
  auto* file = new TUnicodeFile{handle};
  *pb = NewContext(file, flags, UnicodeRead, UnicodeWrite, UnicodeSeek);
  if (!*pb) {
    close(handle);
    delete file;
    return AVERROR(ENOMEM);
  }
  return 0;
}

int CloseIO(AVIOContext** pb) {
  if (!*pb) return 0;
  if (!IsOurs(*pb)) return avformat.avio_closep(pb);
  if ((*pb)->write_flag) avformat.avio_flush(*pb);
  if ((*pb)->read_packet == StreamRead) {  // the stream itself is the client's
    int result = (*pb)->error;
    avutil.av_free((*pb)->buffer);
    avformat.avio_context_free(pb);
    return result;
  }
  auto* file = static_cast<TUnicodeFile*>((*pb)->opaque);
  int result = (*pb)->error;  // a failed buffered write must not read as success
  if (close(file->Handle) != 0 && result >= 0) result = AVERROR(errno);
  delete file;
  avutil.av_free((*pb)->buffer);
  avformat.avio_context_free(pb);
  return result;
}

int OpenInputContext(AVFormatContext*& ctx, const std::string& fileName, const AVInputFormat* format,
                     AVDictionary** options, AVIOContext*& io) {
  std::string url = LibraryFileName(fileName);
  if (NeedsOwnIO(url)) {
    int code = OpenIO(&io, url, AVIO_FLAG_READ);
    if (code < 0) {
      avformat.avformat_free_context(ctx);
      ctx = nullptr;
      return code;
    }
    ctx->pb = io;
    ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  int code = avformat.avformat_open_input(&ctx, url.c_str(), format, options);
  if (code < 0) CloseIO(&io);  // the library has freed the context
  return code;
}

int FindStreamInfo(AVFormatContext* ctx) {
  std::lock_guard lock(CodecLock());
  return avformat.avformat_find_stream_info(ctx, nullptr);
}

}  // namespace vidora
