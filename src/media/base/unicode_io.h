// Byte I/O for every input and output the media layer opens.
//
// libavformat no longer takes protocols from programs, so names of the form
// "unicode:utf8:<path>" are served by an AVIOContext of our own over a file
// descriptor; every other name goes to libavformat's own protocols.
#pragma once

#include <memory>
#include <string>

#include "media_headers.h"

namespace vidora {

bool IsUnicodeName(const std::string& url);
// "unicode:utf8:" names and client streams ("stream:...") use our own I/O.
bool NeedsOwnIO(const std::string& url);
// flags: AVIO_FLAG_READ, AVIO_FLAG_WRITE or AVIO_FLAG_READ_WRITE. Returns 0 or
// a negative library error code (a file that cannot be opened gives -2).
int OpenIO(AVIOContext** pb, const std::string& url, int flags);
// Flushes and closes a context from OpenIO and clears the pointer.
int CloseIO(AVIOContext** pb);

struct TCloseOwnIO {
  void operator()(AVIOContext* pb) const { CloseIO(&pb); }
};
// A context from OpenIO, closed at the end of its owner's scope.
using TOwnIOPtr = std::unique_ptr<AVIOContext, TCloseOwnIO>;

// Opens `fileName` into the allocated context `ctx`, through our own I/O
// (left in `io`) where the name needs it. On failure the context is freed,
// `ctx` and `io` are cleared, and the library's error code is returned.
int OpenInputContext(AVFormatContext*& ctx, const std::string& fileName, const AVInputFormat* format,
                     AVDictionary** options, AVIOContext*& io);
// Reads the streams' parameters, under the codec lock.
int FindStreamInfo(AVFormatContext* ctx);

}  // namespace vidora
