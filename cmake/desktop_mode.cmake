# The watchdog holds the desktop's display mode through XRandR
# (app/desktop_mode_x11.cpp); a build without it holds nothing.
pkg_check_modules(XRANDR IMPORTED_TARGET xrandr)
if(X11_FOUND AND XRANDR_FOUND)
  target_link_libraries(app PRIVATE PkgConfig::XRANDR)
  target_compile_definitions(app PRIVATE DEMO_HAVE_XRANDR=1)
endif()
