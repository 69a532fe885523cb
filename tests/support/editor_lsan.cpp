// LeakSanitizer: fontconfig keeps its pattern caches (filled when cairo first looks up
// Liberation Sans) for the life of the process by design; they are not leaks of ours.
// The editor's test support files refer to editorLsanAnchor so that this object is linked.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

int editorLsanAnchor = 0;
