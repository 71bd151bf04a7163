# The sanitizers' run-time settings (included by tests/CMakeLists.txt right
# after DEMO_TEST_ENV): any report stops the program, leaks are checked at
# exit, and the suppressions cover only libraries the demo does not call
# (see lsan.supp). A sanitizer build runs its whole suite with them.
set(SANITIZER_ENV
  "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")
# Whatever the exit status says, these lines fail a sanitizer or soak run.
set(SANITIZER_REPORTS "ERROR: AddressSanitizer;ERROR: LeakSanitizer;runtime error;GL error (GL_|unknown)")
if(DEMO_SANITIZE)
  list(APPEND DEMO_TEST_ENV ${SANITIZER_ENV})
endif()
