// fontconfig, which poppler loads to render pages with text, keeps blocks of
// its parsed configuration unreachable for the rest of the process; sanitizer
// builds of these tests would report them as leaks at exit.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
