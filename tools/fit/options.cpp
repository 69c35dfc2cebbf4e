// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's command line. Every option is one row of OPTIONS: its name, the name of its value (none
// for a switch), one line of help and the action that stores it. "--name=value" and "--name value" are
// the same; options and files may come in any order; "--" ends the options; "-" is standard input.
// A switch or a text value needs no action of its own: setSwitch<&FitOptions::field> and
// setText<&FitOptions::field> store it.
#include "options.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <string>

#include "double_chars.h"
#include "kelvora_version.h"
#include "models.h"
#include "options_methods.h"
#include "report.h"
#include "vector_plot.h"

namespace {

// Stores an option; false with a one-line reason when its value is not usable.
using OptionAction = bool (*)(FitOptions* options, const char* value, std::string* reason);

struct OptionRow {
    const char* name;      // with its leading dashes
    const char* valueName; // shown in the help; nullptr for a switch that takes no value
    bool valueOptional;    // the value comes only as --name=value, and may be left out
    const char* help;      // nullptr keeps the row out of the help (aliases)
    OptionAction action;
};

bool parseInt(const char* text, int* value)
{
    char* end = nullptr;
    errno = 0;
    long parsed = strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || parsed < -2147483647 || parsed > 2147483647) return false;
    *value = (int)parsed;
    return true;
}

// A finite decimal number, as the points are read: no hexadecimal, NaN, infinity or value beyond the
// range of a double.
bool parseFiniteDouble(const char* text, double* value)
{
    const char* first = *text == '+' ? text + 1 : text;
    const char* end = text + strlen(text);
    double parsed = 0.0;
    std::from_chars_result r = readDoubleChars(first, end, &parsed);
    if (r.ec == std::errc::result_out_of_range) {
        // Below the smallest double: strtod rounds it as the points file reads it; above: refused.
        parsed = strtod(text, nullptr);
        if (!isfinite(parsed)) return false;
    } else if (r.ec != std::errc() || r.ptr != end || !isfinite(parsed)) {
        return false;
    }
    *value = parsed;
    return true;
}

template <bool FitOptions::*Member>
bool setSwitch(FitOptions* options, const char*, std::string*)
{
    options->*Member = true;
    return true;
}

template <const char* FitOptions::*Member>
bool setText(FitOptions* options, const char* value, std::string*)
{
    options->*Member = value;
    return true;
}

bool setModel(FitOptions* options, const char* value, std::string* reason)
{
    int id = 0;
    if (!parseInt(value, &id) || id < 0 || id >= MODEL_COUNT) {
        *reason = std::string("no model '") + value + "'; the models are 0 to " + std::to_string(MODEL_COUNT - 1);
        return false;
    }
    options->modelId = id;
    options->modelGiven = true;
    return true;
}

bool setExponent(FitOptions* options, const char* value, std::string* reason)
{
    if (!parseFiniteDouble(value, &options->exponentN)) {
        *reason = std::string("--exponent needs a finite number, not '") + value + "'";
        return false;
    }
    options->exponentGiven = true;
    return true;
}

bool setSize(FitOptions* options, const char* value, std::string* reason)
{
    int width = 0, height = 0;
    const char* cross = strchr(value, 'x');
    std::string widthText = cross != nullptr ? std::string(value, cross) : std::string();
    if (cross == nullptr || !parseInt(widthText.c_str(), &width) || !parseInt(cross + 1, &height) ||
        width < PLOT_SIZE_MIN || width > PLOT_SIZE_MAX || height < PLOT_SIZE_MIN || height > PLOT_SIZE_MAX) {
        *reason = std::string("--size is WIDTHxHEIGHT in pixels, each ") + std::to_string(PLOT_SIZE_MIN) + " to " +
                  std::to_string(PLOT_SIZE_MAX) + ", not '" + value + "'";
        return false;
    }
    options->plotWidth = width;
    options->plotHeight = height;
    options->sizeGiven = true;
    return true;
}

// --columns alone reads plain tables of two columns; --columns=X,Y picks X and Y among more.
bool setColumns(FitOptions* options, const char* value, std::string* reason)
{
    options->columns = true;
    if (value == nullptr) return true;
    // X,Y, X,Y,SIGMA or X,Y,SIGMA_X,SIGMA_Y: different column numbers from 1.
    int numbers[4] = {0, 0, 0, 0}, found = 0;
    std::string text = value;
    bool usable = true;
    for (size_t start = 0; usable;) {
        size_t comma = text.find(',', start);
        std::string field = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        usable = found < 4 && parseInt(field.c_str(), &numbers[found]) && numbers[found] >= 1;
        for (int i = 0; usable && i < found; ++i) usable = numbers[i] != numbers[found];
        ++found;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (!usable || found < 2) {
        *reason = std::string("--columns=X,Y[,SIGMA] or X,Y,SIGMA_X,SIGMA_Y takes two, three or four different column "
                              "numbers from 1, not '") + value + "'";
        return false;
    }
    options->pick = ColumnChoice{numbers[0], numbers[1], found == 3 ? numbers[2] : found == 4 ? numbers[3] : 0,
                                 found == 4 ? numbers[2] : 0};
    if (found == 3) options->sigma = true;
    if (found == 4) options->sigmaXY = true;
    return true;
}

bool setSigmaKind(FitOptions* options, const char* value, std::string* reason)
{
    if (strcmp(value, "absolute") != 0 && strcmp(value, "relative") != 0) {
        *reason = std::string("--sigma-kind is absolute or relative, not '") + value + "'";
        return false;
    }
    options->sigmaAbsolute = strcmp(value, "absolute") == 0;
    options->sigmaKindGiven = true;
    return true;
}

bool setWeight(FitOptions* options, const char* value, std::string* reason)
{
    const struct {
        const char* name;
        Weighting weighting;
    } kinds[] = {{"1/y", WEIGHTING_INV_Y}, {"1/y2", WEIGHTING_INV_Y2}, {"1/x", WEIGHTING_INV_X}, {"1/x2", WEIGHTING_INV_X2}};
    for (const auto& kind : kinds) {
        if (strcasecmp(value, kind.name) == 0) {
            options->weighting = kind.weighting;
            return true;
        }
    }
    *reason = std::string("--weight is 1/y, 1/y2, 1/x or 1/x2, not '") + value + "'";
    return false;
}

bool setFix(FitOptions* options, const char* value, std::string* reason)
{
    bool named = (value[0] == 'A' || value[0] == 'a' || value[0] == 'B' || value[0] == 'b') && value[1] == '=';
    double fixedValue = 0.0;
    if (!named || !parseFiniteDouble(value + 2, &fixedValue)) {
        *reason = std::string("--fix takes A=VALUE or B=VALUE with a finite number, not '") + value + "'";
        return false;
    }
    if (options->fixed.parameter >= 0) {
        *reason = "--fix holds one parameter: fixing both leaves nothing to fit";
        return false;
    }
    options->fixed = FixedParameter{(value[0] == 'A' || value[0] == 'a') ? 0 : 1, fixedValue};
    return true;
}

// A comma-separated list of finite numbers, appended to values.
bool parseNumberList(const char* text, std::vector<double>* values)
{
    std::string list = text;
    for (size_t start = 0;;) {
        size_t comma = list.find(',', start);
        std::string field = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double value = 0.0;
        if (!parseFiniteDouble(field.c_str(), &value)) return false;
        values->push_back(value);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

bool setPredict(FitOptions* options, const char* value, std::string* reason)
{
    if (parseNumberList(value, &options->predictX)) return true;
    *reason = std::string("--predict takes X values, finite numbers separated by commas, not '") + value + "'";
    return false;
}

bool setInverse(FitOptions* options, const char* value, std::string* reason)
{
    if (parseNumberList(value, &options->inverseY)) return true;
    *reason = std::string("--inverse takes Y values, finite numbers separated by commas, not '") + value + "'";
    return false;
}

bool setBand(FitOptions* options, const char* value, std::string* reason)
{
    if (value == nullptr || strcmp(value, "confidence") == 0) {
        options->band = BAND_CONFIDENCE;
    } else if (strcmp(value, "prediction") == 0) {
        options->band = BAND_PREDICTION;
    } else {
        *reason = std::string("--band is confidence (the default) or prediction, not '") + value + "'";
        return false;
    }
    return true;
}

bool showHelp(FitOptions* options, const char*, std::string*);

bool showVersion(FitOptions* options, const char*, std::string*)
{
    printf("kelvora-fit %s\n%s\n", KELVORA_VERSION, KELVORA_LICENSE_LINE);
    options->finished = true;
    return true;
}

bool showModels(FitOptions* options, const char*, std::string*)
{
    printModelList();
    options->finished = true;
    return true;
}

const OptionRow OPTIONS[] = {
    {"--model", "K", false, "fit model K, 0 to {last} (default 0, {formula0})", setModel},
    {"--exponent", "N", false, "the exponent N of model {power}, {formulaPower} (default 2)", setExponent},
    {"--all", nullptr, false, "fit all {count} models, one line each, smallest AICc first", setSwitch<&FitOptions::all>},
    {"--precise", nullptr, false, "print numbers with 17 significant digits instead of 6",
     setSwitch<&FitOptions::precise>},
    {"--refine", nullptr, false, "refine A and B by least squares on Y (Levenberg-Marquardt)",
     setSwitch<&FitOptions::refine>},
    {"--json", nullptr, false, "print one JSON object per fit, one per line", setSwitch<&FitOptions::json>},
    {"--residuals", nullptr, false, "print x,y,fitted,residual of every point as CSV (the block on stderr)", setSwitch<&FitOptions::residuals>},
    {"--plot", "FILE", false, "the results window into FILE.png, a publication plot into .svg or .pdf",
     setText<&FitOptions::plotPath>},
    {"--residual-panel", nullptr, false, "add the residuals under a .svg or .pdf plot",
     setSwitch<&FitOptions::residualPanel>},
    {"--plot-residuals", "FILE.png", false, "draw the residuals against X into FILE.png", setText<&FitOptions::residualPlotPath>},
    {"--size", "WxH", false, "pixels of a .png (480x536), points of a .svg or .pdf (480x360)", setSize},
    {"--columns", "X,Y[,SIGMA]", true, "read plain tables (with =X,Y: X and Y from those columns), see below",
     setColumns},
    {"--sigma", nullptr, false, "the input gives sigma of Y as a third number per point; weights 1/sigma^2",
     setSwitch<&FitOptions::sigma>},
    {"--sigma-kind", "KIND", false, "absolute (sigma are 1-sd errors) or relative (default: scaled by chi2_nu)",
     setSigmaKind},
    {"--weight", "W", false, "weights without sigma: 1/y, 1/y2, 1/x or 1/x2", setWeight},
    {"--fix", "P=V", false, "hold A or B at V (A=0: through the origin) and fit the other", setFix},
    {"--predict", "X[,X...]", false, "Y at each X with its 95% confidence and prediction intervals", setPredict},
    {"--inverse", "Y[,Y...]", false, "X at each measured Y with its 95% interval, where the model is monotone",
     setInverse},
    {"--band", "prediction", true, "add the 95% confidence (or prediction) band to --residuals, .svg, .pdf",
     setBand},
    {"--sigma-xy", nullptr, false, "each point is X Y SIGMA_X SIGMA_Y (absolute): York's line, else ODR",
     setSwitch<&FitOptions::sigmaXY>},
    {"--share", "A|B|A,B", false, "fit two or more files together with A, B or both in common; F test",
     setShare},
    {"--robust", "KIND", true, "weigh down outliers: bisquare (default), huber, cauchy, fair, welsch", setRobust},
    {"--exclude", "LIST", false, "leave points out, numbered from 1: 3,7-9", setExclude},
    {"--ci", "wald|profile", false, "intervals from the errors (wald) or the profile of S (with --refine)", setCi},
    {"--bootstrap", "N", false, "intervals from N residual resamples (percentiles)", setBootstrap},
    {"--seed", "S", false, "seed of the bootstrap's draws (default 1): the same seed, the same output", setSeed},
    {"--report", nullptr, false, "print the fit as a block for a paper (A = value +- SE ...)",
     setSwitch<&FitOptions::report>},
    {"--list-models", nullptr, false, "print the model numbers and formulas", showModels},
    {"--help", nullptr, false, "print this text", showHelp},
    {"-h", nullptr, false, nullptr, showHelp},
    {"--version", nullptr, false, "print the version and the licence", showVersion},
};

// "--name VALUE" as the help shows it.
std::string optionSynopsis(const OptionRow& row)
{
    if (row.valueName == nullptr) return row.name;
    return std::string(row.name) + (row.valueOptional ? "[=" : " ") + row.valueName + (row.valueOptional ? "]" : "");
}

// The model table's formula of id as text.
std::string formulaOf(int id)
{
    std::string text;
    for (const WCHAR* p = modelText(id); *p != 0; ++p) text += (char)*p;
    return text;
}

// A count in words where the help reads better so ("sixteen"), in digits beyond twenty.
std::string countWords(int count)
{
    static const char* const WORDS[] = {"no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine",
                                        "ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen",
                                        "seventeen", "eighteen", "nineteen", "twenty"};
    return count >= 0 && count <= 20 ? WORDS[count] : std::to_string(count);
}

// The help's text with what the model table says put in: {count} models, the {last} id, the model
// with the exponent N ({power}, {formulaPower}) and the first model's {formula0}.
std::string modelWords(const char* text)
{
    int power = modelWithExponent();
    const std::pair<const char*, std::string> words[] = {
        {"{count}", countWords(MODEL_COUNT)}, {"{last}", std::to_string(MODEL_COUNT - 1)},
        {"{power}", std::to_string(power)},   {"{formulaPower}", formulaOf(power)},
        {"{formula0}", formulaOf(0)}};
    std::string out = text;
    for (const auto& word : words) {
        for (size_t at = out.find(word.first); at != std::string::npos; at = out.find(word.first, at)) {
            out.replace(at, strlen(word.first), word.second);
            at += word.second.size();
        }
    }
    return out;
}

bool showHelp(FitOptions* options, const char*, std::string*)
{
    printf("usage: kelvora-fit [OPTION]... FILE...\n"
           "Fits a two-parameter model to the points of each FILE by least squares on the linearised\n"
           "model; S is the residual standard deviation measured on Y. FILE - is standard input.\n\n"
           "Options (--name=value and --name value are the same):\n");
    int width = 0;
    for (const OptionRow& row : OPTIONS) width = std::max(width, (int)optionSynopsis(row).size());
    for (const OptionRow& row : OPTIONS) {
        if (row.help != nullptr) printf("  %-*s  %s\n", width, optionSynopsis(row).c_str(), modelWords(row.help).c_str());
    }
    printf("\nModels:\n");
    printModelList();
    fputs(modelWords("\nA FILE holds the number of points, then X and Y of each point, separated by white space.\n"
           "A plain table (--columns, or found by itself when its first line holds two numbers) holds X\n"
           "and Y per line, separated by a comma, semicolon, tab or spaces, fields in double quotes or\n"
           "not; '#' starts a comment and one header line without numbers may come before the first\n"
           "point. --columns=X,Y takes X and Y from those columns (from 1) of a wider table. A table\n"
           "that writes decimal commas throughout (1,5;2,5) is read with them. Numbers are finite\n"
           "decimals; hexadecimal numbers, NaN and infinities are refused with their line. With --sigma\n"
           "each point is X Y SIGMA (a points file) or a table's three columns (--columns=X,Y,SIGMA picks\n"
           "them).\n\n"
           "Each FILE gives one block: the formula, then A=, B=, N= (model {power} only) and S= (n-1), then\n"
           "the standard errors se_A= and se_B=, the 95% intervals ci_A= and ci_B= (Student t, n-2),\n"
           "s_n2= (residual standard deviation with n-2), r2= (on Y; weighted with weights) and r2_line=\n"
           "(on the straight line the linearised fit used). A line through the origin (--fix A=0 on a\n"
           "model Y=A+B*f(X)) has no intercept: its r2 is 1 - RSS/sum(Y^2), about 0, as a line says.\n"
           "The linearised fit's errors are its line's, carried through the back-transformation (delta\n"
           "method); --refine gives them from the Jacobian at the least-squares solution. With --all,\n"
           "{count} lines S=... A=... B=... se_A=... se_B=... r2=... aicc=... akaike_weight=... model=K Y=...\n"
           "(N=... before Y= of model {power}; a form of a curve an earlier line showed names that model),\n"
           "ranked by AICc on Y (of the refined fits with --refine; k = fitted parameters + 1; with weights\n"
           "from the weighted sum), the Akaike weights among the fits of every point; fits that leave\n"
           "points out follow, then those without a fit; --plot, --residuals and --plot-residuals then\n"
           "show the first. Weights (--sigma, --weight) act on Y and reach each model's straight line as\n"
           "w/(dz/dY)^2 (for ln Y: Y^2/sigma^2). With several files each block starts\n"
           "with the file's name and a colon, and an empty line separates the blocks.\n\n"
           "--sigma-xy fits points with errors in X and Y (X Y SIGMA_X SIGMA_Y, or --columns=X,Y,SX,SY):\n"
           "York's line for {formula0}, orthogonal distance regression for the others; se_A, se_B are from\n"
           "the sigma alone, se_A_scaled, se_B_scaled those times sqrt(mswd).  kelvora-fit --sigma-xy p.dat\n"
           "--share=B with two or more files fits them together with B in common and tests the shared fit\n"
           "against the separate ones (F, p), AICc of both.  kelvora-fit --model 12 --share=B a.dat b.dat\n"
           "--robust weighs outliers down (robust_weights in JSON; weighed_down= names them);\n"
           "--exclude=3,7-9 leaves points out (drawn hollow in the plots); --ci=profile (with --refine)\n"
           "and --bootstrap=N --seed=S replace ci_A, ci_B by profile or bootstrap intervals, the Wald\n"
           "ones kept as ci_A_wald, ci_B_wald.  kelvora-fit --model 12 --refine --ci=profile a.dat\n\n"
           "Exit status: 0 fitted, 1 a file cannot be used, the output or a picture not written, 2 wrong\n"
           "usage, 3 a fit printed with a non-finite A, B or S, or a refinement that gave no fit (no\n"
           "convergence, a pole of the model among the data, A and B not determined apart)\n"
           "(with --all: no model fits with finite values).\n").c_str(), stdout);
    options->finished = true;
    return true;
}

const OptionRow* findOption(const std::string& name)
{
    for (const OptionRow& row : OPTIONS) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

// Letters to change, add or drop to turn one text into the other.
size_t editDistance(const std::string& left, const std::string& right)
{
    std::vector<size_t> previous(right.size() + 1), current(right.size() + 1);
    for (size_t j = 0; j <= right.size(); ++j) previous[j] = j;
    for (size_t i = 1; i <= left.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= right.size(); ++j) {
            size_t change = previous[j - 1] + (left[i - 1] == right[j - 1] ? 0 : 1);
            current[j] = std::min(change, std::min(previous[j], current[j - 1]) + 1);
        }
        std::swap(previous, current);
    }
    return previous[right.size()];
}

// The option a misspelt name most likely means: the one at the smallest edit distance, when that is at
// most two (one for short names) and no other option is as near. A single dash counts as two.
const OptionRow* nearestOption(const std::string& name)
{
    std::string dashed = name.size() > 1 && name[0] == '-' && name[1] != '-' ? "-" + name : name;
    const OptionRow* best = nullptr;
    size_t bestDistance = 3;
    bool tie = false;
    for (const OptionRow& row : OPTIONS) {
        if (row.help == nullptr) continue;
        size_t distance = editDistance(dashed, row.name);
        if (distance < bestDistance) {
            best = &row;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance) {
            tie = true;
        }
    }
    size_t allowed = dashed.size() <= 6 ? 1 : 2;
    return best != nullptr && !tie && bestDistance <= allowed ? best : nullptr;
}

int usageError(const std::string& reason)
{
    fprintf(stderr, "kelvora-fit: %s (see kelvora-fit --help)\n", reason.c_str());
    return FIT_EXIT_USAGE;
}

// Takes the option at argv[*index] (and its value, which may be the next argument). Returns false with
// the reason when the option is unknown, lacks its value or refuses it.
bool takeOption(int argc, char** argv, int* index, FitOptions* options, std::string* reason)
{
    const char* arg = argv[*index];
    const char* equals = strncmp(arg, "--", 2) == 0 ? strchr(arg, '=') : nullptr;
    std::string name = equals != nullptr ? std::string(arg, equals) : std::string(arg);
    const OptionRow* row = findOption(name);
    if (row == nullptr) {
        *reason = "unknown option '" + name + "'";
        const OptionRow* near = nearestOption(name);
        if (near != nullptr) *reason += std::string("; did you mean ") + near->name + "?";
        return false;
    }
    const char* value = nullptr;
    if (row->valueName == nullptr || (row->valueOptional && equals == nullptr)) {
        if (equals != nullptr) {
            *reason = name + " takes no value";
            return false;
        }
    } else if (equals != nullptr) {
        value = equals + 1;
    } else if (*index + 1 < argc) {
        value = argv[++*index];
    } else {
        *reason = name + " needs a value " + row->valueName;
        return false;
    }
    return row->action(options, value, reason);
}

// A picture's name ends in ".png", in any case.
bool namesPng(const char* path)
{
    size_t length = strlen(path);
    return length > 4 && strcasecmp(path + length - 4, ".png") == 0;
}

// The same file: the same name, or two names (links) of one file; "-" is standard input.
bool sameFile(const char* output, const char* input)
{
    if (strcmp(output, input) == 0) return true;
    struct stat outputInfo, inputInfo;
    if (stat(output, &outputInfo) != 0) return false;
    int found = strcmp(input, "-") == 0 ? fstat(0, &inputInfo) : stat(input, &inputInfo);
    return found == 0 && outputInfo.st_dev == inputInfo.st_dev && outputInfo.st_ino == inputInfo.st_ino;
}

// Why the pictures cannot be written where the command line says, or "" when they can: each name ends
// in .png, and no picture replaces an input of the run or the other picture.
std::string pictureProblem(const FitOptions& options)
{
    const char* pictures[2] = {options.plotPath, options.residualPlotPath};
    const char* names[2] = {"--plot", "--plot-residuals"};
    for (int i = 0; i < 2; ++i) {
        if (pictures[i] == nullptr) continue;
        // --plot also draws the publication plot, named .svg or .pdf.
        bool vector = i == 0 && options.plotFormat != VECTOR_NONE;
        if (!vector && i == 0 && !namesPng(pictures[i])) {
            return std::string(names[i]) + " draws FILE.png, FILE.svg or FILE.pdf, not '" + pictures[i] + "'";
        } else if (!vector && !namesPng(pictures[i])) {
            return std::string(names[i]) + " writes a PNG picture: its name must end in .png, not '" + pictures[i] + "'";
        }
        for (const char* input : options.files) {
            if (sameFile(pictures[i], input)) {
                return std::string(names[i]) + " would replace the input file '" + input + "'";
            }
        }
    }
    if (pictures[0] != nullptr && pictures[1] != nullptr && sameFile(pictures[0], pictures[1])) {
        return "--plot and --plot-residuals name the same file";
    }
    return "";
}

// The rules between options, checked once all are read.
bool checkCombination(const FitOptions& options, std::string* reason)
{
    if (options.files.empty()) {
        *reason = "no points file given (- reads standard input)";
    } else if (options.all && options.modelGiven) {
        *reason = "--all and --model exclude each other";
    } else if ((options.plotPath != nullptr && options.plotPath[0] == 0) ||
               (options.residualPlotPath != nullptr && options.residualPlotPath[0] == 0)) {
        *reason = "--plot and --plot-residuals need a file name";
    } else if (!pictureProblem(options).empty()) {
        *reason = pictureProblem(options);
    } else if (options.files.size() > 1 && (options.plotPath != nullptr || options.residualPlotPath != nullptr)) {
        *reason = "--plot and --plot-residuals draw one points file, not " + std::to_string(options.files.size());
    } else if (options.sizeGiven && options.plotPath == nullptr && options.residualPlotPath == nullptr) {
        *reason = "--size applies to --plot and --plot-residuals";
    } else if (options.residualPanel && options.plotFormat == VECTOR_NONE) {
        *reason = "--residual-panel applies to --plot FILE.svg or FILE.pdf";
    } else if (options.json && options.residuals) {
        *reason = "--json and --residuals exclude each other (both print on standard output)";
    } else if (options.sigma && options.weighting != WEIGHTING_NONE) {
        *reason = "--sigma and --weight exclude each other (sigma gives the weights)";
    } else if (options.band != BAND_NONE && !options.residuals && options.plotFormat == VECTOR_NONE) {
        *reason = "--band applies to --residuals and --plot FILE.svg or FILE.pdf (the results window's picture "
                  "draws no band)";
    } else if (options.sigma && options.pick.x > 0 && options.pick.sigma == 0) {
        *reason = "--sigma with --columns=X,Y needs the column of sigma too: --columns=X,Y,SIGMA";
    } else if (options.sigmaKindGiven && !options.sigma) {
        *reason = "--sigma-kind applies to --sigma";
    } else if (options.report && (options.json || options.all)) {
        *reason = std::string("--report and ") + (options.json ? "--json" : "--all") + " exclude each other";
    } else if (options.exponentGiven && !options.all && !modelUsesExponent(options.modelId)) {
        *reason = modelWords("--exponent applies to model {power} ({formulaPower}) only; model ") + std::to_string(options.modelId) +
                  " has no exponent";
    } else {
        return true;
    }
    return false;
}

} // namespace

void printModelList()
{
    for (int id = 0; id < MODEL_COUNT; ++id) {
        printf("%2d  ", id);
        printFormula(stdout, id);
        putchar('\n');
    }
}

int parseFitOptions(int argc, char** argv, FitOptions* options)
{
    bool optionsEnded = false;
    std::string reason;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (optionsEnded || arg[0] != '-' || arg[1] == 0) {
            options->files.push_back(arg);
        } else if (!takeOption(argc, argv, &i, options, &reason)) {
            return usageError(reason);
        } else if (options->finished) {
            return FIT_EXIT_FITTED;
        }
    }
    // Decoded once: the picture's format by its name, sigma from a third column by default.
    if (options->plotPath != nullptr) options->plotFormat = vectorFormatOf(options->plotPath);
    if (options->sigma && options->pick.x == 0) options->pick.sigma = 3;
    if (options->sigmaXY && options->pick.x == 0) options->pick = ColumnChoice{0, 0, 4, 3};
    if (options->bootstrap > 0) options->ci = CI_BOOTSTRAP;
    if (!checkCombination(*options, &reason) || !checkMethodOptions(*options, &reason)) return usageError(reason);
    return -1;
}
