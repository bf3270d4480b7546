#include "pipeline/log_file.h"

#include "pipeline/text.h"

#include <cstdio>
#include <memory>

namespace plyvet {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool LogFile::create() const {
    File f(std::fopen(path_.c_str(), "wb"));
    return f != nullptr;
}

bool LogFile::append(std::string_view utf8Line) const {
    if (path_.empty()) return true;
    File f(std::fopen(path_.c_str(), "ab"));
    if (!f) return false;
    std::string bytes = text::utf8ToCp1252(utf8Line);
    // A line of the log is one line on disk whatever the text holds; embedded
    // CR LF pairs (multi-line messages) are kept as they are.
    bytes += "\r\n";
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && written;
}

}  // namespace plyvet
