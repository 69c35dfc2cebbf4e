# kelvora-fit's uncertainty, refinement, JSON, residuals, plain tables and pictures from the command line.
#   cmake -DFIT=<kelvora-fit> -DWORK=<scratch dir> -P this
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# A noisy decay 5*exp(-0.5x); least squares on Y (SciPy's curve_fit, MINPACK) gives A = 4.99114271631048,
# B = -0.501130385154762, se_A = 0.0499568590019637 (Gauss-Newton steps from there: A = 4.9911427174434,
# so nine digits of A are checked).
set(DECAY_POINTS "0 5.02365\n0.5 3.85993\n1 3.04478\n1.5 2.2768\n2 1.87705\n2.5 1.35579\n3 1.11591\n3.5 0.862858\n4 0.636327\n4.5 0.670587\n5 0.380534\n5.5 0.343262\n6 0.303733\n")
file(WRITE "${WORK}/decay.dat" "13\n${DECAY_POINTS}")
# The same points as a plain table: header, comments, commas, Windows line ends.
string(REPLACE " " "," DECAY_CSV "${DECAY_POINTS}")
string(REPLACE "\n" "\r\n" DECAY_CSV "${DECAY_CSV}")
file(WRITE "${WORK}/decay.csv" "# decay, 13 points\r\ntime,signal\r\n${DECAY_CSV}")
file(WRITE "${WORK}/decay.txt" "${DECAY_POINTS}")
file(WRITE "${WORK}/bad.csv" "x;y\n1;2\n3;4;5\n")
# Decay with a tail below zero: the logarithm cannot take 6 of its 17 points.
file(WRITE "${WORK}/tail.dat" "17\n0 5.08453\n0.5 2.72076\n1 1.50761\n1.5 0.84687\n2 0.414144\n2.5 0.249039\n3 0.136574\n3.5 -0.0127583\n4 0.0920316\n4.5 0.0526078\n5 -0.0188777\n5.5 -0.00177557\n6 0.0289979\n6.5 -0.0110191\n7 -0.0110131\n7.5 -0.072045\n8 0.0280677\n")
file(WRITE "${WORK}/negative.dat" "3\n1 -1\n2 -2\n3 -3\n")
# Scattered points that 1/(A+B*X) meets only by a pole between them.
file(WRITE "${WORK}/scattered.dat" "8\n-2.9 -1.4\n-2.1 1.8\n-1.6 -1.8\n-0.7 1.1\n-0.6 1.3\n1.7 -0.9\n2.2 0.4\n2.6 1.7\n")

include("${CMAKE_CURRENT_LIST_DIR}/../core/kelvora_fit_expect.cmake")

# --- the refinement agrees with the independent solver; the linearised fit does not
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\nA=4\\.79426\nB=-0\\.478407\n" "^$" --model 5 decay.dat)
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\nA=4\\.99114271[0-9]*\nB=-0\\.50113038[0-9]*\nS=[^\n]*\nse_A=0\\.0499568[0-9]*\n.*\nrefined: least squares on Y, [0-9]+ iterations from the linearised A=4\\.79425820324[0-9]*"
       "^$" --model=5 --refine --precise decay.dat)
expect(0 "\nA=5\\.07543\nB=-1\\.22374\n.*; 6 points outside the line's domain left out of the start\n$" "^$" --model 5 --refine tail.dat)
# Without a start the refinement cannot run: said on standard error, the linearised fit printed, exit 3.
expect(3 "^Y=A\\*EXP\\(B\\*X\\)\nA=nan\n" "did not converge \\(no start[^\n]*\n$" --model 5 --refine negative.dat)
# A solution with a pole among the points is no fit: named on standard error, the linearised fit, exit 3.
expect(3 "^Y=1/\\(A\\+B\\*X\\)\nA=0\\.404115\n" "gives no fit: its solution [^\n]* puts the model's pole X=-2\\.49579 inside the data \\(X from -2\\.9 to 2\\.6\\)"
       --model 1 --refine scattered.dat)

# --- --all --refine ranks by the refined S: the three exponential forms share the best S
run(--all --refine decay.dat)
string(REGEX MATCHALL "[^\n]+\n" lines "${out}")
list(LENGTH lines count)
list(GET lines 0 first)
if(NOT status EQUAL 0 OR NOT count EQUAL 16 OR NOT first MATCHES "^S=0\\.0596027 A=4\\.99114 ")
  message(SEND_ERROR "--all --refine: exit ${status}, ${count} lines:\n${out}${err}")
endif()

# --- JSON: parsed by CMake's own reader, keys and values checked
run(--model 5 --refine --json decay.dat)
string(JSON a GET "${out}" A)
string(JSON ci_low GET "${out}" ci_A 0)
string(JSON refined GET "${out}" refined)
string(JSON iterations GET "${out}" iterations)
string(JSON n GET "${out}" n)
string(JSON formula GET "${out}" formula)
string(JSON keys LENGTH "${out}")
if(NOT status EQUAL 0 OR NOT a MATCHES "^4\\.9911427" OR NOT ci_low MATCHES "^4\\.88" OR NOT refined STREQUAL "ON"
   OR iterations LESS 1 OR NOT n EQUAL 13 OR NOT formula STREQUAL "Y=A*EXP(B*X)" OR NOT keys EQUAL 16)
  message(SEND_ERROR "--json: ${out} (A ${a}, ci ${ci_low}, refined ${refined}, ${keys} keys)")
endif()
run(--model 5 --json negative.dat)
string(JSON a_type TYPE "${out}" A)
string(JSON file GET "${out}" file)
string(JSON warning GET "${out}" warning)
if(NOT status EQUAL 3 OR NOT a_type STREQUAL "NULL" OR NOT file STREQUAL "negative.dat"
   OR NOT warning MATCHES "^no finite fit: the linearised model cannot take 3 of 3 points, the first is point 1 ")
  message(SEND_ERROR "--json of a fit that is not finite: exit ${status}: ${out}")
endif()
run(--all --json decay.dat decay.txt)
string(REPLACE ";" "," lines_without_list_separators "${out}") # a warning's ";" would split a CMake list
string(REGEX MATCHALL "{[^\n]*}\n" objects "${lines_without_list_separators}")
list(LENGTH objects count)
if(NOT status EQUAL 0 OR NOT count EQUAL 32 OR out MATCHES "decay.dat:\n")
  message(SEND_ERROR "--all --json on two files: exit ${status}, ${count} objects:\n${out}")
endif()

# --- plain tables: with --columns, and found by themselves
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\nA=4\\.79426\n" "^$" --model 5 --columns decay.csv)
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\nA=4\\.79426\n" "^$" --model 5 decay.txt)
expect(1 "^$" "^kelvora-fit: bad.csv: line 3: 3 columns: choose X and Y with --columns=X,Y \\(counted from 1\\)\n$" --columns bad.csv)
expect(1 "^$" "does not start with the number of points \\(a plain table\\? see --columns\\)" decay.csv)

# --- residuals: x,y,fitted,residual per point
run(--residuals decay.dat)
string(REGEX MATCHALL "\n[^,\n]+,[^,\n]+,[^,\n]+,[^,\n]+" rows "${out}")
list(LENGTH rows count)
if(NOT status EQUAL 0 OR NOT out MATCHES "\nx,y,fitted,residual\n0,5\\.02364999[0-9]*,3\\.79469[0-9]*,1\\.22895" OR NOT count EQUAL 14)
  message(SEND_ERROR "--residuals: exit ${status}, ${count} rows:\n${out}")
endif()

# --- pictures: PNG files written, a file that cannot be written is exit 1
expect(0 "" "^$" --model 5 --refine --plot fit.png --plot-residuals residuals.png --size 300x200 decay.dat)
foreach(picture fit.png residuals.png)
  file(READ "${WORK}/${picture}" signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(SEND_ERROR "${picture} is no PNG file: ${signature}")
  endif()
endforeach()
expect(1 "" "^kelvora-fit: no-such-folder/fit.png: No such file or directory\n$" --plot no-such-folder/fit.png decay.dat)
# An empty table is no fit: nothing is printed or drawn. A fit without a value still gives both pictures
# (frame, grid and labels only).
file(WRITE "${WORK}/empty.dat" "0\n")
expect(1 "^$" "^kelvora-fit: empty.dat: no points\n$" --model 8 --refine --residuals --plot e.png --plot-residuals er.png empty.dat)
expect(3 "" "^kelvora-fit: negative.dat: [^\n]+: no finite fit: [^\n]+\n$" --model 5 --plot n.png --plot-residuals nr.png negative.dat)
foreach(picture n.png nr.png)
  if(NOT EXISTS "${WORK}/${picture}")
    message(SEND_ERROR "${picture} was not written")
  endif()
endforeach()
if(EXISTS "${WORK}/e.png" OR EXISTS "${WORK}/er.png")
  message(SEND_ERROR "pictures were drawn of a file without points")
endif()

# --- wrong usage
foreach(case
    "--size 300 --plot a.png decay.dat|--size is WIDTHxHEIGHT"
    "--size 99x200 --plot a.png decay.dat|--size is WIDTHxHEIGHT"
    "--size 5000x200 --plot a.png decay.dat|--size is WIDTHxHEIGHT"
    "--size 300x200 decay.dat|--size applies to --plot"
    "--plot a.png decay.dat decay.txt|--plot and --plot-residuals draw one points file"
    "--plot= decay.dat|--plot and --plot-residuals need a file name"
    "--json --residuals decay.dat|--json and --residuals exclude each other")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 arguments)
  list(GET fields 1 reason)
  separate_arguments(arguments)
  expect_usage("${reason}" ${arguments})
endforeach()
