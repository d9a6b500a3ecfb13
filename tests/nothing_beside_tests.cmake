# Fails when a test run left anything in the test programs' folder: every
# test keeps to a temporary folder of its own, so tests running side by side
# never share a rider's files. Run as: cmake -DDIR=<folder> -P this file.
file(GLOB entries RELATIVE "${DIR}" "${DIR}/*")
set(stray "")
foreach(entry IN LISTS entries)
  if(entry MATCHES "^(CMakeFiles|Makefile|build\\.ninja|cmake_install\\.cmake|CTestTestfile\\.cmake|Testing)$"
     OR entry MATCHES "^[a-z_]+_tests$"
     OR entry MATCHES "^[a-z_]+_tests\\[[0-9]+\\]_(include|tests)\\.cmake$")
    continue()
  endif()
  list(APPEND stray "${entry}")
endforeach()
if(stray)
  list(JOIN stray ", " names)
  message(FATAL_ERROR "The tests left files beside the test programs in ${DIR}: ${names}")
endif()
