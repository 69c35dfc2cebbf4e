# SPDX-License-Identifier: GPL-3.0-or-later
# kelvora-fit's weights and fixed parameters from the command line, against SciPy and NumPy values
# (tests/fit/reference_weights.py).   cmake -DFIT=<kelvora-fit> -DWORK=<scratch dir> -P this
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(ROWS "1 2.1 0.1\n2 3.9 0.2\n3 6.2 0.2\n4 7.8 0.4\n5 10.3 0.5\n6 11.8 0.5\n")
file(WRITE "${WORK}/sigma.dat" "6\n${ROWS}")
string(REPLACE " " "," ROWS_CSV "${ROWS}")
file(WRITE "${WORK}/sigma.csv" "x,y,sigma\n${ROWS_CSV}")
file(WRITE "${WORK}/wide.csv" "id,x,note,sigma,y\n1,1,a,0.1,2.1\n2,2,b,0.2,3.9\n3,3,c,0.2,6.2\n4,4,d,0.4,7.8\n5,5,e,0.5,10.3\n6,6,f,0.5,11.8\n")
file(WRITE "${WORK}/zero_sigma.dat" "3\n1 1 0.1\n2 2 0\n3 3 0.1\n")
file(WRITE "${WORK}/short.dat" "3\n1 1 0.1\n2 2\n")
file(WRITE "${WORK}/zero_y.csv" "1,0\n2,2\n3,3\n")

include("${CMAKE_CURRENT_LIST_DIR}/../core/kelvora_fit_expect.cmake")

# --- 1/sigma^2, relative: the weighted line (closed form A=0.105237351792288 B=1.98083253390516,
# se 0.10073306320648 0.0465544885566807), the same from the points file, a table and picked columns
foreach(input sigma.dat "--columns;sigma.csv")
  expect(0 "^Y=A\\+B\\*X\nA=0\\.1052373517922[0-9]*\nB=1\\.980832533905[0-9]*\nS=[^\n]*\nse_A=0\\.100733063206[0-9]*\nse_B=0\\.0465544885566[0-9]*\n.*weighting=1/sigma\\^2 \\(sigma relative\\)\nchi2=2\\.104497802356[0-9]*\nchi2_nu=0\\.52612445058[0-9]*\n$"
         "^$" --sigma --precise ${input})
endforeach()
expect(0 "\nA=0\\.1052373517922[0-9]*\n" "^$" --columns=2,5,4 --precise wide.csv)
# --- ln Y carries the weights as Y^2/sigma^2: the linearised exponential (NumPy: A=1.98183630859458,
# se_A 0.0840151013720591), and least squares on Y with absolute sigma (SciPy: A=1.85715978295142,
# B=0.332371210713722, se_A 0.0718675982979214, chi2 78.5255985933561)
expect(0 "\nA=1\\.981836308594[0-9]*\nB=0\\.32460132852[0-9]*\nS=[^\n]*\nse_A=0\\.08401510137[0-9]*\n" "^$"
       --model 5 --sigma --sigma-kind=absolute --precise sigma.dat)
expect(0 "\nA=1\\.857159[0-9]*\nB=0\\.332371[0-9]*\nS=[^\n]*\nse_A=0\\.0718675[0-9]*\nse_B=0\\.00968058[0-9]*\n.*\nchi2=78\\.52559[0-9]*\n"
       "^$" --model 5 --sigma --sigma-kind absolute --refine --precise sigma.dat)
# --- --weight 1/y (SciPy: A=0.0867511369961241 B=1.97863142077549)
expect(0 "\nA=0\\.0867511[0-9]*\nB=1\\.9786314[0-9]*\n.*weighting=1/y\n" "^$" --weight 1/y --precise --columns=1,2 sigma.csv)
# --- --fix: a line through the origin (closed form B=2.02106631989597, se 0.0263946521836782, 5 dof);
# A of the exponential held at 2, refined on Y (SciPy: B=0.316170256754392, se 0.0185187237393673)
expect(0 "\nA=0\nB=2\\.0210663198959[0-9]*\nS=[^\n]*\nse_A=0\nse_B=0\\.02639465218[0-9]*\n.*fixed: A held at the value given; 5 degrees of freedom\n"
       "^$" --sigma --fix A=0 --precise sigma.dat)
expect(0 "\nA=2\nB=0\\.3161702[0-9]*\nS=[^\n]*\nse_A=0\nse_B=0\\.01851872[0-9]*\n.*refined: " "^$"
       --sigma --fix A=2 --model 5 --refine --precise sigma.dat)
expect(0 "\nA=0\\.01666666666666[0-9]*\nB=2\nS=[^\n]*\nse_A=0\\.0872416821886[0-9]*\n" "^$" --fix B=2 --precise --columns=1,2 sigma.csv)
# A value the model's line cannot give (A of an exponential is positive): said, exit 3.
expect(3 "^Y=A\\*EXP" "gives no A=-1 \\(--fix\\)\n$" --model 5 --fix A=-1 --columns=1,2 sigma.csv)

# --- inputs the weights cannot use
expect(1 "^$" "point 2 \\(X=2, Y=2, SIGMA=0\\) has no positive finite weight" --sigma zero_sigma.dat)
expect(1 "^$" "point 1 \\(X=1, Y=0\\) has no positive finite weight 1/y\n$" --weight 1/y zero_y.csv)
expect(1 "^$" "point 2 lacks its SIGMA" --sigma short.dat)
expect(1 "^$" "line 1: 2 columns, but --sigma reads X, Y and SIGMA" --sigma zero_y.csv)

# --- usage errors: exit 2, one line
expect_usage("--sigma-kind is absolute or relative, not 'both'" --sigma --sigma-kind both sigma.dat)
expect_usage("--sigma-kind applies to --sigma" --sigma-kind absolute sigma.dat)
expect_usage("--weight is 1/y, 1/y2, 1/x or 1/x2, not 'y'" --weight y sigma.dat)
expect_usage("--sigma and --weight exclude each other" --sigma --weight 1/x sigma.dat)
expect_usage("--columns=X,Y\\[,SIGMA\\] or X,Y,SIGMA_X,SIGMA_Y takes two, three or four different" --columns=1,2,2 sigma.csv)
expect_usage("--columns=X,Y\\[,SIGMA\\] or X,Y,SIGMA_X,SIGMA_Y takes two, three or four different" --columns=1,2,3,4,5 sigma.csv)
expect_usage("--fix takes A=VALUE or B=VALUE" --fix C=1 sigma.dat)
expect_usage("--fix takes A=VALUE or B=VALUE" --fix A=nan sigma.dat)
expect_usage("--fix holds one parameter" --fix A=1 --fix B=2 sigma.dat)

# --- --all ranks by AICc of the weighted sum on Y: the weighted line's chi2 2.10449780235628 gives
# 6 ln(chi2/6) + 6 + 24/2 = 11.7139043744
expect(0 "^S=[^\n]* aicc=11\\.71390437[0-9]* akaike_weight=0\\.[0-9]+ model=0 Y=A\\+B\\*X\n" "^$" --all --sigma --precise sigma.dat)
expect_usage("--sigma with --columns=X,Y needs the column of sigma too" --sigma --columns=1,2 sigma.csv)

# --- a weighted refinement that leaves out a point where the model has no value keeps each weight with
# its point (SciPy on the six points with sigma = Y: A=1.89065985579057 B=1.46419619301133,
# se 0.193340311501846 0.103445257273371, chi2 0.129273878530978, weighted R2 0.961998)
file(WRITE "${WORK}/power.dat" "7\n-1 1\n0.5 0.8\n1 1.9\n2 4.2\n3 8.8\n4 16.5\n5 24\n")
expect(0 "\nA=1\\.890659[0-9]*\nB=1\\.464196[0-9]*\nS=[^\n]*\nse_A=0\\.1933403[0-9]*\nse_B=0\\.1034452[0-9]*\n.*\nr2=0\\.961998[0-9]*\n.*\nchi2=0\\.12927387[0-9]*\n.*1 point where the model has no value left out\n$"
       "^$" --model 8 --refine --weight 1/y2 --precise power.dat)

# --- a prediction with absolute sigma: the curve's variance from (X'WX)^-1, a new measurement with the
# sigma of the point nearest in X (0.4 at X=4); NumPy: Y 8.42473399419396, ci [7.94371849944733,
# 8.90574948894059], pi [7.21446150680335, 9.63500648158456], t(0.975, 4)
expect(0 "\npredict: X=4\\.2[0-9]* Y=8\\.4247339941[0-9]* ci=\\[7\\.9437184994[0-9]*, 8\\.9057494889[0-9]*\\] pi=\\[7\\.2144615068[0-9]*, 9\\.6350064815[0-9]*\\]\n$"
       "^$" --sigma --sigma-kind absolute --predict 4.2 --precise sigma.dat)

# --- a fixed parameter refined as the two-parameter refinement is: started from the line through the
# points it takes, over the points where the model has a value (SciPy on the six: B=1.98604221428485,
# se 0.0137899472718886, 5 degrees of freedom)
expect(0 "\nA=1\nB=1\\.98604221[0-9]*\nS=[^\n]*\nse_A=0\nse_B=0\\.013789947[0-9]*\n.*fixed: A held at the value given; 5 degrees of freedom\nrefined: [^\n]*; 1 point where the model has no value left out\n$"
       "^$" --model 8 --fix A=1 --refine --precise power.dat)
