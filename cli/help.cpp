// kro's help: an overview, and a page for each command.
#include <cstdio>
#include <string>

#include "cli/cli.h"

namespace kro::cli {

namespace {

const char kOverview[] =
    "Usage: kro [--help] [--version] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE...                 describe pictures: format, size, depth, photometric\n"
    "                               interpretation and resolution (TIFF: pages and\n"
    "                               compression too); HP-GL plots:\n"
    "                               extents, paper and page in dots for the job options\n"
    "                               (-dpi -papertype -scale -physical -plot -ignore)\n"
    "  convert [--verbose] [--to FORMAT] [--style full|design] [--labels text|box]\n"
    "          IN... OUT\n"
    "                               convert a picture; the output format follows OUT's\n"
    "                               extension (.bmp, .pcx, .jpg/.jpeg, .cal/.cals,\n"
    "                               .tif/.tiff, .png, .ps, .pdf); several inputs, and\n"
    "                               the pages of a TIFF input, make one PostScript,\n"
    "                               PDF or TIFF page each;\n"
    "                               - reads standard input or writes standard output;\n"
    "                               an HP-GL plot is drawn on a page (.png, .pdf,\n"
    "                               .svg or a raster format)\n"
    "  batch [--jobs N] [--report FILE] JOBS\n"
    "                               one conversion job per line of JOBS (option-file\n"
    "                               lines of 25 words), N processes at a time; a\n"
    "                               JSON line per job in FILE\n"
    "  help [COMMAND]               this overview, or a command's page (also\n"
    "                               kro COMMAND --help)\n"
    "  paper                        list every paper name with its code and size\n"
    "  paper NAME                   a paper's size in millimetres and in dots (-dpi)\n"
    "  paper WxHmm [--fit]          the paper nearest a size (--fit: the smallest that\n"
    "                               holds it)\n"
    "  paper WxHdots                the paper of a size in dots (-dpi)\n"
    "\n"
    "kro reads BMP files of 1, 4, 8, 16, 24 and 32 bits (Windows and OS/2\n"
    "headers; uncompressed, RLE8, RLE4 or bit fields; either row order), PCX\n"
    "files of 1 to 8 bits in 1 to 4 planes, baseline and progressive JPEG files\n"
    "(gray or colour) and CALS Type 1 files. It refuses JPEG- or PNG-compressed\n"
    "BMP files and CMYK or arithmetic-coded JPEG files, naming the variant.\n"
    "\n"
    "Job options are single-dash words as a host passes them, anywhere among the\n"
    "file names, for example -dpi 300 -papertype A4V. The library checks them all;\n"
    "convert scales the picture to the page of -width -height, -papertype, -scale,\n"
    "-dpi and -defDpi, and applies the colour options; each output format refuses\n"
    "the options its conversion kind does not take. paper applies -dpi.\n"
    "\n"
    "Options:\n"
    "  -h, --help                   show this help and exit\n"
    "  -V, --version                show the version and exit\n"
    "  --verbose                    (convert) say what was written\n"
    "  --to FORMAT                  (convert) the output format: bmp pcx jpg cal tif\n"
    "                               png ps\n"
    "  --style full|design          (convert) a plot in its colours, widths, fills\n"
    "                               and stroked labels (full, the default), or in\n"
    "                               black outlines with label boxes (design)\n"
    "  --labels text|box            (convert) with the design's look, draw a plot's\n"
    "                               labels as text or as the boxes they fill (the default)\n"
    "  --fit                        (paper) the smallest paper that holds the size\n"
    "\n"
    "Exit status: 0 on success, 1 when a job fails, 2 on a usage error.\n";

struct Page {
    const char* command;
    const char* text;
};

const Page kPages[] = {
    {"info",
     "Usage: kro info FILE... [JOB OPTIONS]\n"
     "\n"
     "Describes each picture as stored: format, size, depth, photometric\n"
     "interpretation, colour type, resolution, and a CALS file's header records.\n"
     "An HP-GL plot (told by its bytes) gets its extents, its size in millimetres\n"
     "and the paper and page in dots that -dpi -papertype -scale -physical -plot\n"
     "-ignore give. - reads standard input.\n"},
    {"convert",
     "Usage: kro convert [--verbose] [--to FORMAT] [--style full|design]\n"
     "                   [--labels text|box] IN... OUT\n"
     "                   [JOB OPTIONS]\n"
     "\n"
     "Converts a picture. Each input's format is told by its bytes (BMP, PCX,\n"
     "JPEG, CALS Type 1, TIFF, PNG); the output's by OUT's extension (.bmp .pcx\n"
     ".jpg .jpeg .cal .cals .tif .tiff .png .ps .pdf) or by --to (bmp, pcx, jpg,\n"
     "cal, tif, png, ps, pdf). Several inputs, and each page of a TIFF input, make\n"
     "one PostScript, PDF or TIFF page each; other outputs take a TIFF input's\n"
     "first page. TIFF outputs are coded with -compression (NO, G3, G4, PackBits;\n"
     "G4 for bilevel pictures and LZW otherwise when not given). A CALS file into\n"
     "TIFF, or a one-page Group 4 TIFF into CALS, with no option that changes the\n"
     "picture, keeps its coded data as it is. A PDF page holds a CALS file's Group 4\n"
     "data or a JPEG file as they are when no option changes the picture; other\n"
     "bilevel pictures are coded with Group 4, the rest with Flate. - as IN reads\n"
     "standard input, as OUT writes standard output (with --to).\n"
     "\n"
     "An HP-GL plot (told by its bytes) is drawn on a page and written as .png,\n"
     ".pdf, .svg (vectors) or a raster page (.bmp .pcx .cal .ps .jpg; bilevel in the\n"
     "design's look; among several inputs of a .pdf, too), or\n"
     "to standard output with --to, sized by -dpi -papertype -width -height\n"
     "-physical, at -scale F (0 or none: fitted to the page) and -center, with\n"
     "-plot N (plotter type), -ignore LIST and pen widths -pen1 .. -pen8 (mm).\n"
     "The full look (the default) draws the plot's pen colours (PC, NP; pens 1-8\n"
     "black, red, green, yellow, blue, magenta, cyan otherwise), widths (PW, WU;\n"
     "-penN wins where given), line ends and joins (LA), fills (FP, RA, RR, WG;\n"
     "solid or hatched by FT) and labels in a stroke font (LO, DV), with SM symbols\n"
     "and RO's turned axes; PNG, BMP, PCX, JPEG and PostScript pages are in colour\n"
     "when the plot has colour, CALS is bilevel. Each page of a plot (PG) is a page\n"
     "of a .pdf or .ps, or a file of its own: out.png, out-2.png, ...\n"
     "--style design draws black outlines with labels\n"
     "as the boxes their characters fill, or with --labels text\n"
     "as the characters themselves (a monospace font) in those boxes.\n"
     "\n"
     "Job options: -width W -height H, -papertype NAME, -scale F, -dpi N and\n"
     "-defDpi N scale the picture to the page; -colortype -gamma -level -dithes\n"
     "-dithee convert its colours; -quality N (JPEG); with a paper,\n"
     "-rotate 0|90|180|270 turns the paper to lie the way the picture does.\n"
     "Paper names are taken in any case. Each output format refuses\n"
     "the options its conversion kind does not take (BMP, PCX, PostScript, PDF: 5;\n"
     "JPEG: 7; CALS: 9).\n"
     "\n"
     "  --verbose    say what was written and each step taken\n"
     "  --to FORMAT  the output format, whatever OUT's name\n"
     "  --style full|design\n"
     "               the full look (full) or black outlines (design; plots only)\n"
     "  --labels text|box\n"
     "               a plot's labels as text or as boxes (box; plots only)\n"},
    {"batch",
     "Usage: kro batch [--jobs N] [--report FILE] JOBS\n"
     "\n"
     "Runs one conversion job per line of JOBS. A line holds 25 words, - for a\n"
     "word not given: 1 input (absolute path), 2 width, 3 height, 4 dpi,\n"
     "5 papertype, 6 outdata (an output extension), 7 outfile, 8 page, 9 from,\n"
     "10 to, 11 compression, 12 scale, 13 rotate, 14 directory (for outdata),\n"
     "15 strip, 16 stripLength, 17-24 pen1-pen8, 25 plot. Blank lines and lines\n"
     "starting with # are skipped. An HP-GL plot is drawn as convert draws it.\n"
     "A failed job leaves no output and does not stop the others; the exit\n"
     "status is 1 when any failed.\n"
     "\n"
#ifdef _WIN32
     "  --jobs N       accepted; on Windows the jobs run one after another (1)\n"
#else
     "  --jobs N       run N jobs at a time, each in its own process (1)\n"
#endif
     "  --report FILE  one JSON object per job: line, input, output, ok, exit,\n"
     "                 seconds, messages\n"},
    {"paper",
     "Usage: kro paper [NAME | WxHmm [--fit] | WxHdots] [-dpi N]\n"
     "\n"
     "Without arguments, every paper name with its code and size. NAME: the\n"
     "paper's size in millimetres and in dots at -dpi (400). WxHmm: the paper\n"
     "nearest the size (--fit: the smallest that holds it). WxHdots: the paper of\n"
     "that size in dots at -dpi.\n"},
    {"help", "Usage: kro help [COMMAND]\n\nThe overview, or one command's page.\n"},
};

}  // namespace

int showHelp(const std::string& command) {
    if (command.empty()) {
        std::fputs(kOverview, stdout);
        return 0;
    }
    for (const Page& page : kPages)
        if (command == page.command) {
            std::fputs(page.text, stdout);
            return 0;
        }
    return usageError("unknown command '%s'", command.c_str());
}

}  // namespace kro::cli
