// Output files that appear only when complete: a plain file is written under
// a temporary name beside it and renamed over it on success; anything else
// (standard output, a device, a pipe) gets the whole file at commit.
#pragma once

#include <cstdio>
#include <string>

namespace kro::cli {

class AtomicOutput {
  public:
    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    ~AtomicOutput();  // discards what was written unless committed

    // Opens where the output is made until commit: a temporary file beside
    // the file target names (through its symbolic links), or for "-", a
    // character device or a FIFO, a buffer copied there at commit. false
    // with errno set on failure.
    bool open(const std::string& target);
    FILE* stream() const { return stream_; }
    // Flushes and puts the output in place; false with errno set on failure.
    bool commit();

  private:
    std::string target_;  // the file the temporary file is renamed over
    std::string temp_;
    FILE* stream_ = nullptr;
    FILE* direct_ = nullptr;  // where a buffered output goes at commit
};

// Makes a new private file from a mkstemp pattern (its X's filled in): its
// descriptor, or -1 with errno set; *path gets its name.
int makeTempFile(const std::string& pattern, std::string* path);

// A pattern for a file of the temporary folder ($TMPDIR, else /tmp) whose
// name starts with prefix.
std::string tempFolderPattern(const char* prefix);

// Removes the temporary files that an AtomicOutput for target left behind
// when its process was killed before it could clean up.
void removeLeftovers(const std::string& target);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// True when path names what standard output is open on ("-", /dev/stdout,
// the terminal), where progress notes must not go.
bool isStandardOutput(const std::string& path);

}  // namespace kro::cli
