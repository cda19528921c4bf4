/* A frame hook that keeps its argument vector, as a plug-in may, and reads it
   for every picture: the first row of the luma plane takes its argument's value. */
#include <stdint.h>
#include <stdlib.h>

int Configure(void** context, int argc, char* argv[]) {
  *context = argv;
  return argc == 2 ? 0 : -1;
}

void Process(void* context, uint8_t* data[4], int linesize[4], int pix_fmt, int width, int height, int64_t pts) {
  (void)linesize;
  (void)pix_fmt;
  (void)height;
  (void)pts;
  char** argv = context;
  for (int x = 0; x < width; ++x) data[0][x] = (uint8_t)atoi(argv[1]);
}
