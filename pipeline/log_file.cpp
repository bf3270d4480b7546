#include "pipeline/log_file.h"

#include "pipeline/text.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plyvet {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

struct LogFile::Descriptor {
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool LogFile::create() const {
    File f(std::fopen(path_.c_str(), "wb"));
    return f != nullptr;
}

bool LogFile::append(std::string_view utf8Line) const {
    const std::string line(utf8Line);
    return appendLines(std::span<const std::string>(&line, 1));
}

bool LogFile::appendLines(std::span<const std::string> utf8Lines) const {
    if (path_.empty() || utf8Lines.empty()) return true;
    // A file removed since the last line is created again; fstat on the open
    // descriptor is far cheaper than opening the path.
    struct stat st {};
    if (open_ && (::fstat(open_->fd, &st) != 0 || st.st_nlink == 0)) {
        open_.reset();
    }
    if (!open_) {
        auto d = std::make_shared<Descriptor>();
        d->fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (d->fd < 0) return false;
        open_ = std::move(d);
    }
    std::string bytes;
    for (const std::string& line : utf8Lines) {
        // A line of the log is one line on disk whatever the text holds;
        // embedded CR LF pairs (multi-line messages) are kept as they are.
        bytes += text::utf8ToCp1252(line);
        bytes += "\r\n";
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(open_->fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Try a fresh descriptor at the next line (a full disk may clear).
            open_.reset();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace plyvet
