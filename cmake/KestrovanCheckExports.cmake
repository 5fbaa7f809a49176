# Fails when a linked binary exports more than it should. Run after linking:
#
#   cmake -DFORMAT=MACHO -DOBJDUMP=<llvm-objdump> -DBINARY=<path> "-DEXPECTED=<name;...>"
#         -P KestrovanCheckExports.cmake
#   cmake -DFORMAT=ELF -DNM=<nm> -DBINARY=<path> -P KestrovanCheckExports.cmake
#
# Mach-O: the export trie, which holds every symbol another image can bind to
# (`llvm-objdump --macho --exports-trie`), must hold exactly the names in
# EXPECTED: the addon only its entry point `_napi_register_module_v1`, the
# sidecar only the linker's `__mh_execute_header`. Hidden visibility alone
# does not do it: weak definitions from libc++'s headers (type information,
# for one) stay exported unless the link names what to export.
# ELF: the dynamic symbol table (`nm -D --defined-only`) must hold no symbol
# in the kestrovan namespace (the sidecar, built with hidden visibility).
cmake_minimum_required(VERSION 3.25)
if(FORMAT STREQUAL "MACHO")
  execute_process(COMMAND ${OBJDUMP} --macho --exports-trie ${BINARY}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read the exports of ${BINARY}")
  endif()
  # Lines "0x<address>  <name>[ (flags)]" after the header lines.
  string(REGEX MATCHALL "0x[0-9A-Fa-f]+ +[^ \n]+" entries "${listing}")
  set(exported)
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^0x[0-9A-Fa-f]+ +" "" name "${entry}")
    list(APPEND exported ${name})
  endforeach()
  list(SORT exported)
  set(expected ${EXPECTED})
  list(SORT expected)
  if(NOT exported STREQUAL expected)
    list(JOIN exported "\n  " listed)
    list(JOIN expected ", " wanted)
    message(FATAL_ERROR "${BINARY} must export only ${wanted}; it exports:\n  ${listed}")
  endif()
  list(JOIN exported ", " listed)
  message(STATUS "ok: ${BINARY} exports only ${listed}")
elseif(FORMAT STREQUAL "ELF")
  execute_process(COMMAND ${NM} -D --defined-only ${BINARY}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} could not read ${BINARY}")
  endif()
  string(REGEX MATCHALL "[^\n]*kestrovan[^\n]*" own "${symbols}")
  if(own)
    list(JOIN own "\n  " listed)
    message(FATAL_ERROR "${BINARY} exports symbols of its own:\n  ${listed}")
  endif()
else()
  message(FATAL_ERROR "FORMAT must be MACHO or ELF")
endif()
