// JSON and CSV writers. Numbers are written with 17 significant digits so they read back to the same
// double; JSON has no NaN or infinity, so those are written as null.
#include "fit_output.h"

#include <kelvora_host.h>
#include <math.h>

#include "models.h"

static std::string jsonNumber(double value)
{
    if (!isfinite(value)) return "null";
    char text[40];
    snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string jsonString(const char* text)
{
    std::string valid = kelvora_to_utf8(kelvora_from_utf8(text));
    std::string out = "\"";
    for (unsigned char c : valid) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

static std::string formulaText(int modelId)
{
    std::string text;
    for (const WCHAR* p = modelText(modelId); *p != 0; ++p) text += (char)*p;
    return text;
}

std::string fitJson(const FitReport* r)
{
    const FitUncertainty& u = r->uncertainty;
    std::string json = "{\"file\":" + jsonString(r->file) + ",\"model\":" + std::to_string(r->modelId) +
                       ",\"formula\":" + jsonString(formulaText(r->modelId).c_str()) +
                       ",\"n\":" + std::to_string(r->count) + ",\"A\":" + jsonNumber(r->fit.a) +
                       ",\"B\":" + jsonNumber(r->fit.b);
    if (modelUsesExponent(r->modelId)) json += ",\"N\":" + jsonNumber(r->exponentN);
    json += ",\"S\":" + jsonNumber(r->fit.s) + ",\"s_n2\":" + jsonNumber(u.sN2) + ",\"se_A\":" + jsonNumber(u.seA) +
            ",\"se_B\":" + jsonNumber(u.seB) + ",\"ci_A\":[" + jsonNumber(u.ciA[0]) + "," + jsonNumber(u.ciA[1]) +
            "],\"ci_B\":[" + jsonNumber(u.ciB[0]) + "," + jsonNumber(u.ciB[1]) + "],\"r2\":" + jsonNumber(u.r2) +
            ",\"r2_line\":" + jsonNumber(u.r2Line) + ",\"refined\":" + (r->refined ? "true" : "false");
    if (r->refined) json += ",\"iterations\":" + std::to_string(r->iterations);
    double corr = r->covAB / (u.seA * u.seB);
    json += ",\"dof\":" + std::to_string(r->dof) + ",\"cov_AB\":" + jsonNumber(r->covAB) +
            ",\"corr_AB\":" + jsonNumber(corr) +
            ",\"weighting\":" + jsonString(r->weighting != NULL ? r->weighting : "none");
    if (r->weighted) {
        json += ",\"chi2\":" + jsonNumber(r->chi2) + ",\"chi2_nu\":" + jsonNumber(r->chi2 / (double)r->dof);
    }
    if (r->ranked) json += ",\"aicc\":" + jsonNumber(r->aicc) + ",\"akaike_weight\":" + jsonNumber(r->akaikeWeight);
    if (r->predictionCount > 0) {
        json += ",\"predictions\":[";
        for (int i = 0; i < r->predictionCount; ++i) {
            const double* p = r->predictions + 5 * i;
            json += std::string(i > 0 ? "," : "") + "{\"x\":" + jsonNumber(r->predictX[i]) + ",\"y\":" + jsonNumber(p[0]) +
                    ",\"ci\":[" + jsonNumber(p[1]) + "," + jsonNumber(p[2]) + "],\"pi\":[" + jsonNumber(p[3]) + "," +
                    jsonNumber(p[4]) + "]}";
        }
        json += "]";
    }
    if (r->inverseCount > 0) {
        json += ",\"inverse\":[";
        for (int i = 0; i < r->inverseCount; ++i) {
            const double* v = r->inverses + 3 * i;
            json += std::string(i > 0 ? "," : "") + "{\"y\":" + jsonNumber(r->inverseY[i]) + ",\"x\":" + jsonNumber(v[0]) +
                    ",\"ci\":[" + jsonNumber(v[1]) + "," + jsonNumber(v[2]) + "]}";
        }
        json += "]";
    }
    if (r->warning != NULL) json += ",\"warning\":" + jsonString(r->warning);
    return json + "}";
}

bool writeResidualsCsv(FILE* out, const double* x, const double* y, int count, int modelId, double a,
                       double b, double exponentN, BandAt band, const char* bandName)
{
    fputs("x,y,fitted,residual", out);
    if (band != NULL) fprintf(out, ",%s_low,%s_high", bandName, bandName);
    fputc('\n', out);
    for (int i = 0; i < count; ++i) {
        double fitted = evaluateModelWith(modelId, a, b, exponentN, x[i]);
        fprintf(out, "%.17g,%.17g,%.17g,%.17g", x[i], y[i], fitted, y[i] - fitted);
        if (band != NULL) {
            double low, high;
            band(x[i], &low, &high);
            fprintf(out, ",%.17g,%.17g", low, high);
        }
        fputc('\n', out);
    }
    return !ferror(out);
}
