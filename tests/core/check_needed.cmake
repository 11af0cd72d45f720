# Fails unless the shared object needs the C library alone.
# Run with -DREADELF=... -DLIBRARY=...
execute_process(COMMAND ${READELF} -d ${LIBRARY}
  OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${READELF} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" needed "${dynamic}")
set(names "")
foreach(entry IN LISTS needed)
  string(REGEX REPLACE ".*\\[(.*)\\]" "\\1" name "${entry}")
  list(APPEND names "${name}")
endforeach()
if(NOT names STREQUAL "libc.so.6")
  message(FATAL_ERROR "the library needs: ${names}")
endif()
message(STATUS "needs only: ${names}")
