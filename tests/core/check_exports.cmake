# Fails unless the shared object defines exactly one dynamic symbol,
# quorlen_parse_config, and imports no output routine.  Run with -DNM=... -DLIBRARY=...
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
if(NOT names STREQUAL "quorlen_parse_config")
  message(FATAL_ERROR "unexpected dynamic symbols:\n${listing}")
endif()
message(STATUS "exports exactly: ${names}")

# Nothing in it may write to a stream.
execute_process(COMMAND ${NM} -D --undefined-only ${LIBRARY}
  OUTPUT_VARIABLE imports RESULT_VARIABLE status)
if(imports MATCHES "[ \t](v?f?printf|puts|fputs|putchar|fputc|putc|fwrite|write|perror)(@|\n)")
  message(FATAL_ERROR "the library imports an output routine:\n${imports}")
endif()
