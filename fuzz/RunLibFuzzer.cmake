# One bounded libFuzzer run over the repo's corpus; new inputs go to a fresh scratch directory.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/corpus ${SCRATCH}/crashes)
execute_process(
  COMMAND ${TARGET} -runs=${RUNS} -seed=1 -artifact_prefix=${SCRATCH}/crashes/ ${SCRATCH}/corpus ${CORPUS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "fuzz run failed (${result}); the input is in ${SCRATCH}/crashes")
endif()
