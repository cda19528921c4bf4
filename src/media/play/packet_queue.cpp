#include "media/base/bindings.h"
#include "media/play/video_state.h"

namespace vidora {

TPacketQueue::TPacketQueue() : FMutex(sdl.SDL_CreateMutex()), FCond(sdl.SDL_CreateCond()) {}

TPacketQueue::~TPacketQueue() = default;

void TPacketQueue::Put(AVPacket* packet) {
  TPacketPtr own = NewPacket();
  if (!own) return;
  avcodec.av_packet_move_ref(own.get(), packet);
  int size = own->size;
  sdl.SDL_LockMutex(FMutex.get());
  if (!FAbort) {
    FEntries.push_back({std::move(own)});
    FPackets++;
    FBytes += size;
    sdl.SDL_CondSignal(FCond.get());
  }
  sdl.SDL_UnlockMutex(FMutex.get());
}

void TPacketQueue::PutFlush() {
  sdl.SDL_LockMutex(FMutex.get());
  FEntries.push_back({nullptr});
  sdl.SDL_CondSignal(FCond.get());
  sdl.SDL_UnlockMutex(FMutex.get());
}

void TPacketQueue::PutEnd() {
  if (TPacketPtr empty = NewPacket()) Put(empty.get());
}

int TPacketQueue::Get(AVPacket* packet, bool& flush, bool block) {
  sdl.SDL_LockMutex(FMutex.get());
  int result = 0;
  for (;;) {
    if (FAbort) {
      result = -1;
      break;
    }
    if (!FEntries.empty()) {
      TEntry entry = std::move(FEntries.front());
      FEntries.pop_front();
      flush = entry.Packet == nullptr;
      if (entry.Packet) {
        FPackets--;
        FBytes -= entry.Packet->size;
        avcodec.av_packet_move_ref(packet, entry.Packet.get());
      }
      result = 1;
      break;
    }
    if (!block) break;
    // Wake now and then so an abort is never missed.
    sdl.SDL_CondWaitTimeout(FCond.get(), FMutex.get(), 100);
  }
  sdl.SDL_UnlockMutex(FMutex.get());
  return result;
}

void TPacketQueue::Clear() {
  sdl.SDL_LockMutex(FMutex.get());
  FEntries.clear();
  FPackets = 0;
  FBytes = 0;
  sdl.SDL_UnlockMutex(FMutex.get());
}

void TPacketQueue::Abort() {
  sdl.SDL_LockMutex(FMutex.get());
  FAbort = true;
  sdl.SDL_CondSignal(FCond.get());
  sdl.SDL_UnlockMutex(FMutex.get());
}

void TPacketQueue::Start() {
  sdl.SDL_LockMutex(FMutex.get());
  FAbort = false;
  sdl.SDL_UnlockMutex(FMutex.get());
}

}  // namespace vidora
