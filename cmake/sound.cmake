# The sound layer plays the module through libopenmpt.
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
target_link_libraries(app PRIVATE PkgConfig::OPENMPT)
# The mixer's sum-and-clip loop vectorises only where float comparisons may
# be if-converted; nothing in the program turns floating-point traps on.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set_source_files_properties(${PROJECT_SOURCE_DIR}/app/sound/mixer.cpp
    PROPERTIES COMPILE_OPTIONS "-fno-trapping-math")
endif()
