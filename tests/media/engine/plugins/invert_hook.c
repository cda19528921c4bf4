/* Example frame hook: inverts the brightness of a rectangle.
   Arguments: x y width height (pixels). */
#include <stdint.h>
#include <stdlib.h>

typedef struct {
  int x, y, width, height;
} Rect;

int Configure(void** context, int argc, char* argv[]) {
  if (argc != 5) return -1;
  Rect* rect = malloc(sizeof *rect);
  if (!rect) return -1;
  rect->x = atoi(argv[1]);
  rect->y = atoi(argv[2]);
  rect->width = atoi(argv[3]);
  rect->height = atoi(argv[4]);
  *context = rect;
  return 0;
}

void Process(void* context, uint8_t* data[4], int linesize[4], int pix_fmt, int width, int height, int64_t pts) {
  (void)pix_fmt;
  (void)pts;
  const Rect* rect = context;
  for (int y = rect->y; y < rect->y + rect->height && y < height; ++y)
    for (int x = rect->x; x < rect->x + rect->width && x < width; ++x) data[0][y * linesize[0] + x] ^= 0xFF;
}

void Release(void* context) { free(context); }
