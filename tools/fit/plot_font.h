// SPDX-License-Identifier: GPL-3.0-or-later
// The font of the publication plot's text: DejaVu Sans, found by fontconfig on the desktop, taken from
// the font file itself where there is no fontconfig (kelvora-fit in the web page).
#ifndef KELVORA_PLOT_FONT_H
#define KELVORA_PLOT_FONT_H

#include <cairo.h>

// What the font holds while one plot is drawn.
struct PlotFont {
    void* library;           // FreeType's, where the face is read from the file
    cairo_font_face_t* face; // the face set on the plot, when it is the plot's own
};

// Sets the plot's font face on cr (its size is the caller's).
PlotFont openPlotFont(cairo_t* cr);

// Lets go of the font and of the font tables cairo and the font lookup keep for the life of the
// process; a plot is drawn once a run, so they go after it (the next plot loads them again).
void closePlotFont(PlotFont* font);

#endif
