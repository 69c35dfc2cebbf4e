// SPDX-License-Identifier: GPL-3.0-or-later
// The plot's font through fontconfig, by its family name.
#include "plot_font.h"

#include <fontconfig/fontconfig.h>
#include <stddef.h>

PlotFont openPlotFont(cairo_t* cr)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    return PlotFont{NULL, NULL};
}

void closePlotFont(PlotFont*)
{
    cairo_debug_reset_static_data();
    FcFini();
}
