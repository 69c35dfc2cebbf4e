# SPDX-License-Identifier: GPL-3.0-or-later
# kelvora-fit at its edges: pictures that must never destroy a file, inputs that must never give a partial
# or empty fit, and inputs without end. Each group holds the cases of one kind of fault.
#   cmake -DFIT=<kelvora-fit> -DWORK=<scratch dir> -P this
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
include("${CMAKE_CURRENT_LIST_DIR}/../core/kelvora_fit_expect.cmake")

file(WRITE "${WORK}/a.dat" "4\n0 2\n1 5\n2 8\n3 11\n")
file(WRITE "${WORK}/b.dat" "3\n1 2\n2 4.5\n3 6\n")
set(OLD "old contents the user keeps\n")

# run_shell(<script> <args>...): runs sh -c script with $0 = kelvora-fit, $1.. = args, in WORK.
function(run_shell script)
  execute_process(COMMAND sh -c "${script}" "${FIT}" ${ARGN} WORKING_DIRECTORY "${WORK}" TIMEOUT 60
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(status "${status}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_file path expected what)
  file(READ "${WORK}/${path}" content)
  if(NOT content STREQUAL expected)
    message(SEND_ERROR "${what}: ${path} holds '${content}'")
  endif()
endfunction()

# split_case(<case> <first> <second>): the two parts of "first|second".
function(split_case case first second)
  string(FIND "${case}" "|" bar REVERSE)
  string(SUBSTRING "${case}" 0 ${bar} part)
  set(${first} "${part}" PARENT_SCOPE)
  math(EXPR after "${bar} + 1")
  string(SUBSTRING "${case}" ${after} -1 part)
  set(${second} "${part}" PARENT_SCOPE)
endfunction()

function(expect_no_leftovers what)
  file(GLOB_RECURSE leftovers LIST_DIRECTORIES false "${WORK}/.kv*")
  if(leftovers)
    message(SEND_ERROR "${what}: temporary files left: ${leftovers}")
    file(REMOVE ${leftovers})
  endif()
endfunction()

# --- no file destroyed: a picture replaces its target only when complete
# A file-size limit: the write fails, the old file stays as it was.
file(WRITE "${WORK}/limited.png" "${OLD}")
run_shell("ulimit -f 1 && exec \"$0\" --plot limited.png a.dat" )
if(NOT status EQUAL 1 OR NOT err MATCHES "^kelvora-fit: limited.png: File too large\n$")
  message(SEND_ERROR "file-size limit: exit ${status}\n${err}")
endif()
expect_file(limited.png "${OLD}" "file-size limit")
expect_no_leftovers("file-size limit")

# The same for a publication plot, which cairo writes through the same replace.
foreach(name limited.svg limited.pdf)
  file(WRITE "${WORK}/${name}" "${OLD}")
  run_shell("ulimit -f 1 && exec \"$0\" --residual-panel --plot ${name} a.dat")
  if(NOT status EQUAL 1 OR NOT err MATCHES "^kelvora-fit: ${name}: File too large\n$")
    message(SEND_ERROR "file-size limit, ${name}: exit ${status}\n${err}")
  endif()
  expect_file(${name} "${OLD}" "file-size limit, ${name}")
  expect_no_leftovers("file-size limit, ${name}")
endforeach()

# The mode of a replaced file stays; a symbolic link is written through and stays a link.
file(WRITE "${WORK}/kept-mode.png" "${OLD}")
file(CHMOD "${WORK}/kept-mode.png" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
file(WRITE "${WORK}/target.png" "${OLD}")
file(CREATE_LINK target.png "${WORK}/link.png" SYMBOLIC)
expect(0 "^Y=A" "^$" --plot kept-mode.png --plot-residuals link.png a.dat)
file(READ "${WORK}/kept-mode.png" signature LIMIT 4 HEX)
execute_process(COMMAND stat -c %a "${WORK}/kept-mode.png" OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT signature STREQUAL "89504e47" OR NOT mode STREQUAL "640")
  message(SEND_ERROR "replaced picture: signature ${signature}, mode ${mode} (640 expected)")
endif()
file(READ "${WORK}/target.png" signature LIMIT 4 HEX)
if(NOT IS_SYMLINK "${WORK}/link.png" OR NOT signature STREQUAL "89504e47")
  message(SEND_ERROR "a link is written through: link kept? target ${signature}")
endif()
# Not a regular file: a folder is never replaced.
file(MAKE_DIRECTORY "${WORK}/folder.png")
expect(1 "" "^kelvora-fit: folder.png: not a regular file; it is left as it is\n$" --plot folder.png a.dat)
if(NOT IS_DIRECTORY "${WORK}/folder.png")
  message(SEND_ERROR "the folder named as the picture is gone")
endif()
expect_no_leftovers("not a regular file")

# Unprivileged, for whom permissions hold: a read-only picture and a read-only folder keep their file.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(SETPRIV setpriv)
if(uid STREQUAL "0" AND SETPRIV)
  foreach(case "read-only file|777|444|cannot be replaced: Permission denied"
               "read-only folder|555|666|Permission denied")
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 name)
    list(GET fields 1 folder_mode)
    list(GET fields 2 file_mode)
    list(GET fields 3 reason)
    set(place "${WORK}/${name}")
    file(MAKE_DIRECTORY "${place}")
    file(WRITE "${place}/kept.png" "${OLD}")
    execute_process(COMMAND chmod ${file_mode} "${place}/kept.png")
    execute_process(COMMAND chmod ${folder_mode} "${place}")
    execute_process(COMMAND "${SETPRIV}" --reuid=65534 --regid=65534 --clear-groups "${FIT}" --plot "${place}/kept.png"
                            "${WORK}/a.dat" OUTPUT_QUIET ERROR_VARIABLE err RESULT_VARIABLE status)
    execute_process(COMMAND chmod 755 "${place}")
    if(NOT status EQUAL 1 OR NOT err MATCHES "kept.png: ${reason}\n$")
      message(SEND_ERROR "${name}, unprivileged: exit ${status}\n${err}")
    endif()
    expect_file("${name}/kept.png" "${OLD}" "${name}, unprivileged")
    file(GLOB entries RELATIVE "${place}" "${place}/*" "${place}/.*")
    if(NOT entries STREQUAL "kept.png")
      message(SEND_ERROR "${name}, unprivileged: left ${entries}")
    endif()
  endforeach()
else()
  message(STATUS "not root or no setpriv: the read-only places are not tried unprivileged")
endif()

# A full disk and a device node, on a small file system of its own in a private mount namespace.
file(MAKE_DIRECTORY "${WORK}/small")
file(WRITE "${WORK}/namespace.sh" [=[
fit=$1
mount -t tmpfs -o size=4k tmpfs small || exit 77
printf 'old contents the user keeps\n' > small/full.png
"$fit" --plot small/full.png a.dat >/dev/null 2>full.err
echo "full $? $(cat full.err) $(cat small/full.png | tr -d '\n') $(ls -A small | tr '\n' ' ')"
umount small
mount -t tmpfs -o size=1m tmpfs small || exit 77
mknod small/device.png c 1 7 || exit 77
"$fit" --plot small/device.png a.dat >/dev/null 2>device.err
echo "device $? $(cat device.err) $(stat -c %F small/device.png) $(ls -A small | tr '\n' ' ')"
]=])
execute_process(COMMAND unshare -m sh "${WORK}/namespace.sh" "${FIT}" WORKING_DIRECTORY "${WORK}" TIMEOUT 60
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(STATUS "no private mount namespace with a small tmpfs here (exit ${status}: ${err}): the full disk and "
                 "the device node are not tried")
else()
  set(full_line "full 1 kelvora-fit: small/full.png: No space left on device old contents the user keeps full.png \n")
  set(device_line "device 1 kelvora-fit: small/device.png: not a regular file; it is left as it is character special file device.png \n")
  if(NOT out MATCHES "^${full_line}${device_line}$")
    message(SEND_ERROR "full disk and device node:\n${out}")
  endif()
endif()

# --- a picture's name ends in .png and never names an input of the run
foreach(case
    "--plot a.dat b.dat|--plot draws FILE.png, FILE.svg or FILE.pdf, not 'a.dat'"
    "--plot-residuals b.dat --plot x.png a.dat|--plot-residuals writes a PNG picture: its name must end in .png"
    "--plot .png a.dat|--plot draws FILE.png, FILE.svg or FILE.pdf, not '.png'"
    "--plot .svg a.dat|--plot draws FILE.png, FILE.svg or FILE.pdf, not '.svg'"
    "--plot-residuals r.svg a.dat|--plot-residuals writes a PNG picture: its name must end in .png"
    "--plot input.pdf input.pdf|--plot would replace the input file 'input.pdf'"
    "--residual-panel a.dat|--residual-panel applies to --plot FILE.svg or FILE.pdf"
    "--residual-panel --plot x.png a.dat|--residual-panel applies to --plot FILE.svg or FILE.pdf"
    "--plot p.png --plot-residuals p.png a.dat|--plot and --plot-residuals name the same file"
    "--plot input.png input.png|--plot would replace the input file 'input.png'"
    "--plot-residuals input-link.png input.png|--plot-residuals would replace the input file 'input.png'")
  split_case("${case}" arguments reason)
  separate_arguments(arguments)
  file(COPY_FILE "${WORK}/a.dat" "${WORK}/input.png")
  file(COPY_FILE "${WORK}/a.dat" "${WORK}/input.pdf")
  file(CREATE_LINK input.png "${WORK}/input-link.png" SYMBOLIC)
  expect_usage("${reason}" ${arguments})
  file(REMOVE "${WORK}/input-link.png")
  expect_file(a.dat "4\n0 2\n1 5\n2 8\n3 11\n" "${arguments}")
  expect_file(input.png "4\n0 2\n1 5\n2 8\n3 11\n" "${arguments}")
  expect_file(input.pdf "4\n0 2\n1 5\n2 8\n3 11\n" "${arguments}")
endforeach()
expect(0 "^Y=A" "^$" --plot UPPER.PNG a.dat)

# --- no partial or empty fit: "FILE: reason" on standard error, nothing on standard output, exit 1
set(NOT_WHOLE "the number of points \"([^\"]+)\" is not a whole number")
foreach(case
    # a count that is not a whole number
    "4.5\n0 2\n1 5\n2 8\n3 11\n|line 1: the number of points \"4.5\" is not a whole number"
    "1e1\n1 2\n|line 1: the number of points \"1e1\" is not a whole number"
    "5abc\n1 2\n|line 1: the number of points \"5abc\" is not a whole number"
    # a token among the points that is not a number
    "4\n0 2\n1 5\n2 4x\n3 11\n|line 4: \"4x\" is not a number"
    "3\n1 2\n# second run\n3 4\n5 6\n|line 3: \"#\" is not a number"
    "2\n1,5 2\n3 4\n|line 2: \"1,5\" is not a number"
    # no usable point
    "0\n|no points"
    "   \n0\n\n|no points"
    "2\n|no points \\(the file's count is 2, but it holds no complete point\\)"
    "x,y\n|the file does not start with the number of points \\(a plain table\\? see --columns\\)"
    # what only strtod reads is refused, in points files and tables
    "3\n1 0x10\n2 3\n4 5\n|line 2: \"0x10\" is not a finite decimal number"
    "2\n1 2\n3 nan\n|line 3: \"nan\" is not a finite decimal number"
    "2\n1 2\n-INF 3\n|line 3: \"-INF\" is not a finite decimal number"
    "2\n1 1e400\n2 3\n|line 2: \"1e400\" is not a finite decimal number"
    "1,2\n3,Infinity\n4,5\n|line 2: \"Infinity\" is not a finite decimal number"
    # plain tables
    "1,time\n2,3\n4,5\n|line 1: \"time\" is not a number"
    "1;2\n3;4kg\n|line 2: \"4kg\" is not a number"
    "1,2,3\n4,5,6\n|line 1: 3 columns: give --columns=1,2 for X and Y, or --sigma \\(--columns=1,2,3\\) to read the third as sigma of Y"
    "1,2,3,4\n4,5,6,7\n|line 1: 4 columns: choose X and Y with --columns=X,Y \\(counted from 1\\)")
  split_case("${case}" text reason)
  file(WRITE "${WORK}/case.txt" "${text}")
  expect(1 "^$" "^kelvora-fit: case.txt: ${reason}\n$" case.txt)
  expect(1 "^$" "^kelvora-fit: case.txt: ${reason}\n$" --all --refine case.txt)
endforeach()
file(WRITE "${WORK}/header.csv" "time;signal\n")
expect(1 "^$" "^kelvora-fit: header.csv: no points\n$" --columns header.csv)
# One point: A, B and S are no numbers, with the warning; exit 3.
file(WRITE "${WORK}/one.dat" "1\n2 3\n")
expect(3 "^Y=A\\+B\\*X\nA=nan\nB=nan\nS=nan\n" "^kelvora-fit: one.dat: Y=A\\+B\\*X: no finite fit: [^\n]+\n$" one.dat)

# --- plain tables as spreadsheets write them
file(WRITE "${WORK}/comma.csv" "x;y\n1;2,5\n2;4,5\n3;6,5\n")
file(WRITE "${WORK}/comma.tsv" "1\t2,5\n2\t4,5\n3\t6,5\n")
file(WRITE "${WORK}/quoted.csv" "\"1\",\"2.5\",\n\"2\",\"4.5\",\n\"3\",\"6.5\",\n")
file(WRITE "${WORK}/wide.csv" "id,x,flag,y\n7,1,ok,2.5\n8,2,ok,4.5\n9,3,bad,6.5\n")
set(LINE "^Y=A\\+B\\*X\nA=0\\.5\nB=2\nS=0\n")
expect(0 "${LINE}" "^kelvora-fit: comma.csv: reading decimal commas \\(\"1,5\" as 1\\.5\\)\n$" comma.csv)
expect(0 "${LINE}" "^kelvora-fit: comma.tsv: reading decimal commas" --columns comma.tsv)
expect(0 "${LINE}" "^$" quoted.csv)
expect(0 "${LINE}" "^$" --columns=2,4 wide.csv)
expect(1 "^$" "^kelvora-fit: wide.csv: line 2: 4 columns: choose X and Y with --columns=X,Y" --columns wide.csv)
expect(1 "^$" "^kelvora-fit: wide.csv: line 2: 4 columns, but --columns=2,5 needs 5\n$" --columns=2,5 wide.csv)
expect_usage("--columns=X,Y\\[,SIGMA\\] or X,Y,SIGMA_X,SIGMA_Y takes two, three or four different column numbers from 1, not '2'" --columns=2 wide.csv)
expect_usage("--columns=X,Y\\[,SIGMA\\] or X,Y,SIGMA_X,SIGMA_Y takes two, three or four different column numbers from 1, not '0,1'" --columns=0,1 wide.csv)
# A number of any length reads as in a points file, on the first line too.
string(REPEAT "3" 300 digits)
file(WRITE "${WORK}/long.csv" "0,0.${digits}\n1,1.${digits}\n2,2.${digits}\n")
expect(0 "^Y=A\\+B\\*X\nA=0\\.333333\nB=1\nS=0\n" "^$" long.csv)

# --- options take finite decimals only
foreach(value 0x10 nan inf 1e400 16x)
  expect_usage("--exponent needs a finite number, not '${value}'" --model 15 --exponent ${value} a.dat)
endforeach()
expect(0 "\nN=16\n" "^$" --model 15 --exponent +1.6e1 a.dat)

# --- messages that agree with the data
file(WRITE "${WORK}/one-x.dat" "4\n2 1\n2 2\n2 3\n2 4\n")
expect(3 "" "no start: the points the linearised fit can take do not determine its straight line" --model 5 --refine one-x.dat)
foreach(option --help --version --list-models)
  run_shell("ulimit -f 0 && exec \"$0\" ${option} >limited.txt")
  if(NOT status EQUAL 1 OR NOT err MATCHES "^kelvora-fit: standard output: File too large\n$")
    message(SEND_ERROR "${option} into a full output: exit ${status}\n${err}")
  endif()
endforeach()

# --- input without end: refused at once or at the capacity, never read into memory whole
foreach(case
    "yes '' | tr '\\n' '\\0'|binary data, not a points file or a table of numbers"
    "yes 1 | tr -d '\\n'|the file holds more than 1000000 points"
    "yes '1 2'|the file holds more than 1000000 points")
  split_case("${case}" source reason)
  run_shell("${source} | \"$0\" -")
  if(NOT status EQUAL 1 OR NOT err MATCHES "^kelvora-fit: standard input: ${reason}")
    message(SEND_ERROR "${source} | kelvora-fit -: exit ${status}\n${err}")
  endif()
endforeach()
