#pragma once
// A text log written line by line: each line goes to disk in Windows-1252
// with CR LF in one unbuffered write, so the file is complete after every
// line and can be read during a run. A group of lines (those of one record)
// can go in one write as well: the file then holds all of them or none.
//
// The lines of the records of a long run may also be held back (appendHeld)
// and go out together, once they reach the next 4 KiB page of the file or
// have waited half a second: a run writes one line or more for each of
// millions of records, and a system call for each of them cost a tenth of
// the run. Every write still ends with a whole line, and it reaches into a
// new page of the file only with the record that gets there, as that
// record's own write did: a kill can cut a write only where it crosses into
// a new page, so a killed run's log is as whole as before. Any other append,
// flush() and the end of the last copy write the held lines first, so the
// order of lines is the order of the calls.
//
// The file is opened for appending at the first line and kept open (copies
// of a LogFile share the descriptor): opening and closing it for every line
// cost several times the write itself, and a run writes millions of lines.
// Every write appends at the current end of the file, so a create() of the
// same path in between, or another writer, is no trouble. A file deleted
// while it is open is noticed at the next write and created anew, as a log
// opened for each line would be.

#include "selfintersect/line_sink.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
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

    // Appends the lines in one write, as append() does each of them.
    bool appendLines(std::span<const std::string> utf8Lines) const;

    // Appends the lines of one record, possibly held back until the next
    // page is reached. False when a write that was due failed (the held
    // lines of that write are lost, as those of a failed append are).
    bool appendHeld(std::span<const std::string> utf8Lines) const;

    // Writes the held lines. False when that write failed.
    bool flush() const;

    void writeLine(std::string_view utf8Line) override { append(utf8Line); }

private:
    struct Descriptor;
    std::string takeHeld() const;
    bool open() const;
    bool write(const std::string& bytes) const;

    std::filesystem::path path_;
    mutable std::shared_ptr<Descriptor> open_;
};

}  // namespace plyvet
