# Runs one fuzzer from ctest.
#   MODE=search: SECONDS of fuzzing from the seeds in SEEDS (read only); new inputs and any
#                crash go under WORK, never into the source tree.
#   MODE=replay: every file in CASES once.
# The time and memory limits turn a hang or a blow-up into a failure.
set(limits -timeout=10 -rss_limit_mb=2048)
# UBSan reports are recoverable in this build; make them fatal here.
set(ENV{UBSAN_OPTIONS} "halt_on_error=1:print_stacktrace=1")
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)

if(MODE STREQUAL "search")
  execute_process(COMMAND ${FUZZER} ${limits} -max_total_time=${SECONDS} -print_final_stats=1
                          -dict=${DICT} -artifact_prefix=${WORK}/artifacts/
                          ${WORK}/corpus ${SEEDS}
                  RESULT_VARIABLE result)
elseif(MODE STREQUAL "replay")
  file(GLOB cases LIST_DIRECTORIES false ${CASES}/*)
  if(NOT cases)
    message(FATAL_ERROR "no regression cases in ${CASES}")
  endif()
  execute_process(COMMAND ${FUZZER} ${limits} -artifact_prefix=${WORK}/artifacts/ ${cases}
                  RESULT_VARIABLE result)
else()
  message(FATAL_ERROR "MODE must be search or replay")
endif()

if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); see the output above and ${WORK}/artifacts")
endif()
