/* Linked into the gl and e2e test binaries only: Mesa's driver leaks at unload, without symbols
   to suppress by name. Every other AddressSanitizer check stays on. */
const char* __asan_default_options(void);
const char* __asan_default_options(void) { return "detect_leaks=0"; }
