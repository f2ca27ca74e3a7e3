// kro batch: one conversion job per line of a job file, each in a process of
// its own, N at a time. Windows has no fork: there the jobs run one after
// another in this process, each with its messages kept apart as a child's are.
#ifdef _WIN32
#include <io.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/job.h"
#include "cli/job_flow.h"
#include "cli/output.h"
#include "cli/plot_convert.h"
#include "cli/plot_info.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The words of a job line that name its files: 1 (input), 6 (outdata),
// 7 (outfile) and 14 (directory).
constexpr size_t kInputWord = 0, kOutdataWord = 5, kOutfileWord = 6, kDirectoryWord = 13;
constexpr size_t kLineWords = 25;

struct JobLine {
    int number = 0;  // in the job file, from 1
    std::string text;
    std::string input, output;  // as the line names them, for the report
};

struct Running {
#ifdef _WIN32
    int pid = -1;
    int status = 0;  // the job's exit status, run before it is waited for
#else
    pid_t pid = -1;
#endif
    size_t job = 0;
    FILE* messages = nullptr;  // the child's standard error
    Clock::time_point start;
};

struct Settings {
    std::string file;
    std::string report;
    long jobs = 1;
};

// The output a line names: outfile (word 7) as it stands; else the input's
// name with the extension outdata (word 6) in directory (word 14), or beside
// the input. Empty when the line names neither.
std::string outputOf(std::string input, std::string outdata, std::string outfile,
                     std::string directory) {
    for (std::string* w : {&outdata, &outfile, &directory})
        if (*w == "-") w->clear();
    if (!outfile.empty()) return outfile;
    if (outdata.empty()) return "";
    const size_t slash = input.rfind('/');
    std::string base = slash == std::string::npos ? input : input.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    if (directory.empty()) directory = slash == std::string::npos ? "." : input.substr(0, slash);
    if (directory.empty() || directory.back() != '/') directory += '/';
    return directory + base + "." + outdata;
}

bool readJobFile(const std::string& path, std::vector<JobLine>* jobs) {
    std::ifstream in(path);
    if (!in) return false;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        const size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos || text[first] == '#') continue;  // blank or comment
        JobLine job;
        job.number = number;
        job.text = text;
        std::istringstream words(text);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.size() > kInputWord) job.input = w[kInputWord];
        if (w.size() > kDirectoryWord)
            job.output =
                outputOf(w[kInputWord], w[kOutdataWord], w[kOutfileWord], w[kDirectoryWord]);
        jobs->push_back(job);
    }
    return !in.bad();
}

// The job options of a line's words, by word number from 1; the file words
// (1, 6, 7, 14) are not options.
constexpr const char* kWordKeywords[kLineWords + 1] = {
    nullptr, nullptr, "width",       "height", "dpi",         "papertype", nullptr,
    nullptr, "page",  "from",        "to",     "compression", "scale",     "rotate",
    nullptr, "strip", "stripLength", "pen1",   "pen2",        "pen3",      "pen4",
    "pen5",  "pen6",  "pen7",        "pen8",   "plot",
};

// Checks a line's words as convert checks its options, so that a refusal
// names the word: "jobs: line 3, word 4 (dpi): 'abc' is not a whole number".
// 0, or 1 after saying what is wrong.
int checkLine(const std::string& jobFile, const JobLine& line) {
    const std::string where = jobFile + ": line " + std::to_string(line.number);
    std::istringstream split(line.text);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    if (words.size() < kLineWords) {
        std::fprintf(stderr, "kro: %s holds %zu word%s, not %zu (status %d)\n", where.c_str(),
                     words.size(), words.size() == 1 ? "" : "s", kLineWords,
                     int(KRO_ERR_OPTFILE_WORDS));
        return kExitFailure;
    }
    const auto fileWord = [&](size_t number, const char* name) {
        const std::string& w = words[number - 1];
        if (w == "-" || w[0] == '/') return true;
        std::fprintf(stderr, "kro: %s, word %zu (%s): '%s' is not an absolute path (status %d)\n",
                     where.c_str(), number, name, w.c_str(),
                     int(number == 1 ? KRO_ERR_OPTFILE_INPUT : KRO_ERR_OPTFILE_DIR));
        return false;
    };
    if (words[0] == "-") {
        std::fprintf(stderr, "kro: %s, word 1 (input): a job reads a file, not '-' (status %d)\n",
                     where.c_str(), int(KRO_ERR_OPTFILE_STDIN));
        return kExitFailure;
    }
    if (!fileWord(1, "input") || !fileWord(kDirectoryWord + 1, "directory")) return kExitFailure;
    std::vector<std::string> args, operands;
    for (size_t n = 1; n <= kLineWords; ++n)
        if (kWordKeywords[n] && words[n - 1] != "-") {
            args.push_back(std::string("-") + kWordKeywords[n]);
            args.push_back(words[n - 1]);
        }
    OptionNames names;
    names.line = where;
    names.word = [](const std::string& keyword) {
        size_t n = 1;
        while (n <= kLineWords && !(kWordKeywords[n] && keyword == kWordKeywords[n])) ++n;
        return "word " + std::to_string(n) + " (" + keyword + ")";
    };
    return parseJobOptions(args, &operands, names) == 0 ? 0 : kExitFailure;
}

// The child's side: the library reads the line into kroOption, then the job
// runs as convert runs it. Returns the exit status.
int runLine(const std::string& jobFile, const JobLine& line) {
    const std::string where = jobFile + ":" + std::to_string(line.number);
    if (int rc = checkLine(jobFile, line)) return rc;
    std::string text = line.text;
#ifdef _WIN32
    FILE* f = scratchFile();
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() ||
        std::fseek(f, 0, SEEK_SET)) {
        if (f) std::fclose(f);
        return systemError(where, errno);
    }
#else
    FILE* f = ::fmemopen(text.data(), text.size(), "r");
    if (!f) return systemError(where, errno);
#endif
    char* input = KroReadOptionFile(f);
    std::fclose(f);
    if (!input || input == KRO_FAILED_PTR) return libraryError(where, fndErrorStatus);
    Job job;
    job.inputs.push_back(input);
    std::free(input);
    const auto word = [](const KroTextSlot& slot) { return slot.given ? slot.value : "-"; };
    job.output = outputOf(job.inputs[0], word(kroOption.outdata), word(kroOption.outfile),
                          word(kroOption.directory));
    if (job.output.empty()) {
        std::fprintf(stderr,
                     "kro: %s: the job names no output: give outfile (word 7) or outdata "
                     "(word 6, an extension)\n",
                     where.c_str());
        return kExitFailure;
    }
    // The file words are the batch's business, not options of the conversion.
    kroOption.outfile.given = kroOption.directory.given = kroOption.outdata.given = 0;
    // A plot is drawn on a page, as convert draws it.
    if (isPlotFile(job.inputs[0])) return convertPlot(job.inputs[0], job.output, "", false);
    if (int rc = checkJob(job)) {
        std::fprintf(stderr, "kro: %s: job refused\n", where.c_str());
        return rc;
    }
    return runJob(job);
}

#ifdef _WIN32
// Runs the job now, its standard error going into messages; its exit status.
int runHere(const Settings& settings, const JobLine& line, FILE* messages) {
    std::fflush(nullptr);
    const int saved = _dup(_fileno(stderr));
    if (saved < 0 || _dup2(_fileno(messages), _fileno(stderr)) != 0) {
        if (saved >= 0) _close(saved);
        return kExitFailure;
    }
    const int rc = runLine(settings.file, line);
    std::fflush(nullptr);
    _dup2(saved, _fileno(stderr));
    _close(saved);
    return rc;
}
#else
pid_t startJob(const Settings& settings, const JobLine& line, FILE* messages) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(fileno(messages), STDERR_FILENO);
    const int rc = runLine(settings.file, line);
    std::fflush(nullptr);
    ::_exit(rc);
}
#endif

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string readAll(FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
    return s;
}

class Progress {
  public:
    Progress(size_t total)
        : total_(total), start_(Clock::now()), shown_(::isatty(::fileno(stderr))) {}

    void update(size_t done, size_t failed) {
        if (!shown_) return;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        const double rate = seconds > 0 ? double(done) / seconds : 0;
        const double left = rate > 0 ? double(total_ - done) / rate : 0;
        std::fprintf(stderr, "\r\033[K%zu/%zu done, %zu failed, %.1f jobs/s, %.0f s left", done,
                     total_, failed, rate, left);
        std::fflush(stderr);
    }
    // Clears the line before other text reaches the terminal.
    void clear() {
        if (shown_) std::fputs("\r\033[K", stderr);
    }

  private:
    size_t total_;
    Clock::time_point start_;
    bool shown_;
};

// Kept out of line: GCC 12 inlined, it warns of a false free-nonheap-object.
[[gnu::noinline]] int parseArgs(const std::vector<std::string>& words, Settings* s) {
    const std::vector<std::string> args = splitValues(words, {"--jobs", "--report"});
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--jobs" || a == "--report") {
            if (i + 1 == args.size()) return usageError("batch: %s needs a value", a.c_str());
            const std::string& value = args[++i];
            if (a == "--report") {
                s->report = value;
                continue;
            }
            char* end = nullptr;
            s->jobs = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end || s->jobs < 1 || s->jobs > 256)
                return usageError("batch: --jobs takes 1 to 256, not '%s'", value.c_str());
        } else if (a.size() > 1 && a[0] == '-') {
            // A double-dash job option gets the hint every command gives.
            if (a.compare(0, 2, "--") == 0) {
                std::vector<std::string> one(1, a), none, flags, words;
                if (int rc = splitFlags(one, none, &flags, &words)) return rc;
            }
            return usageError(
                "batch: job options belong on the lines of the job file, not "
                "'%s'",
                a.c_str());
        } else {
            operands.push_back(a);
        }
    }
    if (operands.size() != 1) return usageError("batch: needs one job FILE");
    s->file = operands[0];
    return 0;
}

}  // namespace

int cmdBatch(const std::vector<std::string>& args) {
    Settings settings;
    if (int rc = parseArgs(args, &settings)) return rc;
    std::vector<JobLine> jobs;
    if (!readJobFile(settings.file, &jobs)) return systemError(settings.file, errno);
    FILE* report = nullptr;
    if (!settings.report.empty()) {
        report = std::fopen(settings.report.c_str(), "w");
        if (!report) return systemError(settings.report, errno);
    }

    const Clock::time_point start = Clock::now();
    Progress progress(jobs.size());
    std::vector<Running> running;
    size_t next = 0, done = 0, failed = 0;
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && running.size() < size_t(settings.jobs)) {
            Running r;
            r.job = next++;
            r.messages = scratchFile();
            r.start = Clock::now();
#ifdef _WIN32
            if (r.messages) {
                r.status = runHere(settings, jobs[r.job], r.messages);
                r.pid = int(r.job);
            }
#else
            r.pid = r.messages ? startJob(settings, jobs[r.job], r.messages) : -1;
#endif
            if (r.pid < 0) {
                // No process for it: the job fails; the batch goes on.
                progress.clear();
                std::fprintf(stderr, "kro: %s:%d: %s\n", settings.file.c_str(), jobs[r.job].number,
                             std::strerror(errno));
                if (r.messages) std::fclose(r.messages);
                ++done, ++failed;
                continue;
            }
            running.push_back(r);
        }
        if (running.empty()) continue;
#ifdef _WIN32
        const Running r = running.front();
        running.erase(running.begin());
        const JobLine& job = jobs[r.job];
        std::string messages = readAll(r.messages);
        std::fclose(r.messages);
        const int exitStatus = r.status;
#else
        int wstatus = 0;
        const pid_t pid = ::waitpid(-1, &wstatus, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        size_t i = 0;
        while (i < running.size() && running[i].pid != pid) ++i;
        if (i == running.size()) continue;
        const Running r = running[i];
        running.erase(running.begin() + long(i));
        const JobLine& job = jobs[r.job];
        std::string messages = readAll(r.messages);
        std::fclose(r.messages);
        int exitStatus = 0;
        if (WIFEXITED(wstatus)) {
            exitStatus = WEXITSTATUS(wstatus);
        } else {
            exitStatus = kExitFailure;
            removeLeftovers(job.output);
            messages += "kro: " + settings.file + ":" + std::to_string(job.number) +
                        ": the job was killed by signal " + std::to_string(WTERMSIG(wstatus)) +
                        "\n";
        }
#endif
        ++done;
        if (exitStatus != 0) ++failed;
        progress.clear();
        std::fputs(messages.c_str(), stderr);
        progress.update(done, failed);
        if (report) {
            const double seconds = std::chrono::duration<double>(Clock::now() - r.start).count();
            std::fprintf(report,
                         "{\"line\":%d,\"input\":%s,\"output\":%s,\"ok\":%s,\"exit\":%d,"
                         "\"seconds\":%.3f,\"messages\":%s}\n",
                         job.number, jsonString(job.input).c_str(), jsonString(job.output).c_str(),
                         exitStatus == 0 ? "true" : "false", exitStatus, seconds,
                         jsonString(messages).c_str());
        }
    }
    progress.clear();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%zu job%s: %zu succeeded, %zu failed in %.1f s\n", jobs.size(),
                jobs.size() == 1 ? "" : "s", done - failed, failed, seconds);
    if (report && std::fclose(report) != 0) return systemError(settings.report, errno);
    return failed != 0 ? kExitFailure : 0;
}

}  // namespace kro::cli
