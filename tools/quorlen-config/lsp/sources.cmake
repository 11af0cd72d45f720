# The language server's sources, for the tool and for the fuzz target.
set(QUORLEN_LSP_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/positions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/diagnose.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hover.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hover_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/completion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/code_action.cpp
  ${CMAKE_CURRENT_LIST_DIR}/symbols.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inlay_hints.cpp
  ${CMAKE_CURRENT_LIST_DIR}/semantic_tokens.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formatting.cpp
  ${CMAKE_CURRENT_LIST_DIR}/code_lens.cpp)
