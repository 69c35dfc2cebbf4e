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
    if (r->warning != NULL) json += ",\"warning\":" + jsonString(r->warning);
    return json + "}";
}

bool writeResidualsCsv(FILE* out, const double* x, const double* y, int count, int modelId, double a,
                       double b, double exponentN)
{
    fputs("x,y,fitted,residual\n", out);
    for (int i = 0; i < count; ++i) {
        double fitted = evaluateModelWith(modelId, a, b, exponentN, x[i]);
        fprintf(out, "%.17g,%.17g,%.17g,%.17g\n", x[i], y[i], fitted, y[i] - fitted);
    }
    return !ferror(out);
}
