// ThreadSanitizer settings for programs that use CLucene, which is not built
// with the sanitizer: it destroys mutexes it still holds, and it holds so many
// at once that the sanitizer's deadlock detector gives up with a failed check.
// Races are still reported, ours and CLucene's alike.
extern "C" const char* __tsan_default_options() {
    return "detect_deadlocks=0";
}

extern "C" const char* __tsan_default_suppressions() {
    return "mutex:libclucene-shared.so\n";
}
