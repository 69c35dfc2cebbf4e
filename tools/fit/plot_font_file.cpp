// SPDX-License-Identifier: GPL-3.0-or-later
// The plot's font from the file KELVORA_FIT_FONT_FILE through FreeType, for builds without fontconfig.
// A file that cannot be read leaves cairo's own font in place: the plot is still drawn.
#include "plot_font.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

PlotFont openPlotFont(cairo_t* cr)
{
    PlotFont font = {NULL, NULL};
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return font;
    font.library = library;
    if (FT_New_Face(library, KELVORA_FIT_FONT_FILE, 0, &face) != 0) return font;
    font.face = cairo_ft_font_face_create_for_ft_face(face, 0);
    cairo_set_font_face(cr, font.face);
    return font;
}

void closePlotFont(PlotFont* font)
{
    // cairo's caches hold the face until they are reset; FreeType's faces go with its library.
    if (font->face != NULL) cairo_font_face_destroy(font->face);
    cairo_debug_reset_static_data();
    if (font->library != NULL) FT_Done_FreeType((FT_Library)font->library);
    *font = PlotFont{NULL, NULL};
}
