# Writes the JSON Schema that the tool prints.
#   cmake -DTOOL=... -DOUTPUT=... [-DEMULATOR=a|b|c] -P write_schema.cmake
set(command ${TOOL} json --schema)
if(EMULATOR)
  string(REPLACE "|" ";" emulator "${EMULATOR}")
  set(command ${emulator} ${command})
endif()
execute_process(COMMAND ${command} OUTPUT_FILE ${OUTPUT}.new
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.new)
  message(FATAL_ERROR "quorlen-config json --schema failed: ${status}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
