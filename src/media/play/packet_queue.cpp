#include "media/base/bindings.h"
#include "media/play/video_state.h"

namespace vidora {

TPacketQueue::TPacketQueue() : FMutex(sdl.SDL_CreateMutex()), FCond(sdl.SDL_CreateCond()) {}

TPacketQueue::~TPacketQueue() {
  Clear();
  sdl.SDL_DestroyCond(FCond);
  sdl.SDL_DestroyMutex(FMutex);
}

void TPacketQueue::Put(AVPacket* packet) {
  AVPacket* own = avcodec.av_packet_alloc();
  if (!own) return;
  avcodec.av_packet_move_ref(own, packet);
  sdl.SDL_LockMutex(FMutex);
  if (FAbort) {
    sdl.SDL_UnlockMutex(FMutex);
    avcodec.av_packet_free(&own);
    return;
  }
  FEntries.push_back({own});
  FPackets++;
  FBytes += own->size;
  sdl.SDL_CondSignal(FCond);
  sdl.SDL_UnlockMutex(FMutex);
}

void TPacketQueue::PutFlush() {
  sdl.SDL_LockMutex(FMutex);
  FEntries.push_back({nullptr});
  sdl.SDL_CondSignal(FCond);
  sdl.SDL_UnlockMutex(FMutex);
}

void TPacketQueue::PutEnd() {
  AVPacket* empty = avcodec.av_packet_alloc();
  if (empty) Put(empty);
  avcodec.av_packet_free(&empty);
}

int TPacketQueue::Get(AVPacket* packet, bool& flush, bool block) {
  sdl.SDL_LockMutex(FMutex);
  int result = 0;
  for (;;) {
    if (FAbort) {
      result = -1;
      break;
    }
    if (!FEntries.empty()) {
      TEntry entry = FEntries.front();
      FEntries.pop_front();
      flush = entry.Packet == nullptr;
      if (entry.Packet) {
        FPackets--;
        FBytes -= entry.Packet->size;
        avcodec.av_packet_move_ref(packet, entry.Packet);
        avcodec.av_packet_free(&entry.Packet);
      }
      result = 1;
      break;
    }
    if (!block) break;
    // Wake now and then so an abort is never missed.
    sdl.SDL_CondWaitTimeout(FCond, FMutex, 100);
  }
  sdl.SDL_UnlockMutex(FMutex);
  return result;
}

void TPacketQueue::Clear() {
  sdl.SDL_LockMutex(FMutex);
  for (TEntry& entry : FEntries)
    if (entry.Packet) avcodec.av_packet_free(&entry.Packet);
  FEntries.clear();
  FPackets = 0;
  FBytes = 0;
  sdl.SDL_UnlockMutex(FMutex);
}

void TPacketQueue::Abort() {
  sdl.SDL_LockMutex(FMutex);
  FAbort = true;
  sdl.SDL_CondSignal(FCond);
  sdl.SDL_UnlockMutex(FMutex);
}

void TPacketQueue::Start() {
  sdl.SDL_LockMutex(FMutex);
  FAbort = false;
  sdl.SDL_UnlockMutex(FMutex);
}

}  // namespace vidora
