# The runs too long for every test run, as CTest tests with a label each. The
# test presets for every run leave these labels out; each label has presets
# and workflows of its own (CMakePresets.json):
#   package    a development pack of both packages, installed offline and used
#              by a fresh consumer project (CI runs it, on Linux and on the Macs)
#   long       the addon's seeded fuzzer over 2000 seeds of 500 steps, and in
#              the sanitizer build the sidecar's libFuzzer target for 600 s
#   valgrind   the addon's node suites under valgrind memcheck
# Each test runs its script in scripts/, which says what the run does, on this
# build (KESTROVAN_BUILD_DIR); run by hand, the same scripts build a preset
# first. Included from the repository's top level, after the sidecar and the
# addon have defined their targets.
find_program(KESTROVAN_BASH bash REQUIRED)
set(kestrovan_scripts ${PROJECT_SOURCE_DIR}/scripts)
set(kestrovan_script_environment "KESTROVAN_BUILD_DIR=${PROJECT_BINARY_DIR}")

# The package run packs the binaries of the linux-release build, or on a Mac
# of the macos build (make-prebuilds.sh), so it belongs to those builds.
if(PROJECT_BINARY_DIR STREQUAL "${PROJECT_SOURCE_DIR}/build/linux-release"
   OR PROJECT_BINARY_DIR STREQUAL "${PROJECT_SOURCE_DIR}/build/macos")
  add_test(NAME package.development_pack COMMAND ${KESTROVAN_BASH} ${kestrovan_scripts}/test-package.sh
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(package.development_pack PROPERTIES LABELS package TIMEOUT 1200 RUN_SERIAL ON)
endif()

# The addon's fuzzer over many seeds (CTest's every run replays seeds 1..40:
# addon.fuzz.fixed_seeds); under the sanitizers Node preloads their runtime.
# It drives the simulated desktop: not in a macOS build.
if(NOT KESTROVAN_PLATFORM STREQUAL "macos")
  set(fuzz_environment ${kestrovan_script_environment} ${KESTROVAN_SANITIZER_NODE_ENVIRONMENT})
  add_test(NAME addon.fuzz.many_seeds COMMAND ${KESTROVAN_BASH} ${kestrovan_scripts}/fuzz-addon.sh
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(addon.fuzz.many_seeds PROPERTIES
                       LABELS long TIMEOUT 3600
                       ENVIRONMENT "${fuzz_environment}")
endif()

# The sidecar's libFuzzer target, where the build has it (clang with the
# sanitizers; every run gives it 15 s: sidecar.fuzz.arguments_smoke).
if(TARGET sidecar_arguments_fuzzer)
  add_test(NAME sidecar.fuzz.arguments_long COMMAND ${KESTROVAN_BASH} ${kestrovan_scripts}/fuzz-sidecar.sh 600
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(sidecar.fuzz.arguments_long PROPERTIES
                       LABELS long TIMEOUT 900 ENVIRONMENT "${kestrovan_script_environment}")
endif()

# Memcheck and the sanitizers do not mix: builds without them only; valgrind
# runs on Linux.
if(NOT KESTROVAN_SANITIZE AND KESTROVAN_PLATFORM STREQUAL "linux")
  add_test(NAME addon.valgrind.node_suites COMMAND ${KESTROVAN_BASH} ${kestrovan_scripts}/valgrind-addon.sh
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(addon.valgrind.node_suites PROPERTIES
                       LABELS valgrind TIMEOUT 7200 ENVIRONMENT "${kestrovan_script_environment}")
endif()
