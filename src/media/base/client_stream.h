// A byte stream of the client's, readable or writable by the media libraries
// under a name of the form "stream:<address>:<private data>".
#pragma once

#include <cstdint>
#include <string>

namespace vidora {

class IClientStream {
 public:
  virtual ~IClientStream() = default;
  // Bytes read (0 at the end) or -1.
  virtual int Read(uint8_t* buffer, int size) = 0;
  // Bytes written or -1.
  virtual int Write(const uint8_t* buffer, int size) = 0;
  // whence as for fseek; the new position or -1.
  virtual int64_t Seek(int64_t offset, int whence) = 0;
  // The size in bytes, or -1 when unknown.
  virtual int64_t Size() = 0;
};

// Makes the stream reachable by the returned name until it is unregistered.
std::string RegisterClientStream(IClientStream* stream, const std::string& privateData);
void UnregisterClientStream(IClientStream* stream);
// The registered stream a "stream:" name stands for, or none.
IClientStream* FindClientStream(const std::string& name);
bool IsClientStreamName(const std::string& name);

}  // namespace vidora
