// Sanitizer defaults of the test programs (ASAN_OPTIONS given in the environment add to them).
//
// intercept_tls_get_addr=0: the leak checker's record of dynamically allocated thread-local
// blocks is kept by intercepting __tls_get_addr, and with this system's C library it can hold a
// bogus block after the print-support plugin and its libraries are loaded; the leak check at
// exit then crashes ("Tracer caught signal 11") in a process that leaks nothing. The blocks
// themselves come from the C library's malloc and are still reached through the threads' own
// thread-local storage, so no leak goes unseen for it.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
