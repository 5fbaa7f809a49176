# Compiles a locale source into LOCALE_DIR/NAME for the tests that run under
# LOCPATH=LOCALE_DIR. localedef warns about the categories the source leaves
# out and then ends with status 1; the compiled LC_NUMERIC is what counts.
file(REMOVE_RECURSE ${LOCALE_DIR}/${NAME})
file(MAKE_DIRECTORY ${LOCALE_DIR})
execute_process(COMMAND ${LOCALEDEF} -c -i ${SOURCE} -f UTF-8 ${LOCALE_DIR}/${NAME}
                OUTPUT_QUIET ERROR_VARIABLE messages RESULT_VARIABLE status)
if(NOT EXISTS ${LOCALE_DIR}/${NAME}/LC_NUMERIC)
  message(FATAL_ERROR "localedef (status ${status}) wrote no LC_NUMERIC:\n${messages}")
endif()
