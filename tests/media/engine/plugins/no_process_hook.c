/* A broken frame hook: it can be configured but cannot process. */
int Configure(void** context, int argc, char* argv[]) {
  (void)argc;
  (void)argv;
  *context = 0;
  return 0;
}
