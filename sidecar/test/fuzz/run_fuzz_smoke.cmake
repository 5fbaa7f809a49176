# A bounded, seeded run of a libFuzzer program for CTest. The committed seed
# corpus is read but never written: new inputs go to a fresh work directory,
# and so do crash artifacts.
#   cmake -DFUZZER=... -DSEEDS=... -DDICT=... -DWORK=... -DSECONDS=... -P run_fuzz_smoke.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
execute_process(
  COMMAND ${FUZZER} ${WORK}/corpus ${SEEDS} -dict=${DICT} -seed=1 -max_total_time=${SECONDS}
          -max_len=512 -timeout=10 -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the fuzzer failed (status ${status}); the input is in ${WORK}/artifacts")
endif()
