# The sound layer plays the module through libopenmpt.
pkg_check_modules(OPENMPT REQUIRED IMPORTED_TARGET libopenmpt)
target_link_libraries(demo_core PUBLIC PkgConfig::OPENMPT)
