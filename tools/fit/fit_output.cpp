// SPDX-License-Identifier: GPL-3.0-or-later
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

// The fields a fit method added, a number or an array each.
static void appendRecordFields(const FitRecord& m, std::string* json)
{
    for (const RecordField& field : m.extra) {
        if (field.place == FIELD_TEXT_ONLY) continue;
        *json += ',';
        *json += jsonString(field.name.c_str());
        *json += ':';
        if (field.values.empty()) {
            *json += jsonString(field.text.c_str());
            continue;
        }
        if (field.values.size() == 1 && field.place != FIELD_JSON_ONLY) {
            *json += jsonNumber(field.values[0]);
            continue;
        }
        *json += "[";
        for (size_t i = 0; i < field.values.size(); ++i) {
            if (i > 0) *json += ",";
            *json += jsonNumber(field.values[i]);
        }
        *json += "]";
    }
}

std::string fitJson(const FitReport* r)
{
    const FitRecord& m = *r->record;
    const FitUncertainty& u = m.uncertainty;
    std::string json = "{\"file\":" + jsonString(r->file) + ",\"model\":" + std::to_string(m.modelId) +
                       ",\"formula\":" + jsonString(formulaText(m.modelId).c_str()) +
                       ",\"n\":" + std::to_string(m.count) + ",\"A\":" + jsonNumber(m.fit.a) +
                       ",\"B\":" + jsonNumber(m.fit.b);
    if (modelUsesExponent(m.modelId)) json += ",\"N\":" + jsonNumber(m.exponentN);
    bool refined = recordRefined(m);
    json += ",\"S\":" + jsonNumber(m.fit.s) + ",\"s_n2\":" + jsonNumber(u.sN2) + ",\"se_A\":" + jsonNumber(u.seA) +
            ",\"se_B\":" + jsonNumber(u.seB) + ",\"ci_A\":[" + jsonNumber(u.ciA[0]) + "," + jsonNumber(u.ciA[1]) +
            "],\"ci_B\":[" + jsonNumber(u.ciB[0]) + "," + jsonNumber(u.ciB[1]) + "],\"r2\":" + jsonNumber(u.r2) +
            ",\"r2_line\":" + jsonNumber(u.r2Line) + ",\"refined\":" + (refined ? "true" : "false");
    if (refined) json += ",\"iterations\":" + std::to_string(m.refinement.iterations);
    double corr = u.covAB / (u.seA * u.seB);
    json += ",\"dof\":" + std::to_string(m.dof) + ",\"cov_AB\":" + jsonNumber(u.covAB) +
            ",\"corr_AB\":" + jsonNumber(corr) +
            ",\"weighting\":" + jsonString(r->weighting != NULL ? r->weighting : "none");
    if (m.r2Uncentred) json += ",\"r2_kind\":\"uncentred\"";
    if (r->weighted) {
        json += ",\"chi2\":" + jsonNumber(m.chi2) + ",\"chi2_nu\":" + jsonNumber(m.chi2 / (double)m.dof);
    }
    if (r->ranked) json += ",\"aicc\":" + jsonNumber(r->aicc) + ",\"akaike_weight\":" + jsonNumber(r->akaikeWeight);
    if (r->ranked && r->sameCurveAs >= 0) json += ",\"same_curve_as\":" + std::to_string(r->sameCurveAs);
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
    appendRecordFields(m, &json);
    if (r->warning != NULL) json += ",\"warning\":" + jsonString(r->warning);
    return json + "}";
}

// The input's text of a coordinate, or the number with 17 digits.
static void writeCoordinate(FILE* out, const std::string* text, const std::vector<size_t>* at, int i, double value)
{
    if (text != NULL && (size_t)i < at->size() && (*at)[i] != NO_TEXT) {
        fputs(text->c_str() + (*at)[i], out);
    } else {
        fprintf(out, "%.17g", value);
    }
}

bool writeResidualsCsv(FILE* out, const ResidualsCsv* csv)
{
    fputs("x,y,fitted,residual", out);
    if (csv->band != NULL) fprintf(out, ",%s_low,%s_high", csv->bandName, csv->bandName);
    fputc('\n', out);
    const std::string* text = csv->texts != NULL ? &csv->texts->text : NULL;
    for (int i = 0; i < csv->count; ++i) {
        double x = csv->x[i], y = csv->y[i];
        double fitted = evaluateModelWith(csv->modelId, csv->a, csv->b, csv->exponentN, x);
        writeCoordinate(out, text, text != NULL ? &csv->texts->xAt : NULL, i, x);
        fputc(',', out);
        writeCoordinate(out, text, text != NULL ? &csv->texts->yAt : NULL, i, y);
        fprintf(out, ",%.17g,%.17g", fitted, y - fitted);
        if (csv->band != NULL) {
            double low, high;
            csv->band(x, &low, &high, csv->bandContext);
            fprintf(out, ",%.17g,%.17g", low, high);
        }
        fputc('\n', out);
    }
    return !ferror(out);
}
