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

option(KESTROVAN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KESTROVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  # The shared runtime, so stock Node can load an instrumented addon with the
  # runtime preloaded; executables find it through their run path.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
                  OUTPUT_VARIABLE KESTROVAN_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(asan_runtime_dir ${KESTROVAN_ASAN_RUNTIME} DIRECTORY)
  add_link_options(-fsanitize=address,undefined -shared-libasan -Wl,-rpath,${asan_runtime_dir})
endif()
