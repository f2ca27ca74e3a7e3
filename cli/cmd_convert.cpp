// kro convert: one job from the command line.
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/job.h"
#include "cli/job_flow.h"

namespace kro::cli {

int cmdConvert(const std::vector<std::string>& args) {
    std::vector<std::string> flags, words, files;
    if (int rc = splitFlags(args, {"--verbose"}, &flags, &words)) return rc;
    if (int rc = parseJobOptions(words, &files)) return rc;
    if (files.size() < 2) return usageError("convert: needs an input and an output file");
    Job job;
    job.verbose = hasFlag(flags, "--verbose");
    job.output = files.back();
    files.pop_back();
    job.inputs = files;
    if (int rc = checkJob(job)) return rc;
    return runJob(job);
}

}  // namespace kro::cli
