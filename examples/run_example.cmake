# Runs PROGRAM with ARGUMENTS and fails unless it succeeds and prints
# exactly the contents of EXPECTED.
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} OUTPUT_VARIABLE output ERROR_VARIABLE errors
                RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}\n${errors}--- printed:\n${output}"
                      "--- expected:\n${expected}")
endif()
