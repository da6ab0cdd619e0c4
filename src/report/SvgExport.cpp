// SVG files: the page written to a temporary folder, Chromium run headless on its file URL at
// #export-svg, and each figure cut from the dumped DOM and written whole.
#include "report/SvgExport.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/OutputFile.hpp"
#include "common/Text.hpp"
#include "common/die.hpp"

namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string browser() {
    if (const char* named = std::getenv("REKUL_CHROMIUM"); named && *named) return named;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        size_t from = 0;
        while (from <= folders.size()) {
            const size_t end = std::min(folders.find(':', from), folders.size());
            const std::string candidate = folders.substr(from, end - from) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            from = end + 1;
        }
    }
    die("Error: --svg draws the figures with the page's own script in a headless Chromium, "
        "and none was found: install chromium, or name a browser in REKUL_CHROMIUM");
}

// A temporary folder for the page and the browser's profile, removed when done.
struct Workspace {
    Workspace() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/rekul-svg-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) die("Error: cannot make a temporary folder");
        path = pattern;
    }
    ~Workspace() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

// A file's URL: its absolute path with every byte but letters, digits, '/', '-', '.', '_'
// and '~' percent-encoded, so that a folder holding '#', '?' or '%' names the same file.
std::string fileUrl(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : std::filesystem::absolute(path).string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 15];
        }
    }
    return url;
}

// The page's DOM after its script ran at #export-svg.
std::string drawnPage(const std::string& page, bool allModules) {
    const Workspace work;
    const std::string file = work.path + "/page.html";
    std::ofstream(file, std::ios::binary) << page;
    const std::string command =
        quoted(browser()) +
        " --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --user-data-dir=" +
        quoted(work.path + "/profile") + " --dump-dom " +
        quoted(fileUrl(file) + (allModules ? "#export-svg-all" : "#export-svg")) + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) die("Error: cannot start the browser for --svg");
    std::string dom;
    char block[65536];
    for (size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) dom.append(block, got);
    const int status = ::pclose(pipe);
    if (status != 0 && dom.empty()) die("Error: the browser for --svg did not run");
    return dom;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class JsonReader {
  public:
    explicit JsonReader(const std::string& text) : text_(text) {}
    void expect(char c) {
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != c) fail();
        ++at_;
    }
    bool next(char c) {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    std::string string() {
        expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            const char c = text_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) fail();
            const char e = text_[at_++];
            const std::string simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
            if (const size_t k = simple.find(e); k != std::string::npos) {
                out += meant[k];
                continue;
            }
            if (e != 'u') fail();
            uint32_t code = hex4();
            if (code >= 0xD800 && code < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
                at_ += 2;
                code = 0x10000 + ((code - 0xD800) << 10) + (hex4() - 0xDC00);
            }
            appendUtf8(out, code);
        }
        expect('"');
        return out;
    }

  private:
    uint32_t hex4() {
        if (at_ + 4 > text_.size()) fail();
        const std::string digits = text_.substr(at_, 4);
        at_ += 4;
        char* end = nullptr;
        const unsigned long code = std::strtoul(digits.c_str(), &end, 16);
        if (end != digits.c_str() + 4) fail();
        return static_cast<uint32_t>(code);
    }
    void skipBlanks() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    [[noreturn]] static void fail() {
        die("Error: the browser's answer for --svg is not the page's figures");
    }
    const std::string& text_;
    size_t at_ = 0;
};

bool safeName(const std::string& name) {
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".svg") != 0 || name[0] == '.')
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            return false;
    return true;
}

}  // namespace

std::map<std::string, std::string> parseStringObject(const std::string& json) {
    JsonReader reader(json);
    std::map<std::string, std::string> values;
    reader.expect('{');
    if (reader.next('}')) return values;
    do {
        std::string key = reader.string();
        reader.expect(':');
        values[std::move(key)] = reader.string();
    } while (reader.next(','));
    reader.expect('}');
    return values;
}

void writeSvgFiles(const std::string& page, const std::string& folder, bool allModules) {
    const std::string dom = drawnPage(page, allModules);
    const std::string open = "<script type=\"application/json\" id=\"svg-export\">";
    const size_t from = dom.find(open);
    const size_t to = from == std::string::npos ? from : dom.find("</script>", from);
    if (to == std::string::npos)
        die("Error: the browser for --svg did not draw the page (no figures in its answer)");
    const std::map<std::string, std::string> files =
        parseStringObject(dom.substr(from + open.size(), to - from - open.size()));
    for (const auto& [name, svg] : files)
        if (!safeName(name)) die("Error: --svg was handed a figure named " + printable(name));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) die("Error: cannot make the folder " + printable(folder) + ": " + error.message());
    for (const auto& [name, svg] : files) {
        OutputFile file(folder + "/" + name, "--svg");
        file.stream() << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" << svg << "\n";
        file.commit();
    }
}
