# The smoke run of a libFuzzer target: every seed, then a few seconds of fuzzing from
# them (fixed random seed). New inputs go to a scratch directory that starts empty, never
# to the seed directory. Called by the tests fuzz_smoke.<name>:
#   cmake -DFUZZER=<program> -DSEEDS=<dir> -DSCRATCH=<dir> -P FuzzSmoke.cmake
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(
  COMMAND ${FUZZER} -seed=1 -max_total_time=4 -runs=200000 -timeout=20 -rss_limit_mb=2048
          -artifact_prefix=${SCRATCH}/ ${SCRATCH} ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${SCRATCH}")
endif()
