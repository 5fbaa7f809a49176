# The sanitizer build (KESTROVAN_SANITIZE, preset linux-asan): AddressSanitizer
# and UndefinedBehaviorSanitizer over everything the repository builds, with
# clang's shared runtime, so that stock Node can load an instrumented addon
# once the runtime is preloaded. The repository's own builds only: a package's
# source build never includes this file.
#
# Sets, when on:
#   KESTROVAN_ASAN_RUNTIME                 the shared runtime's path, as the compiler names it
#                                          for its own target architecture
#   KESTROVAN_SANITIZER_NODE_ENVIRONMENT   what a test running stock Node on instrumented
#                                          code puts in its ENVIRONMENT (empty when off)
option(KESTROVAN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
set(KESTROVAN_SANITIZER_NODE_ENVIRONMENT "")
if(NOT KESTROVAN_SANITIZE)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KESTROVAN_SANITIZE needs clang (its shared sanitizer runtime, -shared-libasan); "
                      "the compiler is ${CMAKE_CXX_COMPILER_ID}")
endif()

# The compiler knows where its runtime libraries are and how it spells its
# target's architecture in their names: it prints the path of its builtins
# library (lib/linux/libclang_rt.builtins-<arch>.a, or
# lib/<triple>/libclang_rt.builtins.a where each target has a folder of its
# own), and the shared AddressSanitizer runtime lies beside it under the same
# pattern.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} --rtlib=compiler-rt -print-libgcc-file-name
                OUTPUT_VARIABLE builtins OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
get_filename_component(runtime_dir "${builtins}" DIRECTORY)
get_filename_component(builtins_name "${builtins}" NAME)
string(REGEX REPLACE "^libclang_rt\\.builtins(.*)\\.a$" "libclang_rt.asan\\1.so" runtime_name "${builtins_name}")
set(KESTROVAN_ASAN_RUNTIME "${runtime_dir}/${runtime_name}")
if(NOT status EQUAL 0 OR runtime_name STREQUAL builtins_name OR NOT EXISTS "${KESTROVAN_ASAN_RUNTIME}")
  message(FATAL_ERROR "KESTROVAN_SANITIZE: clang's shared AddressSanitizer runtime was not found "
                      "(looked for ${KESTROVAN_ASAN_RUNTIME}, beside '${builtins}'); "
                      "on Debian it is in libclang-rt-<clang version>-dev")
endif()
message(STATUS "kestrovan sanitizer runtime: ${KESTROVAN_ASAN_RUNTIME}")

add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
# Executables find the shared runtime through their run path.
add_link_options(-fsanitize=address,undefined -shared-libasan -Wl,-rpath,${runtime_dir})

# Stock Node is not instrumented: the runtime must be loaded before anything
# else. Leak detection is off because Node does not free everything at exit
# and the reports would be about Node.
set(KESTROVAN_SANITIZER_NODE_ENVIRONMENT
    "LD_PRELOAD=${KESTROVAN_ASAN_RUNTIME}"
    "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:halt_on_error=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
