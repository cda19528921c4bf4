/* A frame hook that keeps its argument vector and reads it for every picture:
   fills the first row of the luma plane with the value of its argument. */
#include <stdint.h>
#include <stdlib.h>

typedef struct {
  int argc;
  char** argv;
} Args;

int Configure(void** context, int argc, char* argv[]) {
  if (argc != 2) return -1;
  Args* args = malloc(sizeof *args);
  if (!args) return -1;
  args->argc = argc;
  args->argv = argv;
  *context = args;
  return 0;
}

void Process(void* context, uint8_t* data[4], int linesize[4], int pix_fmt, int width, int height, int64_t pts) {
  (void)linesize;
  (void)pix_fmt;
  (void)height;
  (void)pts;
  const Args* args = context;
  int value = atoi(args->argv[1]);
  for (int x = 0; x < width; ++x) data[0][x] = (uint8_t)value;
}

void Release(void* context) { free(context); }
