/* Exports the first entry point of the libavutil table and nothing else. */
#include <libavutil/version.h>

#ifdef NEEDS_GONE
int vidora_test_gone(void);
unsigned avutil_version(void) { return (unsigned)vidora_test_gone(); }
#elif defined(WRONG_MAJOR)
unsigned avutil_version(void) { return AV_VERSION_INT(LIBAVUTIL_VERSION_MAJOR + 1, 0, 0); }
#else
unsigned avutil_version(void) { return LIBAVUTIL_VERSION_INT; }
#endif
