// Linearised least-squares fit of the sixteen models.
#ifndef KELVORA_FIT_H
#define KELVORA_FIT_H

#include "app_state.h"
#include "models.h"

// Fits model modelId (exponent n for the power model) to the n points x[i], y[i]: transforms them to a
// straight line z = a0 + b0*t, fits the line from sums taken about the means, transforms a0 and b0 back
// to A and B, and measures the residuals on Y itself. No point gives zeros; one point or all t equal
// give NaN parameters and S = 0 (one point) as the plain formula does.
FitResult fitPoints(const double* x, const double* y, int count, int modelId, double exponentN);

// The straight line behind a fit and the spreads its uncertainty is measured from. Spreads are sums of
// products of deviations from the means (spreadTT = sum (t - meanT)^2 ...); they are exact 0 for equal
// values. meanY and spreadYY are those of the measured Y, for the share of its spread the fit explains.
struct LineFit {
    double a0;
    double b0;
    double meanT;
    double spreadTT;
    double spreadTZ;
    double spreadZZ;
    double meanY;
    double spreadYY;
};

// fitPoints that also hands back its straight line and spreads (line may be NULL). No point leaves
// every field of line 0.
FitResult fitPointsWithLine(const double* x, const double* y, int count, int modelId, double exponentN,
                            LineFit* line);

// The same fit from the four raw sums St, Sz, Stt, Stz. It loses every digit once the data lie far from
// the origin; it is kept as the reference the centred fit is compared with.
FitResult fitPointsRawSums(const double* x, const double* y, int count, int modelId, double exponentN);

// Fits the selected model to the point table and stores A, B, the residual sum and S in g_app.fit.
void fitModel();

#endif
