# Builds what the sanitizer runs need, ASan + UBSan, in a folder of its own:
#   cmake -DSOURCE=<repository> -DBINARY=<folder> -DJOBS=<n> [-DCC=.. -DCXX=..] -P build.cmake
# Only demo-capture and test_soak are built, not the whole suite. Two test
# runs that share the folder take turns.
file(MAKE_DIRECTORY ${BINARY})
file(LOCK ${BINARY}/.build-lock GUARD PROCESS TIMEOUT 1200)
set(compilers)
if(CC AND CXX AND NOT EXISTS ${BINARY}/CMakeCache.txt)
  set(compilers -DCMAKE_C_COMPILER=${CC} -DCMAKE_CXX_COMPILER=${CXX})
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DDEMO_SANITIZE=ON -DDEMO_GL_CHECKS=ON
          -DCMAKE_BUILD_TYPE=RelWithDebInfo ${compilers}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring ${BINARY} failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BINARY} -j ${JOBS} --target demo-capture test_soak
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "building ${BINARY} failed")
endif()
