# What the checks of the manual and the docs read from the tool: `run`, the
# command line that starts it (under its emulator for a cross build), `top`,
# its --help, and `commands`, the commands that --help lists, sorted.
#   include(tool_help.cmake) with TOOL and EMULATOR (a|b|c) set
set(run ${TOOL})
if(EMULATOR)
  string(REPLACE "|" ";" run "${EMULATOR}")
  list(APPEND run ${TOOL})
endif()
execute_process(COMMAND ${run} --help OUTPUT_VARIABLE top RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "--help failed")
endif()
string(REGEX MATCH "Subcommands:\n.*" listing "${top}")
string(REGEX MATCHALL "\n  [a-z]+ " commands "${listing}")
list(TRANSFORM commands STRIP)
list(SORT commands)
if(NOT commands)
  message(FATAL_ERROR "--help lists no commands")
endif()
