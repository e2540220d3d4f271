#pragma once

// ThreadSanitizer's settings, compiled into the test programs of a
// ThreadSanitizer build so that they hold however the tests are started.
#if defined(TRIMVALE_TSAN_BUILD)
extern "C" const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1";
}

// Qt and the libraries below it were not built with ThreadSanitizer, which
// cannot see their locks; what they do inside is not reported. Our own code
// never is suppressed.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libfontconfig.so.1\n";
}
#endif
