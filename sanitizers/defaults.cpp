// Default options of AddressSanitizer, UndefinedBehaviorSanitizer and
// LeakSanitizer for the sanitized build; the runtimes call these functions at
// start-up. The *_OPTIONS environment variables still override them.

extern "C" {

// Leak detection at exit, and a report for globals initialised in an order
// that reads another file's global before its constructor ran.
// The runtime does not follow __tls_get_addr: on Debian 12 (clang 14's
// runtime, glibc 2.36) its record of a loaded library's thread-local block
// (libjpeg's, under Qt's JPEG plugin) can be garbage on some machines, and
// the leak check at exit then dies with "Tracer caught signal 11".
const char* __asan_default_options() {
    return "detect_leaks=1:check_initialization_order=1:strict_init_order=1:"
           "intercept_tls_get_addr=0";
}

// Undefined behaviour ends the program (the build also compiles with
// -fno-sanitize-recover=all) with the stack that led to it.
const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

// Leaks inside third-party libraries that the program cannot free. Each
// names the library whose own allocation is left at exit.
const char* __lsan_default_suppressions() {
    return
        // libdbus keeps its connection to the session bus, opened by Qt's
        // platform theme and accessibility bridge, until the process ends;
        // Qt does not close a shared connection.
        "leak:libdbus-1.so\n";
}

} // extern "C"
