#pragma once
// A raised runtime error: number, source and description. Procedures that
// have a handler catch it and report it in the program's message format;
// it never crosses the C exports of the helper library.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace plyvet {

// The object-error base of the classes' own errors (0x80040000 as a signed 32-bit number).
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);

// Runtime error numbers the program raises or dispatches on.
namespace err {
inline constexpr std::int32_t kFileNotFound = 53;         // a file or library could not be found
inline constexpr std::int32_t kPermissionDenied = 70;     // a file could not be deleted or written
inline constexpr std::int32_t kPathFileAccess = 75;       // path or file access error
inline constexpr std::int32_t kInvalidPropertyValue = 380;
inline constexpr std::int32_t kObjectRequired = 424;      // a value that should be a shape is null
inline constexpr std::int32_t kEntryPointMissing = 453;   // an export is missing from a library
inline constexpr std::int32_t kTypeMismatch = 13;         // a value cannot be converted
inline constexpr std::int32_t kGisFailure = 1001;         // shapelib or GEOS reported a failure
}  // namespace err

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, std::string source, std::string description)
        : std::runtime_error(description), number_(number), source_(std::move(source)),
          description_(std::move(description)) {}

    std::int32_t number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    const std::string& description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

}  // namespace plyvet
