# SPDX-License-Identifier: GPL-3.0-or-later
# The checks the kelvora-fit command tests share: run it in WORK and match its exit status and output.
# run(<args>...) runs kelvora-fit in WORK; INPUT <file> feeds standard input. Sets status, out, err.
macro(run)
  cmake_parse_arguments(RUN "" "INPUT" "" ${ARGN})
  set(input_option)
  if(RUN_INPUT)
    set(input_option INPUT_FILE "${RUN_INPUT}")
  endif()
  execute_process(COMMAND "${FIT}" ${RUN_UNPARSED_ARGUMENTS} ${input_option} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endmacro()

# expect(<exit> <stdout regex> <stderr regex> [INPUT file] <args>...): one case of the matrix.
function(expect expected out_regex err_regex)
  run(${ARGN})
  if(NOT status STREQUAL expected OR NOT out MATCHES "${out_regex}" OR NOT err MATCHES "${err_regex}")
    message(SEND_ERROR "kelvora-fit ${ARGN}: exit ${status} (expected ${expected})\n"
                       "stdout:\n${out}\nstderr:\n${err}\nexpected stdout ~ ${out_regex}\nstderr ~ ${err_regex}")
  endif()
endfunction()

# A usage error is exactly one line on standard error, nothing on standard output.
function(expect_usage reason_regex)
  expect(2 "^$" "^kelvora-fit: ${reason_regex}[^\n]*\n$" ${ARGN})
endfunction()
