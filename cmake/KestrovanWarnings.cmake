# kestrovan_warnings(target): the project's warning set; errors only where the
# project's own presets ask for it (KESTROVAN_WARNINGS_AS_ERRORS). A package's
# source build on a user's machine keeps them warnings, so a newer compiler's
# new warning never breaks `npm install`.
option(KESTROVAN_WARNINGS_AS_ERRORS "Treat the project's warnings as errors" OFF)
function(kestrovan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(KESTROVAN_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
