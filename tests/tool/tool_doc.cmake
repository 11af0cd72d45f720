# Fails unless docs/tool.md documents the same commands and options as the
# tool's --help and its commands' --help.
#   cmake -DTOOL=... -DDOC=.../docs/tool.md [-DEMULATOR=a|b|c] -P tool_doc.cmake
#
# docs/tool.md has one section a command, headed "## `NAME`", and one headed
# "## `quorlen-config`" for the tool itself.  A section's options are the
# items of its lists that start with an option in backticks:
#   - `--format=gcc|json`: ...
#   - `-h`, `--help`: ...
# Only those leading backticked names count, so prose may mention any flag.
# Every section's options must be exactly those its --help names, and every
# command --help lists must have its section.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/tool_help.cmake)

# The options a --help text lists under "Options:", sorted: each line's
# leading name, -h among them (its prose, which may name other commands'
# options, does not count).
function(help_options text out)
  string(REGEX MATCH "\nOptions:\n([^\n]+\n)*" block "\n${text}\n")
  string(REGEX MATCHALL "\n  (-h,)?--[a-z][a-z-]*" lines "${block}")
  set(options)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n  " "" line "${line}")
    if(line MATCHES "^-h,")
      list(APPEND options -h)
      string(SUBSTRING "${line}" 3 -1 line)
    endif()
    list(APPEND options ${line})
  endforeach()
  if(NOT options)
    message(FATAL_ERROR "a --help text lists no options: ${text}")
  endif()
  list(REMOVE_DUPLICATES options)
  list(SORT options)
  set(${out} "${options}" PARENT_SCOPE)
endfunction()

help_options("${top}" help_quorlen-config)
foreach(command IN LISTS commands)
  execute_process(COMMAND ${run} ${command} --help OUTPUT_VARIABLE text
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${command} --help failed")
  endif()
  help_options("${text}" help_${command})
endforeach()

file(READ ${DOC} doc)
# CMake lists split at ';' and are thrown by brackets: neither matters here.
string(REGEX REPLACE "[][;]" " " doc "${doc}")
# Code blocks may hold anything, a "## " line included: keep what stands
# between them, every other piece between fences.
string(REPLACE "\n```" ";" pieces "${doc}")
set(doc)
set(outside TRUE)
foreach(piece IN LISTS pieces)
  if(outside)
    string(APPEND doc "\n${piece}")
    set(outside FALSE)
  else()
    set(outside TRUE)
  endif()
endforeach()
if(outside)
  message(FATAL_ERROR "docs/tool.md has a code block that does not end")
endif()
string(REPLACE "\n## " ";" sections "\n${doc}")
list(POP_FRONT sections)  # what stands before the first section
set(documented)
foreach(section IN LISTS sections)
  string(REGEX MATCH "^[^\n]*" heading "${section}")
  string(REGEX MATCHALL "\n- `-[^`]*`(, `-[^`]*`)*" items "${section}")
  set(options)
  foreach(item IN LISTS items)
    string(REGEX MATCHALL "`-[^`]*`" names "${item}")
    foreach(name IN LISTS names)
      string(REGEX MATCH "^`(--[a-z][a-z-]*|-h)([ =`]|$)" _ "${name}")
      if(NOT CMAKE_MATCH_1)
        message(FATAL_ERROR "'${heading}': ${name} is no option")
      endif()
      list(APPEND options ${CMAKE_MATCH_1})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES options)
  list(SORT options)
  if(heading MATCHES "^`([a-z][a-z-]*)`")
    set(name ${CMAKE_MATCH_1})
    if(NOT name STREQUAL "quorlen-config" AND NOT name IN_LIST commands)
      message(FATAL_ERROR "docs/tool.md documents '${name}', which --help lacks")
    endif()
    if(name IN_LIST documented)
      message(FATAL_ERROR "docs/tool.md documents '${name}' twice")
    endif()
    list(APPEND documented ${name})
    if(NOT options STREQUAL help_${name})
      message(FATAL_ERROR "options of '${name}': --help has "
                          "'${help_${name}}', docs/tool.md '${options}'")
    endif()
  elseif(options)
    message(FATAL_ERROR "'${heading}' lists options (${options}) but is "
                        "neither a command nor the tool")
  endif()
endforeach()

foreach(name IN LISTS commands ITEMS quorlen-config)
  if(NOT name IN_LIST documented)
    message(FATAL_ERROR "docs/tool.md has no section '## `${name}`'")
  endif()
endforeach()

# The examples' command lines run commands the tool has.
file(READ ${DOC} raw)
string(REGEX MATCHALL "\n\\$ quorlen-config [a-z]+" runs "${raw}")
foreach(line IN LISTS runs)
  string(REGEX REPLACE "^\n\\$ quorlen-config " "" name "${line}")
  if(NOT name IN_LIST commands)
    message(FATAL_ERROR "docs/tool.md runs '${name}', which --help lacks")
  endif()
endforeach()
message(STATUS "docs/tool.md and --help agree: ${commands}")
