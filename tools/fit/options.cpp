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

#include <algorithm>
#include <string>

#include "kelvora_version.h"
#include "models.h"
#include "report.h"

namespace {

// Stores an option; false with a one-line reason when its value is not usable.
using OptionAction = bool (*)(FitOptions* options, const char* value, std::string* reason);

struct OptionRow {
    const char* name;      // with its leading dashes
    const char* valueName; // shown in the help; nullptr for a switch that takes no value
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

bool parseFiniteDouble(const char* text, double* value)
{
    char* end = nullptr;
    double parsed = strtod(text, &end);
    if (end == text || *end != 0 || !isfinite(parsed)) return false;
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
        *reason = std::string("no model '") + value + "'; the models are 0 to 15";
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

bool showHelp(FitOptions* options, const char*, std::string*);

bool showVersion(FitOptions* options, const char*, std::string*)
{
    printf("kelvora-fit %s\n", KELVORA_VERSION);
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
    {"--model", "K", "fit model K, 0 to 15 (default 0, Y=A+B*X)", setModel},
    {"--exponent", "N", "the exponent N of model 15, Y=A+B*X^N (default 2)", setExponent},
    {"--all", nullptr, "fit all sixteen models, one line each, smallest S first", setSwitch<&FitOptions::all>},
    {"--precise", nullptr, "print numbers with 17 significant digits instead of 6",
     setSwitch<&FitOptions::precise>},
    {"--list-models", nullptr, "print the model numbers and formulas", showModels},
    {"--help", nullptr, "print this text", showHelp},
    {"-h", nullptr, nullptr, showHelp},
    {"--version", nullptr, "print the version", showVersion},
};

// "--name VALUE" as the help shows it.
std::string optionSynopsis(const OptionRow& row)
{
    return row.valueName != nullptr ? std::string(row.name) + " " + row.valueName : std::string(row.name);
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
        if (row.help != nullptr) printf("  %-*s  %s\n", width, optionSynopsis(row).c_str(), row.help);
    }
    printf("\nModels:\n");
    printModelList();
    printf("\nA FILE holds the number of points, then X and Y of each point, separated by white space.\n"
           "Each FILE gives one block: the formula, then A=, B=, N= (model 15 only) and S=; with --all,\n"
           "sixteen lines S=... A=... B=... Y=.... With several files each block starts with the file's\n"
           "name and a colon, and an empty line separates the blocks.\n\n"
           "Exit status: 0 fitted, 1 a file cannot be used or the output not written, 2 wrong usage,\n"
           "3 a fit printed with a non-finite A, B or S (with --all: no model fits with finite values).\n");
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
        return false;
    }
    const char* value = nullptr;
    if (row->valueName == nullptr) {
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

// The rules between options, checked once all are read.
bool checkCombination(const FitOptions& options, std::string* reason)
{
    if (options.files.empty()) {
        *reason = "no points file given (- reads standard input)";
    } else if (options.all && options.modelGiven) {
        *reason = "--all and --model exclude each other";
    } else if (options.exponentGiven && !options.all && options.modelId != MODEL_POWER_N) {
        *reason = "--exponent applies to model 15 (Y=A+B*X^N) only; model " + std::to_string(options.modelId) +
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
    if (!checkCombination(*options, &reason)) return usageError(reason);
    return -1;
}
