// Leak reports every fuzz target ignores: the caches fontconfig and Qt's font
// database keep for the life of the process (the same rules as the test
// suite's). Any target that draws text (metafiles, project objects, view
// captions) reaches them; none is an allocation of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:QFontDatabase\nleak:QFreetypeFace\nleak:QFontEngineFT\n";
}
