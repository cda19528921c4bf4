/* Exports the first entry point of the libavutil table and nothing else. */
#ifdef NEEDS_GONE
int vidora_test_gone(void);
unsigned avutil_version(void) { return (unsigned)vidora_test_gone(); }
#else
unsigned avutil_version(void) { return 0; }
#endif
