#pragma once
// What a component that reports in the check log needs: one call per line.
// The driver hands its check log to the self-intersection cleaner through
// this interface, so the cleaner never depends on the driver.

#include <string_view>

namespace plyvet {

class LineSink {
public:
    virtual ~LineSink() = default;
    // Appends one line (UTF-8) to the log.
    virtual void writeLine(std::string_view utf8Line) = 0;
};

}  // namespace plyvet
