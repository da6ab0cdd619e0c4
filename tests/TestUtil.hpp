// Helpers shared by the tests: temporary input files and running a program as a user would.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef GOLDEN_DIR
inline const std::string kGolden = GOLDEN_DIR "/";
#endif
#ifdef EXAMPLES_DIR
inline const std::string kExamples = EXAMPLES_DIR "/";
#endif

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A file in a fresh temporary folder, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::string& content, const std::string& name = "input.txt") {
        char folder[] = "/tmp/rekul-test-XXXXXX";
        dir_ = mkdtemp(folder);
        path_ = dir_ + "/" + name;
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { std::filesystem::remove_all(dir_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string dir_, path_;
};

// The header lines of a report, without '>' and without the probability.
inline std::vector<std::string> headers(const std::string& report) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while ((pos = report.find('>', pos)) != std::string::npos) {
        size_t end = report.find(',', pos);
        lines.push_back(report.substr(pos + 1, end - pos - 1));
        pos = end;
    }
    return lines;
}

// Standard error without the "Read:" lines that every run writes first.
inline std::string withoutReadLines(const std::string& err) {
    std::string out;
    for (size_t at = 0; at < err.size();) {
        size_t end = err.find('\n', at);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(at, 6, "Read: ") != 0) out.append(err, at, end - at);
        at = end;
    }
    return out;
}

struct RunResult {
    std::string out, err;
    int status = -1;
};

// A refusal: status 1, nothing on standard output, and the message on standard error.
#define EXPECT_REFUSED(result, message)                                           \
    do {                                                                          \
        const RunResult& refused_ = (result);                                     \
        EXPECT_EQ(refused_.status, 1) << (message);                               \
        EXPECT_EQ(refused_.out, "") << (message);                                 \
        EXPECT_NE(refused_.err.find(message), std::string::npos) << refused_.err; \
    } while (false)

inline std::string shellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a program with the arguments and captures standard output, standard error and the
// exit status separately.
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args) {
    TempFile out(""), err("");
    std::string command = shellQuote(program);
    for (const std::string& arg : args) command.append(" ").append(shellQuote(arg));
    command.append(" </dev/null >").append(shellQuote(out.path()));
    command.append(" 2>").append(shellQuote(err.path()));
    int raw = std::system(command.c_str());
    RunResult result{readFile(out.path()), readFile(err.path()), -1};
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    return result;
}

// How often `part` occurs in `text`, without overlaps.
inline size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
    return count;
}

// The tab-separated rows of a text, without empty lines and the lines that say how a form
// was made ('#' lines, BED's track line).
inline std::vector<std::vector<std::string>> rows(const std::string& text) {
    std::vector<std::vector<std::string>> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#' || line.starts_with("track ")) continue;
        out.emplace_back();
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) out.back().push_back(field);
    }
    return out;
}

#ifdef BUILD_DIR
#define SKIP_WITHOUT_CHROMIUM() \
    if (!std::filesystem::exists("/usr/bin/chromium")) GTEST_SKIP() << "Chromium is not installed"

// Headless Chromium on a page; each caller names its own profile folder, so that tests run
// in parallel.
inline RunResult chromium(const std::string& page, const std::string& profile,
                          const std::string& what) {
    return runProgram(
        "sh", {"-c",
               "/usr/bin/chromium --headless --no-sandbox --disable-gpu"
               " --no-first-run --disable-background-networking"
               " --disable-component-update --disable-sync --user-data-dir=" +
                   std::string(BUILD_DIR) + "/" + profile + " " + what + " file://" + page});
}

// The DOM of a page after its script has run, with the browser's log on standard error.
inline RunResult chromiumDom(const std::string& page, const std::string& profile) {
    return chromium(page, profile, "--enable-logging=stderr --v=0 --dump-dom");
}
#endif

#ifdef REKUL_BIN
inline const std::vector<std::string>& bothPrograms() {
    static const std::vector<std::string> programs{REKUL_BIN, REKULO_BIN};
    return programs;
}
#endif

#include "common/die.hpp"

// The message of the refusal (a RunEnd of status 1) that `body` throws; "" if it throws none.
template <typename Body>
std::string refusalOf(Body&& body) {
    try {
        body();
    } catch (const RunEnd& end) {
        EXPECT_EQ(end.status(), 1);
        return end.message();
    }
    return "";
}
