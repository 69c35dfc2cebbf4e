# SPDX-License-Identifier: GPL-3.0-or-later
# kelvora-fit as a command-line tool: every example file, the option forms, standard input, several
# files, and the exit status of each kind of failure.
#   cmake -DFIT=<kelvora-fit> -DEXAMPLES=<examples/> -DNORRIS=<norris.dat> -DWORK=<scratch dir> -P this
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
# Exact data: Y = 2 + 3*X, so model 0 gives A=2, B=3, S=0.
file(WRITE "${WORK}/exact.dat" "4\n0 2\n1 5\n2 8\n3 11\n")
# Negative X: the power model A*X^B takes logarithms of X, so its A, B and S are NaN.
file(WRITE "${WORK}/negative.dat" "3\n-1 1\n-2 2\n-3 3\n")
# One point: no model can be fitted.
file(WRITE "${WORK}/single.dat" "1\n2 3\n")
file(WRITE "${WORK}/zero.dat" "3\n0 1\n1 2\n2 5\n")
file(WRITE "${WORK}/no-count.dat" "x y\n")
# A file whose name looks like an option, reachable only after "--".
file(WRITE "${WORK}/--all" "4\n0 2\n1 5\n2 8\n3 11\n")

set(EXACT_BLOCK "Y=A\\+B\\*X\nA=2\nB=3\nS=0\nse_A=0\nse_B=0\nci_A=\\[2, 2\\]\nci_B=\\[3, 3\\]\ns_n2=0\nr2=1\nr2_line=1\n")

include("${CMAKE_CURRENT_LIST_DIR}/kelvora_fit_expect.cmake")

# --- results and the option forms
expect(0 "^${EXACT_BLOCK}$" "^$" exact.dat)
expect(0 "^${EXACT_BLOCK}$" "^$" --model=0 exact.dat)
expect(0 "^${EXACT_BLOCK}$" "^$" exact.dat --model 0)
expect(0 "^${EXACT_BLOCK}$" "^$" INPUT "${WORK}/exact.dat" -)
expect(0 "^${EXACT_BLOCK}$" "^$" INPUT "${WORK}/exact.dat" --model 0 -- -)
expect(0 "^${EXACT_BLOCK}$" "^$" -- --all)
expect(0 "^Y=A\\+B\\*X\\^N\nA=2\nB=3\nN=1\nS=0\nse_A=0\n" "^$" exact.dat --exponent=1 --model=15)
expect(0 "^ 0  Y=A\\+B\\*X\n 1  Y=1/\\(A\\+B\\*X\\)\n.*\n15  Y=A\\+B\\*X\\^N\n$" "^$" --list-models)
expect(0 "^kelvora-fit [0-9]+\\.[0-9]+[^\n]*\nLicense GPL-3\\.0-or-later: GNU GPL version 3 or later\n$" "^$" --version)
expect(0 "^usage: kelvora-fit.*--model.*--list-models.*\n 5  Y=A\\*EXP\\(B\\*X\\)\n.*Exit status" "^$" --help)
expect(0 "^usage: kelvora-fit" "^$" no-such-file.dat -h)

# --- several files: one block each, the name first, an empty line between; a bad file is skipped
expect(0 "^exact.dat:\n${EXACT_BLOCK}\nstandard input:\n${EXACT_BLOCK}$" "^$"
       INPUT "${WORK}/exact.dat" exact.dat -)
expect(1 "^no-count.dat:\n\nexact.dat:\n${EXACT_BLOCK}$" "^kelvora-fit: no-count.dat: the file does not start with the number of points[^\n]*\n$"
       no-count.dat exact.dat)

# --- fits that are not finite: printed, then exit 3; a file that cannot be used outweighs them
# A fit without finite numbers prints "nan" and says why on standard error.
set(NO_FIT "no finite fit: the linearised model cannot take")
expect(3 "^Y=A\\*X\\^B\nA=nan\nB=nan\nS=nan\nse_A=nan\n"
       "^kelvora-fit: negative.dat: Y=A\\*X\\^B: ${NO_FIT} 3 of 3 points, the first is point 1 \\(X=-1, Y=1\\)\n$"
       --model 8 negative.dat)
expect(3 "^Y=A\\*X\\^B\nA=nan\n" "${NO_FIT} 1 of 3 points, the first is point 1 \\(X=0, Y=1\\); --refine starts without them\n$"
       --model 8 zero.dat)
expect(0 "^S=[^\n]*Y=A\\+B\\*X\n" "^$" --all negative.dat)
expect(3 "^(S=nan A=nan B=nan se_A=nan se_B=nan r2=nan [^\n]+ \\(no finite fit: the points do not determine [^\n]+\n)+$" "^$"
       --all single.dat)
expect(3 "exact.dat:\n${EXACT_BLOCK}\nsingle.dat:\nY=A\\+B\\*X\nA=nan"
       "^kelvora-fit: single.dat: Y=A\\+B\\*X: no finite fit: the points do not determine[^\n]+\n$" exact.dat single.dat)
expect(1 "single.dat:\n" "no-such-file.dat" single.dat no-such-file.dat)

# --- wrong usage: exit 2 and a one-line reason
expect_usage("no points file given")
expect_usage("no points file given" --model 3)
expect_usage("unknown option '--frobnicate'" --frobnicate exact.dat)
expect_usage("unknown option '-x'" exact.dat -x)
expect_usage("unknown option '--mod'" --mod=3 exact.dat)
expect_usage("no model '16'" --model 16 exact.dat)
expect_usage("no model '-1'" exact.dat --model=-1)
expect_usage("no model 'two'" --model two exact.dat)
expect_usage("no model ''" --model= exact.dat)
expect_usage("no model '3x'" --model 3x exact.dat)
expect_usage("--model needs a value K" exact.dat --model)
expect_usage("--exponent needs a finite number, not 'exact.dat'" --model 15 --exponent exact.dat)
expect_usage("--exponent needs a finite number, not 'inf'" --model 15 --exponent inf exact.dat)
expect_usage("--exponent applies to model 15" --exponent 3 exact.dat)
expect_usage("--exponent applies to model 15 [^;]*; model 5 has" exact.dat --model=5 --exponent=3)
expect_usage("--all takes no value" --all=yes exact.dat)
expect_usage("--all and --model exclude each other" --all --model 3 exact.dat)

# --- files that cannot be used: exit 1, the file named
expect(1 "^$" "^kelvora-fit: [^\n]*no-such-file.dat: No such file or directory\n$" "${EXAMPLES}/no-such-file.dat")
expect(1 "^$" "^kelvora-fit: [^\n]*: is a directory\n$" "${EXAMPLES}")
# a pipe named as the file is refused at once, never waited on
execute_process(COMMAND mkfifo "${WORK}/pipe.dat" RESULT_VARIABLE made)
if(made EQUAL 0)
  execute_process(COMMAND "${FIT}" "${WORK}/pipe.dat" TIMEOUT 20 RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status STREQUAL "1" OR NOT err MATCHES "^kelvora-fit: [^\n]*pipe.dat: the file cannot be opened or read\n$")
    message(SEND_ERROR "kelvora-fit on a pipe: exit ${status}\n${err}")
  endif()
endif()
expect(1 "^$" "^kelvora-fit: standard input: the file does not start with the number of points \\(a plain table\\? see --columns\\)\n$" INPUT "${WORK}/no-count.dat" -)

# --- results that cannot be written are a failure, not a success: standard output opened read-only
execute_process(COMMAND sh -c "exec \"$0\" \"$1\" 1<\"$1\"" "${FIT}" "${WORK}/exact.dat"
                RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "^kelvora-fit: standard output: [^\n]+\n$")
  message(SEND_ERROR "kelvora-fit with a read-only standard output: exit ${status}\n${err}")
endif()

# --- numbers left after the counted points of a points file: those points are fitted and a warning asks
# whether the count line is missing; a comment line after them is no number
file(WRITE "${WORK}/one-extra.dat" "2\n1 3\n2 5\n7\n")
file(WRITE "${WORK}/count-one.dat" "1\n2 3\n4\n")
file(WRITE "${WORK}/comment.dat" "2\n1 3\n2 5\n# two runs, 7 samples\n")
set(LEFTOVER "warning: the file holds more numbers than its count of")
set(COUNT_LINE "were its columns written without the count line\\? fitting the counted ones\n$")
expect(0 "^Y=A\\+B\\*X\nA=1\nB=2\nS=0\n" "^kelvora-fit: one-extra.dat: ${LEFTOVER} 2 points: ${COUNT_LINE}"
       one-extra.dat)
string(REPLACE "\n$" "\nkelvora-fit: count-one.dat: Y=A\\+B\\*X: no finite fit: [^\n]+\n$" COUNT_LINE_THEN_NO_FIT "${COUNT_LINE}")
expect(3 "^Y=A\\+B\\*X\nA=nan" "^kelvora-fit: count-one.dat: ${LEFTOVER} 1 point: ${COUNT_LINE_THEN_NO_FIT}" count-one.dat)
expect(0 "^Y=A\\+B\\*X\nA=1\nB=2\nS=0\n" "^$" comment.dat)

# --- every example: sixteen ranked lines; model 15 with its exponent
file(GLOB examples "${EXAMPLES}/*.dat")
if(NOT examples)
  message(FATAL_ERROR "no example files in ${EXAMPLES}")
endif()
foreach(example IN LISTS examples)
  run(--all "${example}")
  string(REGEX MATCHALL "S=[^\n]* A=[^\n]* B=[^\n]* Y=[^\n]*\n" lines "${out}")
  list(LENGTH lines count)
  if(NOT status EQUAL 0 OR NOT count EQUAL 16)
    message(SEND_ERROR "${example}: exit ${status}, ${count} ranked lines:\n${out}")
  endif()
  expect(0 "^Y=A\\+B\\*X\\^N\nA=[^\n]+\nB=[^\n]+\nN=3\nS=[^\n]+\nse_A=[^\n]+\n" "^$" --model 15 --exponent 3 "${example}")
endforeach()

# --precise prints seventeen digits: the certified Norris intercept shows its first twelve.
expect(0 "\nA=-0\\.262323073774[0-9]+\nB=1\\.0021168180204[0-9]+\nS=0\\.87206484898" "^$" --precise "${NORRIS}")

# --- the certified straight line (NIST Norris: B0 -0.262323073774029 se 0.232818234301152, B1
# 1.00211681802045 se 0.000429796848199937, R2 0.999993745883712) in the block for a paper, and its
# intervals at X=500 in closed form (NumPy: Y 500.796085936453, ci [500.488196471534, 501.103975401373],
# pi [498.971794054184, 502.620377818723], t(0.975, 34))
expect(0 "^Y=A\\+B\\*X\nA = -0\\.26 ± 0\\.23\nB = 1\\.00212 ± 0\\.00043\nn = 36, dof = 34\nS = 0\\.872\nR2 \\(on Y\\) = 0\\.99999375\ncorr\\(A,B\\) = -0\\.774\n"
       "^$" --report "${NORRIS}")
expect(0 "\npredict: X=500 Y=500\\.79608593645[0-9]* ci=\\[500\\.488196471[0-9]*, 501\\.103975401[0-9]*\\] pi=\\[498\\.971794054[0-9]*, 502\\.620377818[0-9]*\\]\n$"
       "^$" --precise --predict 500 "${NORRIS}")
