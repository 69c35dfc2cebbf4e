// SPDX-License-Identifier: GPL-3.0-or-later
// Options of the further fit methods and the rules between them.
#include "options_methods.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "shared_fit.h"

namespace {

// A whole decimal number of digits only, at most limit.
bool parseCount(const char* text, unsigned long limit, unsigned long* value)
{
    if (!isdigit((unsigned char)text[0])) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long parsed = strtoul(text, &end, 10);
    if (*end != 0 || errno != 0 || parsed > limit) return false;
    *value = parsed;
    return true;
}

// The first option among those set that goes with none of the method's, or nullptr.
const char* firstOf(const std::pair<bool, const char*>* options, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (options[i].first) return options[i].second;
    return nullptr;
}

std::string excludes(const char* method, const char* other)
{
    return std::string(method) + " and " + other + " exclude each other";
}

bool checkSigmaXY(const FitOptions& o, std::string* reason)
{
    const std::pair<bool, const char*> others[] = {
        {o.sigma, "--sigma"},          {o.weighting != WEIGHTING_NONE, "--weight"}, {o.fixed.parameter >= 0, "--fix"},
        {o.robust, "--robust"},        {o.all, "--all"},                            {o.share != 0, "--share"},
        {o.bootstrap > 0, "--bootstrap"}, {o.ci == CI_PROFILE, "--ci=profile"},     {o.sigmaKindGiven, "--sigma-kind"},
    };
    const char* other = firstOf(others, sizeof others / sizeof others[0]);
    if (other != nullptr) {
        *reason = excludes("--sigma-xy", other);
    } else if (o.pick.x > 0 && o.pick.sigmaX == 0) {
        *reason = "--sigma-xy with --columns=X,Y needs the columns of sigma too: --columns=X,Y,SIGMA_X,SIGMA_Y";
    } else {
        return true;
    }
    return false;
}

bool checkShare(const FitOptions& o, std::string* reason)
{
    const std::pair<bool, const char*> others[] = {
        {o.all, "--all"},         {o.fixed.parameter >= 0, "--fix"}, {o.robust, "--robust"},
        {o.bootstrap > 0, "--bootstrap"}, {o.ci == CI_PROFILE, "--ci=profile"}, {o.residuals, "--residuals"},
        {!o.predictX.empty(), "--predict"}, {!o.inverseY.empty(), "--inverse"}, {o.report, "--report"},
    };
    const char* other = firstOf(others, sizeof others / sizeof others[0]);
    if (o.files.size() < 2) {
        *reason = "--share fits two or more files together, not " + std::to_string(o.files.size());
    } else if (other != nullptr) {
        *reason = excludes("--share", other);
    } else {
        return true;
    }
    return false;
}

bool checkIntervals(const FitOptions& o, std::string* reason)
{
    if (o.ci == CI_PROFILE && !o.refine) {
        *reason = "--ci=profile needs --refine: the profile is that of the least-squares sum on Y";
    } else if (o.ci == CI_PROFILE && o.bootstrap > 0) {
        *reason = excludes("--ci=profile", "--bootstrap");
    } else if ((o.ci == CI_PROFILE || o.bootstrap > 0) && (o.fixed.parameter >= 0 || o.all || o.robust)) {
        *reason = std::string(o.bootstrap > 0 ? "--bootstrap" : "--ci=profile") + " applies to a fit of A and B of "
                  "one model: not with " + (o.all ? "--all" : o.robust ? "--robust" : "--fix");
    } else if (o.seedGiven && o.bootstrap == 0) {
        *reason = "--seed applies to --bootstrap";
    } else {
        return true;
    }
    return false;
}

} // namespace

bool setShare(FitOptions* options, const char* value, std::string* reason)
{
    const std::pair<const char*, int> names[] = {{"A", SHARE_A}, {"B", SHARE_B}, {"A,B", SHARE_BOTH}, {"B,A", SHARE_BOTH}};
    for (const auto& name : names) {
        if (strcmp(value, name.first) == 0) {
            options->share = name.second;
            return true;
        }
    }
    *reason = std::string("--share is A, B or A,B (the parameters the files have in common), not '") + value + "'";
    return false;
}

bool setRobust(FitOptions* options, const char* value, std::string* reason)
{
    options->robust = true;
    if (value == nullptr || robustKindNamed(value, &options->robustKind)) return true;
    *reason = std::string("--robust is bisquare, huber, cauchy, fair or welsch, not '") + value + "'";
    return false;
}

bool setExclude(FitOptions* options, const char* value, std::string* reason)
{
    char message[160];
    if (parsePointList(value, &options->exclude, message, sizeof message)) return true;
    *reason = std::string("--exclude: ") + message;
    return false;
}

bool setCi(FitOptions* options, const char* value, std::string* reason)
{
    options->ciGiven = true;
    if (strcmp(value, "wald") == 0 || strcmp(value, "profile") == 0) {
        options->ci = value[0] == 'w' ? CI_WALD : CI_PROFILE;
        return true;
    }
    *reason = std::string("--ci is wald or profile (--bootstrap gives bootstrap intervals), not '") + value + "'";
    return false;
}

bool setBootstrap(FitOptions* options, const char* value, std::string* reason)
{
    unsigned long count = 0;
    if (!parseCount(value, BOOTSTRAP_MAX_RESAMPLES, &count) || count < 1) {
        *reason = std::string("--bootstrap takes the number of resamples, 1 to ") +
                  std::to_string(BOOTSTRAP_MAX_RESAMPLES) + ", not '" + value + "'";
        return false;
    }
    options->bootstrap = (int)count;
    return true;
}

bool setSeed(FitOptions* options, const char* value, std::string* reason)
{
    if (!parseCount(value, 4294967295UL, &options->seed)) {
        *reason = std::string("--seed is a whole number from 0 to 4294967295, not '") + value + "'";
        return false;
    }
    options->seedGiven = true;
    return true;
}

bool checkMethodOptions(const FitOptions& options, std::string* reason)
{
    if (options.sigmaXY && !checkSigmaXY(options, reason)) return false;
    if (options.share != 0 && !checkShare(options, reason)) return false;
    if (options.robust && (options.fixed.parameter >= 0 || options.all)) {
        *reason = excludes("--robust", options.all ? "--all" : "--fix");
        return false;
    }
    return checkIntervals(options, reason);
}
