// kro convert for HP-GL plots: the plot drawn on a page and written as PNG,
// PDF, SVG or any raster format kro writes (BMP, PCX, JPEG, CALS, PostScript;
// PDF as a page of pixels where there is no Cairo device).
#pragma once

#include <string>

#include "cli/picture.h"

namespace kro::cli {

// The design's look (KroDisplayHPGL: black outlines, label boxes) or the full
// look (KroDisplayHPGLStyled: colours, widths, fills, stroked labels).
enum class PlotLook { Full, Design };

// Whether OUT names an output only plots are drawn to (.png, .svg).
bool isPlotOnlyOutput(const std::string& out);

// Runs the plot flow for kro convert PLOT OUT, the job options already parsed
// into kroOption; to: the output format's name when not OUT's extension ("-":
// standard output); labelText draws labels' characters rather than their
// boxes (the design's look). Returns the exit status; a plot that fails to load or draw leaves no
// output file.
int convertPlot(const std::string& in, const std::string& out, const std::string& to, bool verbose,
                bool labelText = false, PlotLook look = PlotLook::Full);

// The plot drawn as convert draws it for a raster format, as a bilevel
// picture (a page of a PostScript document of several inputs). 0, or the exit
// status after reporting why; out names the output in messages.
int plotPicture(const std::string& in, const std::string& out, bool labelText, Picture* pic,
                PlotLook look = PlotLook::Full);

}  // namespace kro::cli
