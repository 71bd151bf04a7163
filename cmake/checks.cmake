# Checks for the robustness runs: GL errors after every frame, and what a
# sanitizer build needs to report only what is ours.

# runFrame reads glGetError around every frame and reports each error on
# stderr (app/frame.h). On by default in the sanitizer build; tests that want
# it elsewhere switch it on at run time.
option(DEMO_GL_CHECKS "Check for GL errors after every frame" ${DEMO_SANITIZE})
if(DEMO_GL_CHECKS)
  target_compile_definitions(app PRIVATE DEMO_GL_CHECKS=1)
endif()

# LeakSanitizer checks at exit, after Mesa has unloaded its driver: what the
# driver's globals held would look leaked, from a module no longer there.
# Every program of a sanitizer build keeps the driver loaded instead
# (tests/sanitizers/keep_gl_driver.cpp says how).
if(DEMO_SANITIZE)
  find_file(DEMO_MESA_DRIVER swrast_dri.so
    PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib64/dri /usr/lib/dri
    NO_DEFAULT_PATH)
  if(NOT DEMO_MESA_DRIVER)
    set(DEMO_MESA_DRIVER "")
  endif()
  target_sources(demo_core INTERFACE ${PROJECT_SOURCE_DIR}/tests/sanitizers/keep_gl_driver.cpp)
  target_compile_definitions(demo_core INTERFACE DEMO_MESA_DRIVER="${DEMO_MESA_DRIVER}")
endif()
