#pragma once
// A text log written line by line: each line is appended by opening the
// file, writing the line in Windows-1252 with CR LF and closing it again,
// so the file is complete after every line and can be read during a run.

#include "selfintersect/line_sink.h"

#include <filesystem>
#include <string_view>

namespace plyvet {

class LogFile : public LineSink {
public:
    LogFile() = default;
    explicit LogFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }
    bool isSet() const { return !path_.empty(); }

    // Creates the file or empties an existing one. False when it cannot be written.
    bool create() const;

    // Appends one line (UTF-8 in, Windows-1252 on disk). False when the file
    // cannot be opened or written; a log that is not set swallows the line.
    bool append(std::string_view utf8Line) const;

    void writeLine(std::string_view utf8Line) override { append(utf8Line); }

private:
    std::filesystem::path path_;
};

}  // namespace plyvet
