// Output files that appear only when complete: written under a temporary name
// beside the target and renamed over it on success.
#pragma once

#include <cstdio>
#include <string>

namespace kro::cli {

class AtomicOutput {
public:
    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    ~AtomicOutput();  // discards the temporary file unless committed

    // Opens a temporary file beside target ("-": standard output, written
    // at commit); false with errno set on failure.
    bool open(const std::string& target);
    FILE* stream() const { return stream_; }
    // Flushes, closes and renames into place; false with errno set on failure.
    bool commit();

private:
    std::string target_;
    std::string temp_;
    FILE* stream_ = nullptr;
};

// Removes the temporary files that an AtomicOutput for target left behind
// when its process was killed before it could clean up.
void removeLeftovers(const std::string& target);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace kro::cli
