# SPDX-License-Identifier: GPL-3.0-or-later
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
expect(3 "^Y=1/\\(A\\+B\\*X\\)\nA=0\\.404115\n" "gives no fit: after 200 iterations [^\n]* put the model's pole X=-1\\.84512 inside the data \\(X from -2\\.9 to 2\\.6\\)"
       --model 1 --refine scattered.dat)

# --- --all --refine ranks by the refined S: the three exponential forms share the best S
run(--all --refine decay.dat)
string(REGEX MATCHALL "[^\n]+\n" lines "${out}")
list(LENGTH lines count)
list(GET lines 0 first)
if(NOT status EQUAL 0 OR NOT count EQUAL 16 OR NOT first MATCHES "^S=0\\.0596027 A=4\\.99114 ")
  message(SEND_ERROR "--all --refine: exit ${status}, ${count} lines:\n${out}${err}")
endif()

# --- the ranking is by AICc on Y (SciPy's least squares on Y, then n ln(RSS/n) + 2K + 2K(K+1)/(n-K-1)
# with K = 3: -65.6952893447 for the three exponential forms, Akaike weight 1/3 each; -20.1924041788 and
# weight 4.38583992e-11 for 1/(A+B*X) and A/(B+X)); the fits of fewer points come after every fit of all
# thirteen, without an Akaike weight
run(--all --refine --precise decay.dat)
string(REGEX MATCHALL "[^\n]+\n" lines "${out}")
list(GET lines 0 first)
list(GET lines 3 fourth)
list(GET lines 8 ninth)
if(NOT first MATCHES " aicc=-65\\.69528934[0-9]* akaike_weight=0\\.333333333[0-9]* model=4 Y=A\\*B\\^X\n$"
   OR NOT fourth MATCHES " aicc=-20\\.19240417[0-9]* akaike_weight=4\\.3858399[0-9]*e-11 model=1 Y=1/\\(A\\+B\\*X\\)\n$"
   OR NOT ninth MATCHES "akaike_weight=nan model=9 Y=A\\+B\\*LOG10\\(X\\) \\(12 of 13 points")
  message(SEND_ERROR "--all --refine ranked by AICc:\n${out}")
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
   OR iterations LESS 1 OR NOT n EQUAL 13 OR NOT formula STREQUAL "Y=A*EXP(B*X)" OR NOT keys EQUAL 20)
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
expect(1 "^$" "^kelvora-fit: bad.csv: line 3: 3 columns: give --columns=1,2 for X and Y, or --sigma \\(--columns=1,2,3\\) to read the third as sigma of Y\n$" --columns bad.csv)
expect(1 "^$" "does not start with the number of points \\(a plain table\\? see --columns\\)" decay.csv)

# --- residuals: a CSV alone on standard output, x,y,fitted,residual per point with X and Y as the file
# writes them; the block goes to standard error
run(--residuals decay.dat)
string(REGEX MATCHALL "[^,\n]+,[^,\n]+,[^,\n]+,[^,\n]+\n" rows "${out}")
list(LENGTH rows count)
if(NOT status EQUAL 0 OR NOT out MATCHES "^x,y,fitted,residual\n0,5\\.02365,3\\.79469[0-9]*,1\\.22895" OR NOT count EQUAL 14
   OR NOT err MATCHES "^Y=A\\+B\\*X\nA=3\\.79469")
  message(SEND_ERROR "--residuals: exit ${status}, ${count} rows:\n${out}\n${err}")
endif()
# A table's fields are echoed as written too, decimal commas read as points; several files name
# themselves on standard error.
file(WRITE "${WORK}/echo.csv" "x;y\n121,90;1,50\n122,10;2,25\n\"1e2\";3\n")
expect(0 "^x,y,fitted,residual\n121\\.90,1\\.50,[^\n]*\n122\\.10,2\\.25,[^\n]*\n1e2,3,[^\n]*\n$"
       "^kelvora-fit: echo.csv: reading decimal commas[^\n]*\nY=A" --residuals echo.csv)
expect(0 "^x,y,fitted,residual\n[^\n]*\n[^\n]*\n[^\n]*\nx,y,fitted,residual\n" "^echo.csv:\n[^\n]*reading decimal commas[^\n]*\nY=A.*\n\necho.csv:\n"
       --residuals echo.csv echo.csv)

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

# --- predictions on Y (SciPy's least squares on Y, its covariance, delta method, Student t with 11 dof):
# at X=1 Y=3.02386102400757, ci [2.97006989419705, 3.07765215381809], pi [2.87666247715288, 3.17105957086226];
# the inverse at Y=2: X=1.82490970657452 in [1.67879429229187, 1.97102512085717]; Y=9 is never reached
expect(0 "\npredict: X=1 Y=3\\.0238610[0-9]* ci=\\[2\\.9700698[0-9]*, 3\\.0776521[0-9]*\\] pi=\\[2\\.8766624[0-9]*, 3\\.1710595[0-9]*\\]\ninverse: Y=2 X=1\\.8249097[0-9]* ci=\\[1\\.6787942[0-9]*, 1\\.9710251[0-9]*\\]\ninverse: Y=9 X=nan \\(the model does not reach Y monotonically[^\n]*\n$"
       "^$" --model 5 --refine --predict 1 --inverse 2,9 --precise decay.dat)
# A model that turns within the data has no inverse there: Y=A+B*X^2 over X from -1 to 1.
file(WRITE "${WORK}/parabola.dat" "5\n-1 1.1\n-0.5 0.24\n0 0.01\n0.5 0.26\n1 0.98\n")
expect(0 "\ninverse: Y=0\\.5 X=nan " "^$" --model 15 --inverse 0.5 parabola.dat)
# --- the band in the residual CSV: the straight line's prediction band in closed form (NumPy:
# t(0.975, 4) s sqrt(1 + 1/n + (x - mean)^2 / Sxx) at X=4: [7.2969276166148, 8.71640571671854])
file(WRITE "${WORK}/line.txt" "1 2.1\n2 3.9\n3 6.2\n4 7.8\n5 10.3\n6 11.8\n")
expect(0 "^x,y,fitted,residual,pi_low,pi_high\n.*\n4,7\\.8,8\\.00[0-9]*,-0\\.20[0-9]*,7\\.29692761661[0-9]*,8\\.7164057167[0-9]*\n"
       "^Y=A" --residuals --band=prediction line.txt)
expect(0 "^x,y,fitted,residual,ci_low,ci_high\n" "^Y=A" --residuals --band line.txt)
expect_usage("--predict takes X values, finite numbers separated by commas, not '1,,2'" --predict 1,,2 line.txt)
expect_usage("--inverse takes Y values[^\n]* not 'inf'" --inverse inf line.txt)
expect_usage("--band is confidence \\(the default\\) or prediction, not 'wide'" --band=wide --residuals line.txt)
expect_usage("--band applies to --residuals" --band line.txt)
expect_usage("--band applies to --residuals" --band --plot band.png line.txt)

# --- the block for a paper: SE to two significant digits, the value rounded to match (SciPy: A=4.99114
# se 0.0499569, B=-0.501130 se 0.00820512, corr(A,B) = -0.6216); an SE above 100 keeps
# two significant digits
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\nA = 4\\.991 ± 0\\.050\nB = -0\\.5011 ± 0\\.0082\nn = 13, dof = 11\nS = 0\\.0596\nR2 \\(on Y\\) = 0\\.99841\ncorr\\(A,B\\) = -0\\.622\nweighting: none\nrefined: least squares on Y, [0-9]+ iterations\n$"
       "^$" --report --model 5 --refine decay.dat)
file(WRITE "${WORK}/big.dat" "3\n1 1000\n2 2150\n3 2900\n")
expect(0 "^Y=A\\+B\\*X\nA = 120 ± 250\nB = 950 ± 120\nn = 3, dof = 1\n.*refined: no \\(linearised fit\\)\n$" "^$" --report big.dat)
expect(0 "\nA = 0 \\(fixed\\)\nB = [0-9.]+ ± [0-9.]+\nn = 6, dof = 5\n" "^$" --report --fix A=0 line.txt)
expect_usage("--report and --json exclude each other" --report --json line.txt)
expect_usage("--report and --all exclude each other" --report --all line.txt)

# --- JSON of the new measures: dof, cov_AB and corr_AB (SciPy: -0.000255006302 and -0.622115229712),
# the weighting, the predictions and inverses of the fit; AICc and Akaike weights with --all; chi2 with
# weights; corr_AB of a fit with a fixed parameter has no value
run(--model 5 --refine --json --predict 1 --inverse 2,9 decay.dat)
string(JSON dof GET "${out}" dof)
string(JSON cov GET "${out}" cov_AB)
string(JSON corr GET "${out}" corr_AB)
string(JSON weighting GET "${out}" weighting)
string(JSON px GET "${out}" predictions 0 x)
string(JSON py GET "${out}" predictions 0 y)
string(JSON pi_high GET "${out}" predictions 0 pi 1)
string(JSON ix GET "${out}" inverse 0 x)
string(JSON none_type TYPE "${out}" inverse 1 x)
if(NOT dof EQUAL 11 OR NOT cov MATCHES "^-0\\.000255006" OR NOT corr MATCHES "^-0\\.6221152" OR NOT weighting STREQUAL "none"
   OR NOT px EQUAL 1 OR NOT py MATCHES "^3\\.0238610" OR NOT pi_high MATCHES "^3\\.1710595" OR NOT ix MATCHES "^1\\.8249097"
   OR NOT none_type STREQUAL "NULL")
  message(SEND_ERROR "--json measures: ${out}")
endif()
run(--all --json --refine decay.dat)
string(REGEX MATCH "^[^\n]+" first "${out}")
string(JSON aicc GET "${first}" aicc)
string(JSON weight GET "${first}" akaike_weight)
string(JSON has_chi2 ERROR_VARIABLE missing GET "${first}" chi2)
if(NOT aicc MATCHES "^-65\\.695289" OR NOT weight MATCHES "^0\\.33333" OR NOT missing)
  message(SEND_ERROR "--all --json: ${first}")
endif()
run(--json --weight 1/y2 --fix A=0 line.txt)
string(JSON weighting GET "${out}" weighting)
string(JSON chi2_nu GET "${out}" chi2_nu)
string(JSON corr_type TYPE "${out}" corr_AB)
string(JSON dof GET "${out}" dof)
if(NOT weighting STREQUAL "1/y^2" OR NOT chi2_nu GREATER 0 OR NOT corr_type STREQUAL "NULL" OR NOT dof EQUAL 5)
  message(SEND_ERROR "--json weighted, fixed: ${out}")
endif()

# --- the publication plot draws the sigma of --sigma as error bars and the band of --band
file(WRITE "${WORK}/sigma.dat" "8\n0 5.1 0.3\n1 3.0 0.25\n2 1.9 0.2\n3 1.1 0.15\n4 0.72 0.1\n5 0.40 0.08\n6 0.26 0.06\n7 0.15 0.05\n")
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\n" "^$" --model 5 --sigma --refine --band=prediction --residual-panel --plot sigma.svg sigma.dat)
file(READ "${WORK}/sigma.svg" svg)
string(REGEX MATCHALL "<path" paths "${svg}")
list(LENGTH paths pathCount)
if(NOT svg MATCHES "fill-opacity:0\\.2" OR pathCount LESS 20)
  message(SEND_ERROR "--sigma --band --plot sigma.svg: no band, or ${pathCount} paths")
endif()
expect(0 "^Y=A\\*EXP\\(B\\*X\\)\n" "^$" --model 5 --sigma --plot plain.svg sigma.dat)
file(READ "${WORK}/plain.svg" svg)
if(svg MATCHES "fill-opacity:0\\.2")
  message(SEND_ERROR "--plot plain.svg draws a band that was not asked for")
endif()

# --- a misspelt option names the option it most likely means; a name near none names none
expect_usage("unknown option '--modle'; did you mean --model\\?" --modle 5 line.txt)
expect_usage("unknown option '-refine'; did you mean --refine\\?" -refine line.txt)
expect_usage("unknown option '--frobnicate' \\(see" --frobnicate line.txt)

# --- --all names each model by its number (model 15 with its N) and marks the forms of one curve
run(--all decay.dat)
if(NOT out MATCHES " model=4 Y=A\\*B\\^X\n[^\n]* model=5 Y=A\\*EXP\\(B\\*X\\) \\(the curve of model 4 in another form\\)\n"
   OR NOT out MATCHES " model=15 N=2 Y=A\\+B\\*X\\^N\n" OR NOT out MATCHES " model=11 Y=A/\\(B\\+X\\) \\(the curve of model 1 in")
  message(SEND_ERROR "--all names the models:\n${out}")
endif()
