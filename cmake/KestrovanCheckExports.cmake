# Fails when the sidecar program exports a symbol of its own (any name in the
# kestrovan namespace): it is built with hidden visibility, so none should be
# visible from outside. Run after linking:
#   cmake -DNM=<nm> -DPROGRAM=<path> -DMACHO=ON|OFF -P KestrovanCheckExports.cmake
# ELF: the dynamic symbol table (`nm -D`); Mach-O: the external symbols
# (`nm -g`), which an executable exports.
if(MACHO)
  set(table_option -g)
else()
  set(table_option -D)
endif()
execute_process(COMMAND ${NM} ${table_option} --defined-only ${PROGRAM}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]*kestrovan[^\n]*" own "${symbols}")
if(own)
  list(JOIN own "\n  " listed)
  message(FATAL_ERROR "${PROGRAM} exports symbols of its own:\n  ${listed}")
endif()
