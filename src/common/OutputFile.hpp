// Output files that never destroy what the run reads or what it had written before. A file
// is written to a temporary file beside it (same folder, so that the rename is atomic) and
// renamed over the path only once it is complete; a failure, or the end of the program by
// SIGINT or SIGTERM, removes the temporary file and leaves an earlier file as it was. A
// path that names one of the run's inputs, or the file standard output writes to, is refused
// before anything is read: compared by device and inode, so that another name of the same
// file is caught too.
#pragma once

#include <fstream>
#include <string>
#include <vector>

class OutputFile {
  public:
    // `option` names the output in messages ("--stats"). Opens the temporary file at once,
    // so that a path that cannot be written fails before the work.
    OutputFile(const std::string& path, const std::string& option);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::ostream& stream() { return out_; }
    // Flushes, checks every write and renames the file into place.
    void commit();

  private:
    std::string path_, option_, temporary_;
    std::ofstream out_;
    bool committed_ = false;
};

// The one write check of every stream output: flushes, and ends the run where a write failed,
// with the reason of the first failure ("Error: cannot write the report: No space left on
// device"). `what` completes "cannot write ".
void checkWritten(std::ostream& out, const std::string& what);

// Removes the temporary files of the outputs not yet complete; safe in a signal handler, for
// a program that must end at once (out of memory).
void removePendingOutputs();

// For a program (not a library caller, whose signals are its own): SIGINT, SIGTERM, SIGHUP
// and SIGPIPE remove the outputs not yet complete, then end the program as the signal would.
void removeOutputsWhenStopped();

// Refuses an output path that is one of `inputs` (skipping "-" and empty names), another
// output, or the file standard output writes to.
void refuseClashingOutput(const std::string& path, const std::string& option,
                          const std::vector<std::pair<std::string, std::string>>& inputs);
