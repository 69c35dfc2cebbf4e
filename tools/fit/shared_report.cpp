// SPDX-License-Identifier: GPL-3.0-or-later
// Formats of a shared fit.
#include "shared_report.h"

#include <math.h>

#include "fit_output.h"
#include "models.h"

namespace {

const char* sharedNames(int share)
{
    return share == SHARE_BOTH ? "A,B" : share == SHARE_A ? "A" : "B";
}

std::string number(NumberFormat format, double value)
{
    char text[40];
    return formatNumber(format, value, text);
}

// JSON has no NaN or infinity: those are null.
std::string jsonValue(double value)
{
    return isfinite(value) ? number(NumberFormat{true}, value) : "null";
}

// "A=212.684 se_A=6.94" of the parameters a set keeps (share: those it does not).
std::string ownParameters(NumberFormat format, const SharedSetFit& s, int share, bool json)
{
    std::string text;
    const char* names[2] = {"A", "B"};
    double values[2] = {s.a, s.b}, errors[2] = {s.seA, s.seB};
    for (int i = 0; i < 2; ++i) {
        if (share & (i == 0 ? SHARE_A : SHARE_B)) continue;
        if (json) {
            text += std::string(",\"") + names[i] + "\":" + jsonValue(values[i]) + ",\"se_" + names[i] +
                    "\":" + jsonValue(errors[i]);
        } else {
            text += std::string(" ") + names[i] + "=" + number(format, values[i]) + " se_" + names[i] + "=" +
                    number(format, errors[i]);
        }
    }
    return text;
}

std::string formula(int modelId)
{
    std::string text;
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) text += (char)*p;
    return text;
}

} // namespace

void printSharedBlock(FILE* out, NumberFormat format, const SharedReport& r)
{
    const SharedFit& f = *r.fit;
    const char* sum = r.weighted ? "chi2" : "rss";
    fprintf(out, "%s\n", formula(r.modelId).c_str());
    if (modelUsesExponent(r.modelId)) fprintf(out, "N=%s\n", number(format, r.exponentN).c_str());
    fprintf(out, "shared=%s\n", sharedNames(f.share));
    if (f.share & SHARE_A) fprintf(out, "A=%s\nse_A=%s\n", number(format, f.a).c_str(), number(format, f.seA).c_str());
    if (f.share & SHARE_B) fprintf(out, "B=%s\nse_B=%s\n", number(format, f.b).c_str(), number(format, f.seB).c_str());
    for (size_t k = 0; k < f.sets.size(); ++k) {
        const SharedSetFit& s = f.sets[k];
        fprintf(out, "file=%s n=%d%s S=%s %s=%s\n", r.files[k], s.count, ownParameters(format, s, f.share, false).c_str(),
                number(format, s.s).c_str(), sum, number(format, s.sum).c_str());
    }
    if (r.weighted) fprintf(out, "weighting=%s\n", r.weighting);
    fprintf(out, "%s=%s\ndof=%d\n%s_separate=%s\ndof_separate=%d\n", sum, number(format, f.sum).c_str(), f.dof, sum,
            number(format, f.sumSeparate).c_str(), f.dofSeparate);
    fprintf(out, "F=%s df1=%d df2=%d p=%s\n", number(format, f.fTest.f).c_str(), f.fTest.df1, f.fTest.df2,
            number(format, f.fTest.p).c_str());
    fprintf(out, "aicc=%s\naicc_separate=%s\n", number(format, f.aicc).c_str(), number(format, f.aiccSeparate).c_str());
    fprintf(out, "shared fit: least squares on Y of every file, %d iterations from each file's own refined fit\n",
            f.iterations);
}

std::string sharedJson(const SharedReport& r)
{
    const SharedFit& f = *r.fit;
    std::string json = "{\"model\":" + std::to_string(r.modelId) + ",\"formula\":" + jsonString(formula(r.modelId).c_str());
    if (modelUsesExponent(r.modelId)) json += ",\"N\":" + jsonValue(r.exponentN);
    json += ",\"share\":" + jsonString(sharedNames(f.share));
    if (f.share & SHARE_A) json += ",\"A\":" + jsonValue(f.a) + ",\"se_A\":" + jsonValue(f.seA);
    if (f.share & SHARE_B) json += ",\"B\":" + jsonValue(f.b) + ",\"se_B\":" + jsonValue(f.seB);
    json += ",\"files\":[";
    for (size_t k = 0; k < f.sets.size(); ++k) {
        const SharedSetFit& s = f.sets[k];
        json += std::string(k > 0 ? "," : "") + "{\"file\":" + jsonString(r.files[k]) +
                ownParameters(NumberFormat{true}, s, f.share, true) + ",\"n\":" + std::to_string(s.count) +
                ",\"S\":" + jsonValue(s.s) + (r.weighted ? ",\"chi2\":" : ",\"rss\":") + jsonValue(s.sum) + "}";
    }
    json += "],\"weighting\":" + jsonString(r.weighted ? r.weighting : "none");
    json += ",\"rss\":" + jsonValue(f.sum) + ",\"dof\":" + std::to_string(f.dof) +
            ",\"rss_separate\":" + jsonValue(f.sumSeparate) + ",\"dof_separate\":" + std::to_string(f.dofSeparate);
    json += ",\"f_test\":{\"F\":" + jsonValue(f.fTest.f) + ",\"df1\":" + std::to_string(f.fTest.df1) +
            ",\"df2\":" + std::to_string(f.fTest.df2) + ",\"p\":" + jsonValue(f.fTest.p) + "}";
    json += ",\"aicc\":" + jsonValue(f.aicc) + ",\"aicc_separate\":" + jsonValue(f.aiccSeparate) +
            ",\"iterations\":" + std::to_string(f.iterations);
    if (!f.ok) json += ",\"warning\":" + jsonString(f.reason);
    return json + "}";
}
