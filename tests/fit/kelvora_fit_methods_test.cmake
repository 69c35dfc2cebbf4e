# SPDX-License-Identifier: GPL-3.0-or-later
# kelvora-fit's further fit methods from the command line, against published and independent values:
# York's line on Pearson's data with York's weights, orthogonal distance regression against SciPy's odr
# (tests/fit/reference_odr.py), the Puromycin data with a shared half-saturation constant (Bates and
# Watts) and R's profile intervals, a robust line, excluded points and the bootstrap's seed.
#   cmake -DFIT=<kelvora-fit> -DWORK=<scratch dir> -P this
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
include("${CMAKE_CURRENT_LIST_DIR}/../core/kelvora_fit_expect.cmake")

# Pearson's data, sigma = 1/sqrt(w) of York's weights (wX, wY).
file(WRITE "${WORK}/pearson.dat" "10\n0 5.9 0.031622776601683791 1\n0.9 5.4 0.031622776601683791 0.7453559924999299\n"
     "1.8 4.4 0.044721359549995794 0.5\n2.6 4.6 0.035355339059327376 0.35355339059327373\n"
     "3.3 3.5 0.070710678118654752 0.22360679774997896\n4.4 3.7 0.11180339887498948 0.22360679774997896\n"
     "5.2 2.8 0.12909944487358055 0.11952286093343936\n6.1 2.8 0.22360679774997896 0.11952286093343936\n"
     "6.5 2.4 0.7453559924999299 0.10000000000000001\n7.4 1.5 1 0.044721359549995794\n")
file(WRITE "${WORK}/saturation.csv" "x,y,sx,sy\n0.021463,45.2133,0.003,4\n0.0451266,87.762,0.004,4\n"
     "0.0520066,104.89,0.005,4\n0.115785,133.438,0.0075,4\n0.206331,160.428,0.013,4\n0.311552,170.628,0.017,4\n"
     "0.499196,186.216,0.03,4\n0.767871,204.315,0.042,4\n1.07892,200.204,0.057,4\n1.37031,204.266,0.077,4\n")
file(WRITE "${WORK}/three.dat" "3\n1 2 0.1\n2 4 0.1\n3 6.1 0.1\n")
file(WRITE "${WORK}/treated.dat" "12\n0.02 76\n0.02 47\n0.06 97\n0.06 107\n0.11 123\n0.11 139\n0.22 159\n0.22 152\n"
     "0.56 191\n0.56 201\n1.10 207\n1.10 200\n")
file(WRITE "${WORK}/untreated.dat" "11\n0.02 67\n0.02 51\n0.06 84\n0.06 86\n0.11 98\n0.11 115\n0.22 131\n0.22 124\n"
     "0.56 144\n0.56 158\n1.10 160\n")
file(WRITE "${WORK}/joined.dat" "23\n0.02 76\n0.02 47\n0.06 97\n0.06 107\n0.11 123\n0.11 139\n0.22 159\n0.22 152\n"
     "0.56 191\n0.56 201\n1.10 207\n1.10 200\n0.02 67\n0.02 51\n0.06 84\n0.06 86\n0.11 98\n0.11 115\n0.22 131\n"
     "0.22 124\n0.56 144\n0.56 158\n1.10 160\n")
# Y = 1 + 2X with a ripple, point 6 thrown 100 up; clean.dat is the same without it.
file(WRITE "${WORK}/outlier.dat" "12\n1 3\n2 5.086320937\n3 6.905837626\n4 9.001681390\n5 11.08545989\n6 112.9129\n"
     "7 14.99408449\n8 17.08382557\n9 18.91998926\n10 21.01578813\n11 23.09091767\n12 24.90656818\n")
file(WRITE "${WORK}/clean.dat" "11\n1 3\n2 5.086320937\n3 6.905837626\n4 9.001681390\n5 11.08545989\n"
     "7 14.99408449\n8 17.08382557\n9 18.91998926\n10 21.01578813\n11 23.09091767\n12 24.90656818\n")

# --- errors in both: York's published line (A 5.47991022, B -0.480533407, sigma 0.29497 and 0.057985,
# MSWD 1.48329), the errors scaled by sqrt(MSWD) beside them
expect(0 "^Y=A\\+B\\*X\nA=5\\.4799102[0-9]*\nB=-0\\.4805334[0-9]*\n.*\nse_A=0\\.294970[0-9]*\nse_B=0\\.0579850[0-9]*\n.*\nmethod=york\nmswd=1\\.483294[0-9]*\nse_A_scaled=0\\.35924[0-9]*\n"
       "^$" --sigma-xy --precise pearson.dat)
expect(0 "\"method\":\"york\",\"mswd\":1\\.48329[0-9]*,\"se_A_scaled\":" "^$" --sigma-xy --json pearson.dat)
# the regression of A*X/(B+X) from a table's four columns (SciPy odr: A 214.099375371855,
# B 0.066929838957495, se 2.76210021083019 0.00469043100354154, chi2 9.94244272585359)
expect(0 "\nA=214\\.0993753[0-9]*\nB=0\\.06692983[0-9]*\nS=[^\n]*\nse_A=2\\.762100[0-9]*\nse_B=0\\.00469043[0-9]*\n.*\nchi2=9\\.9424427[0-9]*\n.*method=odr\n"
       "^$" --model 12 --sigma-xy --columns --precise saturation.csv)
expect(0 "\nA=214\\.0993753" "^$" --model 12 --sigma-xy --columns=1,2,3,4 --precise saturation.csv)
expect(2 "^$" "line 2 holds 3 numbers, but --sigma-xy reads X Y SIGMA_X SIGMA_Y per point\n$" --sigma-xy three.dat)
file(WRITE "${WORK}/zero_sx.dat" "3\n1 2 0.1 0.1\n2 4 0 0.1\n3 6.1 0.1 0.1\n")
expect(1 "^$" "point 2 \\(X=2, Y=4, SIGMA_X=0\\) has no positive finite SIGMA_X\n$" --sigma-xy zero_sx.dat)
expect_usage("--sigma-xy and --fix exclude each other" --sigma-xy --fix A=0 pearson.dat)
expect_usage("--sigma-xy and --sigma exclude each other" --sigma-xy --sigma pearson.dat)

# --- shared K of the Puromycin curves: K 0.057972, RSS 2240.891, F 1.7182 on (1, 19), p 0.2056
expect(0 "^Y=A\\*X/\\(B\\+X\\)\nshared=B\nB=0\\.05797[0-9]*\nse_B=[^\n]*\nfile=treated\\.dat n=12 A=[^\n]*\nfile=untreated\\.dat n=11 A=[^\n]*\nrss=2240\\.891[0-9]*\ndof=20\nrss_separate=[^\n]*\ndof_separate=19\nF=1\\.7181[0-9]* df1=1 df2=19 p=0\\.20555[0-9]*\naicc=[^\n]*\naicc_separate="
       "^$" --model 12 --share=B --precise treated.dat untreated.dat)
expect(0 "^\\{\"model\":12,[^\n]*\"files\":\\[\\{\"file\":\"treated\\.dat\",\"A\":[^\n]*\"f_test\":\\{\"F\":1\\.718[0-9]*,\"df1\":1,\"df2\":19,\"p\":0\\.2055[0-9]*\\}"
       "^$" --model 12 --share B --json treated.dat untreated.dat)
# sharing both: the refined fit of the files joined (A 190.806, B 0.060389)
run(--model 12 --refine joined.dat)
string(REGEX MATCH "A=([^\n]*)\nB=([^\n]*)" joined "${out}")
expect(0 "shared=A,B\nA=${CMAKE_MATCH_1}\nse_A=[^\n]*\nB=${CMAKE_MATCH_2}\n" "^$" --model 12 --share=A,B treated.dat untreated.dat)
expect_usage("--share fits two or more files together, not 1" --model 12 --share=B treated.dat)
expect_usage("--share is A, B or A,B" --model 12 --share=C treated.dat untreated.dat)

# --- robust: the outlier weighed out; the line within a fraction of its error of the clean line
expect(0 "^Y=A\\+B\\*X\nA=1\\.02[0-9]*\nB=1\\.99[0-9]*\n.*robust=bisquare\n.*weighed_down=6 \\(0\\)\n" "^$" --robust --refine outlier.dat)
expect(0 "\"robust\":\"huber\",[^\n]*\"robust_weights\":\\[[^]]*\\]" "^$" --robust=huber --json outlier.dat)
expect_usage("--robust is bisquare, huber, cauchy, fair or welsch, not 'tukey'" --robust=tukey outlier.dat)

# --- excluded points: the fit is that of the file without them
run(clean.dat)
string(REGEX MATCH "A=[^\n]*\nB=[^\n]*\nS=[^\n]*\nse_A=[^\n]*" clean "${out}")
expect(0 "^Y=A\\+B\\*X\n${clean}\n.*\nexcluded=6\nn_excluded=1\n$" "^$" --exclude 6 outlier.dat)
expect(0 "excluded=2-4,6\nn_excluded=4\n" "^$" --exclude=3,2-4,6 outlier.dat)
expect(2 "^$" "--exclude: point 13 is past the last point \\(12\\)" --exclude 13 outlier.dat)
expect_usage("--exclude: the range 5-3 runs backwards" --exclude 5-3 outlier.dat)
expect(1 "^$" "--exclude leaves no point to fit\n$" --exclude 1-12 outlier.dat)

# --- profile intervals of the treated curve (R's confint: A [197.30, 229.29], B [0.046920, 0.086157])
expect(0 "\nci_A=\\[197\\.30[0-9]*, 229\\.28[0-9]*\\]\nci_B=\\[0\\.04692[0-9]*, 0\\.08615[0-9]*\\]\n.*ci_method=profile\nci_A_wald="
       "^$" --model 12 --refine --ci=profile --precise treated.dat)
expect_usage("--ci=profile needs --refine" --model 12 --ci=profile treated.dat)

# --- the bootstrap: one seed, one output byte for byte; another seed, other intervals
run(--model 12 --refine --bootstrap=300 --seed=7 --json treated.dat)
set(first "${out}")
run(--model 12 --refine --bootstrap=300 --seed=7 --json treated.dat)
if(NOT out STREQUAL first OR NOT first MATCHES "\"ci_method\":\"bootstrap\"")
  message(SEND_ERROR "the same seed gave another bootstrap:\n${first}\n${out}")
endif()
run(--model 12 --refine --bootstrap=300 --seed=8 --json treated.dat)
if(out STREQUAL first)
  message(SEND_ERROR "another seed gave the same bootstrap:\n${out}")
endif()
expect_usage("--seed applies to --bootstrap" --seed 3 treated.dat)
expect_usage("--bootstrap takes the number of resamples" --bootstrap=0 treated.dat)
