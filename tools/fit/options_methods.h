// SPDX-License-Identifier: GPL-3.0-or-later
// The options of kelvora-fit's further fit methods (errors in X and Y, shared parameters, robust
// weights, excluded points, profile and bootstrap intervals): their actions for the table of options
// and the rules between them, kept beside options.cpp.
#ifndef KELVORA_OPTIONS_METHODS_H
#define KELVORA_OPTIONS_METHODS_H

#include <string>

#include "options.h"

bool setShare(FitOptions* options, const char* value, std::string* reason);
bool setRobust(FitOptions* options, const char* value, std::string* reason);
bool setExclude(FitOptions* options, const char* value, std::string* reason);
bool setCi(FitOptions* options, const char* value, std::string* reason);
bool setBootstrap(FitOptions* options, const char* value, std::string* reason);
bool setSeed(FitOptions* options, const char* value, std::string* reason);

// False, with the reason, when the methods' options do not go together or with the others.
bool checkMethodOptions(const FitOptions& options, std::string* reason);

#define BOOTSTRAP_MAX_RESAMPLES 100000

#endif
