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

// Held lines go out in writes that end at the first record end at or past a
// boundary of this size: no write then starts a page of the file that it
// does not also finish with a whole line.
constexpr std::uint64_t kPageBytes = 4096;

// Held lines never wait longer than this for their write.
constexpr std::chrono::milliseconds kLongestHold{500};

void appendConverted(std::string& bytes, std::span<const std::string> utf8Lines) {
    for (const std::string& line : utf8Lines) {
        // A line of the log is one line on disk whatever the text holds;
        // embedded CR LF pairs (multi-line messages) are kept as they are.
        bytes += text::utf8ToCp1252(line);
        bytes += "\r\n";
    }
}

// False when the bytes could not all be written.
bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

struct LogFile::Descriptor {
    int fd = -1;
    std::uint64_t end = 0;  // the file's size after the last write, as far as this writer knows
    std::string held;       // whole lines not yet written
    std::chrono::steady_clock::time_point heldSince;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd < 0) return;
        if (!held.empty()) writeAll(fd, held);
        ::close(fd);
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
    if (path_.empty()) return true;
    std::string bytes = takeHeld();
    appendConverted(bytes, utf8Lines);
    return write(bytes);
}

bool LogFile::appendHeld(std::span<const std::string> utf8Lines) const {
    if (path_.empty() || utf8Lines.empty()) return true;
    if (!open_ && !open()) return false;
    Descriptor& d = *open_;
    const auto now = std::chrono::steady_clock::now();
    if (d.held.empty()) d.heldSince = now;
    appendConverted(d.held, utf8Lines);
    const std::uint64_t nextPage = (d.end / kPageBytes + 1) * kPageBytes;
    if (d.end + d.held.size() < nextPage && now - d.heldSince < kLongestHold) return true;
    return write(takeHeld());
}

bool LogFile::flush() const { return write(takeHeld()); }

std::string LogFile::takeHeld() const {
    std::string bytes;
    if (open_) bytes.swap(open_->held);
    return bytes;
}

bool LogFile::open() const {
    auto d = std::make_shared<Descriptor>();
    d->fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (d->fd < 0) return false;
    struct stat st {};
    if (::fstat(d->fd, &st) == 0) d->end = static_cast<std::uint64_t>(st.st_size);
    open_ = std::move(d);
    return true;
}

bool LogFile::write(const std::string& bytes) const {
    if (path_.empty() || bytes.empty()) return true;
    // A file removed since the last write is created again; fstat on the
    // open descriptor is far cheaper than opening the path. Held lines were
    // taken out before, so none of them goes into the removed file.
    struct stat st {};
    if (open_) {
        if (::fstat(open_->fd, &st) != 0 || st.st_nlink == 0) {
            open_.reset();
        } else {
            open_->end = static_cast<std::uint64_t>(st.st_size);
        }
    }
    if (!open_ && !open()) return false;
    if (!writeAll(open_->fd, bytes)) {
        // Try a fresh descriptor at the next line (a full disk may clear).
        open_.reset();
        return false;
    }
    open_->end += bytes.size();
    return true;
}

}  // namespace plyvet
