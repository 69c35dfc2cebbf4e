// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's command line: the options it takes, read from one table, and the checks between them.
#ifndef KELVORA_FIT_OPTIONS_H
#define KELVORA_FIT_OPTIONS_H

#include <vector>

#include "fit_methods.h"
#include "fit_problem.h"
#include "plain_table.h"
#include "point_list.h"
#include "robust.h"
#include "vector_plot.h"

// Limits of --size: below the plot's margins there is nothing to draw; above, the picture costs memory
// without showing more.
#define PLOT_SIZE_MIN 100
#define PLOT_SIZE_MAX 4096
// The page of a .svg or .pdf plot without --size, in points.
#define VECTOR_PLOT_WIDTH 480
#define VECTOR_PLOT_HEIGHT 360

// Exit statuses of kelvora-fit.
enum FitExitStatus {
    FIT_EXIT_FITTED = 0,     // every file fitted with finite A, B and S
    FIT_EXIT_BAD_FILE = 1,   // a file could not be used, or the results or a picture could not be written
    FIT_EXIT_USAGE = 2,      // the command line is wrong (one line on standard error says why)
    FIT_EXIT_NOT_FINITE = 3, // a fit was printed but its A, B or S is not finite, or its refinement failed
};

// The band --band adds to the residual CSV and a publication plot.
enum BandKind {
    BAND_NONE,
    BAND_CONFIDENCE, // of the curve
    BAND_PREDICTION, // of one new measurement
};

// What the command line asks for. Adding an option: a field here and a row in the table of options.cpp.
struct FitOptions {
    bool all = false;
    bool precise = false;
    bool modelGiven = false;
    int modelId = 0;
    bool exponentGiven = false;
    double exponentN = 2.0;
    bool refine = false;             // least squares on Y, started from the linearised fit
    bool json = false;               // one JSON object per fit instead of the text blocks
    bool residuals = false;          // x,y,fitted,residual CSV after each block
    bool columns = false;            // read plain tables
    ColumnChoice pick = {0, 0};      // --columns=X,Y: the columns of X and Y, from 1
    const char* plotPath = nullptr;  // the results window as PNG, or a publication plot (plotFormat)
    VectorFormat plotFormat = VECTOR_NONE; // what --plot's name asks for beyond PNG
    const char* residualPlotPath = nullptr;
    bool residualPanel = false;      // a residual panel under the .svg or .pdf plot
    bool sizeGiven = false;
    int plotWidth = 480;             // client area of the drawn window: twice the handheld's
    int plotHeight = 536;
    bool sigma = false;              // the input carries sigma of Y as a third number per point
    bool sigmaAbsolute = false;      // --sigma-kind absolute: sigma are one standard deviation
    bool sigmaKindGiven = false;
    Weighting weighting = WEIGHTING_NONE;
    FixedParameter fixed = {-1, 0.0}; // --fix A=V or B=V
    bool report = false;             // the block for a paper
    std::vector<double> predictX;    // --predict: Y with its intervals at these X
    std::vector<double> inverseY;    // --inverse: X at these Y
    BandKind band = BAND_NONE;
    bool sigmaXY = false;            // --sigma-xy: each point is X Y SIGMA_X SIGMA_Y, sigma absolute
    int share = 0;                   // --share: SHARE_* mask of the parameters every file has in common
    bool robust = false;             // --robust: points far from the curve weighed down
    RobustKind robustKind = ROBUST_BISQUARE;
    std::vector<PointRange> exclude; // --exclude: point numbers left out of every file
    CiMethod ci = CI_WALD;           // --ci, or the bootstrap
    bool ciGiven = false;
    int bootstrap = 0;               // --bootstrap: resamples (0: none)
    unsigned long seed = 1;          // --seed of the bootstrap's draws
    bool seedGiven = false;
    bool finished = false;           // help, version or the model list was printed: nothing left to do
    std::vector<const char*> files;  // in the order given; "-" is standard input

    // How the points are weighted: sigma with --sigma (of Y under --sigma-xy), else --weight's kind.
    Weighting weightingKind() const { return sigmaXY ? WEIGHTING_SIGMA_XY : sigma ? WEIGHTING_SIGMA : weighting; }
    // The weights are 1/sigma^2 of one-sd sigma.
    bool absoluteWeights() const { return sigmaAbsolute || sigmaXY; }
    // Predictions, inverses and a prediction band need the variance of a new measurement.
    bool needsNewMeasurements() const { return band == BAND_PREDICTION || !predictX.empty() || !inverseY.empty(); }
};

// Reads argv into options. Returns -1 when there are files to fit; otherwise the exit status, after
// printing what was asked for (help, version, model list) or a one-line reason on standard error.
int parseFitOptions(int argc, char** argv, FitOptions* options);

// The model numbers and formulas of the model table, one "K  FORMULA" line each.
void printModelList();

#endif
