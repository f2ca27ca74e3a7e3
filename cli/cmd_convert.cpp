// kro convert: one job from the command line.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/job.h"
#include "cli/job_flow.h"
#include "cli/plot_convert.h"
#include "cli/plot_info.h"

namespace kro::cli {

int cmdConvert(const std::vector<std::string>& given) {
    const std::vector<std::string> args = splitValues(given, {"--to", "--labels", "--style"});
    // --to FORMAT, --labels HOW and --style LOOK take a value; every other flag stands alone.
    std::vector<std::string> rest;
    std::string to, labels, style;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--to") {
            if (i + 1 == args.size()) return usageError("convert: --to needs a FORMAT");
            to = args[++i];
        } else if (args[i] == "--labels") {
            if (i + 1 == args.size() || (args[i + 1] != "text" && args[i + 1] != "box"))
                return usageError("convert: --labels takes text or box");
            labels = args[++i];
        } else if (args[i] == "--style") {
            if (i + 1 == args.size() || (args[i + 1] != "full" && args[i + 1] != "design"))
                return usageError("convert: --style takes full or design");
            style = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    std::vector<std::string> flags, words, files;
    if (int rc = splitFlags(rest, {"--verbose"}, &flags, &words)) return rc;
    if (int rc = parseJobOptions(words, &files)) return rc;
    if (files.size() < 2) return usageError("convert: needs an input and an output file");
    // "-dithee yes": the word after a switch is no file name.
    for (size_t i = 1; i < words.size(); ++i)
        if (words[i] == files.back() && isSwitchOption(words[i - 1]) && to.empty() &&
            formatForName(files.back()) == Format::Unknown && !isPlotOnlyOutput(files.back()))
            return usageError((words[i - 1] + " takes no value, not '%s'").c_str(),
                              files.back().c_str());
    // A plot is drawn on a page, not read as a picture.
    if (files.size() == 2 && isPlotFile(files[0])) {
        // --labels chooses how the design's look draws labels, so it asks for that look.
        const bool design = style == "design" || (style.empty() && !labels.empty());
        if (!design && !labels.empty())
            return usageError("convert: --labels applies to --style design only");
        return convertPlot(files[0], files[1], to, hasFlag(flags, "--verbose"), labels == "text",
                           design ? PlotLook::Design : PlotLook::Full);
    }
    // As the plot-only job options (-plot, -ignore) are refused for pictures.
    if (!labels.empty()) return usageError("convert: --labels applies to HP-GL plots only");
    if (!style.empty()) return usageError("convert: --style applies to HP-GL plots only");
    Job job;
    job.verbose = hasFlag(flags, "--verbose");
    job.to = to;
    job.output = files.back();
    files.pop_back();
    job.inputs = files;
    if (int rc = checkJob(job)) return rc;
    return runJob(job);
}

}  // namespace kro::cli
