#pragma once
// Every text this cleaner writes into the check log or raises as an error,
// built in one place. Log texts follow the object prefix of their line
// (see ObjectLog); part numbers are zero-based and written in decimal,
// coordinates are passed in already rounded, areas unrounded. Numbers use the
// message form of pipeline/gis/number_text.h with the decimal separator
// given at construction (the locale's).
//
// The texts are part of the check-log format read by people and by tools:
// change none of them, not even a blank.

#include "pipeline/gis/runtime_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace plyvet::selfintersect {

// Source of the errors raised at creation and by the parameter writes.
inline constexpr std::string_view kErrorSource = "CleanSelfIntersection";

// Error numbers and their descriptions, side by side.
inline constexpr std::int32_t kPartAreaUnknown = kObjectErrorBase + 1;
inline constexpr std::int32_t kOutdatedLibrary = kObjectErrorBase + 5;
// The crossing search gave a result no repair knows (its allocation failure).
inline constexpr std::int32_t kCrossingSearchFailed = kObjectErrorBase + 6;

std::string partAreaUnknownDescription(std::size_t part);
std::string outdatedLibraryDescription(std::string_view versionText);
std::string invalidPropertyValueDescription();
std::string crossingSearchFailedDescription(std::size_t part, std::int32_t code);

// The oldest helper library whose crossing search and rounding this cleaner
// relies on.
inline constexpr std::int32_t kOldestLibraryVersion = 0x01010000;

class LogTexts {
public:
    explicit LogTexts(char decimalSeparator) : separator_(decimalSeparator) {}

    std::string objectPrefix(std::string_view labelName, std::string_view labelValue) const;

    std::string headerRule() const;
    std::string headerPointCount(std::size_t part, std::size_t points) const;

    std::string fewerThanThreePoints(std::size_t part) const;
    std::string pointNotExported(std::size_t part, double x, double y) const;
    std::string consecutiveDuplicate(std::size_t part) const;
    std::string duplicateNotExported(std::size_t part, double x, double y) const;
    std::string repeatedVertex(std::size_t part) const;
    std::string repeatedVertexCoordinates(std::size_t part, double x, double y) const;

    // A sub-area's area is not a number: at a repeated vertex ("kann") and at
    // a crossing ("konnte"), the two texts differ on purpose.
    std::string subAreaCannotBeBuilt(std::size_t part) const;
    std::string subAreaCouldNotBeBuilt(std::size_t part) const;

    std::string candidateSubArea(std::size_t part, double area) const;
    std::string keptSubArea(std::size_t part, double area) const;
    std::string droppedSubArea(std::size_t part, double area) const;
    std::string returnedArea(double area) const;

    std::string collinearOverlap(std::size_t part) const;
    std::string overlapMidpoint(std::size_t part, double x, double y) const;

private:
    std::string number(double value) const;
    static std::string partLead(std::size_t part);

    char separator_;
};

}  // namespace plyvet::selfintersect
