int vidora_test_gone(void) { return 1; }
