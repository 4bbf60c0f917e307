// Under the leak checker: fontconfig, loaded by Qt's font database, keeps a
// cache that it never frees. Nothing of ours is hidden by this.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
