#include "pipeline/polygon_repair.h"

#include "cleaner/polygon_cleaner.h"
#include "geolib/binding.h"
#include "pipeline/gis/runtime_error.h"
#include "pipeline/text.h"
#include "selfintersect/clean_selfintersecting.h"

#include <cmath>
#include <cstring>
#include <unordered_set>

namespace plyvet {

namespace {

constexpr std::int32_t kAreaNotComputable = kObjectErrorBase + 1;
constexpr std::int32_t kSelfIntersection = kObjectErrorBase + 2;
constexpr std::int32_t kPartsOverlap = kObjectErrorBase + 3;
constexpr std::int32_t kTooFewVertices = kObjectErrorBase + 4;

// A fingerprint of the exact coordinates, to notice a polygon coming back.
// One multiply-rotate step a 64-bit word (the bits of a coordinate, or a
// ring's size) and a final mix: the repair takes one before and one after
// every crossing it cuts, so it must cost little next to a cleaning round.
std::uint64_t fingerprint(const gis::Polygon& polygon) {
    std::uint64_t h = 0x243F6A8885A308D3ull;
    auto mix = [&h](std::uint64_t v) {
        v *= 0x87C37B91114253D5ull;
        v = (v << 31) | (v >> 33);
        v *= 0x4CF5AD432745937Full;
        h ^= v;
        h = ((h << 27) | (h >> 37)) * 5 + 0x52DCE729;
    };
    for (const auto& ring : polygon.parts) {
        mix(ring.size());
        for (const auto& p : ring) {
            std::uint64_t x = 0, y = 0;
            std::memcpy(&x, &p.x, sizeof x);
            std::memcpy(&y, &p.y, sizeof y);
            mix(x);
            mix(y);
        }
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

void configure(clsPolygonCleaner& cleaner, const CleanerParameters& p, char decimalSeparator) {
    if (p.granularity) cleaner.setGranularity(*p.granularity);
    if (p.threshold) cleaner.setIdenticalPointThresholdSize(*p.threshold);
    cleaner.SplitterAreaTolerance = p.splitterTolerance;
    cleaner.DeletePointsOnLineEnabled = p.deletePointsOnLine;
    cleaner.DecimalSeparator = decimalSeparator;
}

}  // namespace

std::optional<CleanerParameters> readCleanerParameters(const RunOptions& o, std::string& error) {
    CleanerParameters p;
    if (const auto g = text::trim(o.granularity); !g.empty()) {
        const auto value = text::parseInteger(g);
        if (!value || *value < 0 || *value > 32767) {
            error = "Die Prüfgenauigkeit " + std::string(g) + " ist keine Anzahl von Dezimalstellen.";
            return std::nullopt;
        }
        p.granularity = static_cast<std::int16_t>(*value);
    }
    if (const auto t = text::trim(o.identicalPointThreshold); !t.empty()) {
        const auto value = text::parseNumber(t, o.decimalSeparator);
        if (!value || *value < 0 || !std::isfinite(*value)) {
            error = "Der Grenzwert für identische Punkte " + std::string(t) + " ist keine Zahl ab 0.";
            return std::nullopt;
        }
        p.threshold = *value;
    }
    if (o.deleteSplitterArea) {
        if (const auto s = text::trim(o.splitterTolerance); !s.empty()) {
            const auto value = text::parseNumber(s, o.decimalSeparator);
            if (!value || *value < 0 || !std::isfinite(*value)) {
                error = "Die Toleranz für Splitterflächen " + std::string(s) + " ist keine Zahl ab 0.";
                return std::nullopt;
            }
            p.splitterTolerance = *value;
        } else {
            p.splitterTolerance = 0.01;  // the cleaners' default
        }
    }
    p.deletePointsOnLine = o.deletePointsOnLine;
    return p;
}

PolygonRepair::PolygonRepair(CleanerParameters parameters, OnUnsolvable onUnsolvable, LineSink& checkLog,
                             Hooks hooks)
    : parameters_(parameters),
      onUnsolvable_(onUnsolvable),
      checkLog_(checkLog),
      hooks_(std::move(hooks)),
      decimalSeparator_(text::localeDecimalSeparator()) {}

Verdict PolygonRepair::unsolvable(std::string_view description, std::string_view skipLine,
                                  std::string_view stopLine) {
    hooks_.objectLine(" ( " + std::string(description) + " )");
    if (onUnsolvable_ == OnUnsolvable::SkipShape) {
        hooks_.objectLine(" " + std::string(skipLine));
        return Verdict::Skip;
    }
    hooks_.objectLine(" " + std::string(stopLine));
    return Verdict::Stop;
}

Verdict PolygonRepair::notRepaired(std::string_view why) {
    hooks_.objectLine(" ( " + std::string(why) + " )");
    if (onUnsolvable_ == OnUnsolvable::SkipShape) {
        hooks_.objectLine(" wurde deshalb nicht exportiert.");
        return Verdict::Skip;
    }
    hooks_.plainLine("Programm wurde deshalb abgebrochen.");
    return Verdict::Stop;
}

Verdict PolygonRepair::repair(gis::Polygon& polygon, const std::string& labelValue, const std::string& labelName) {
    clsPolygonCleaner cleaner;
    configure(cleaner, parameters_, decimalSeparator_);
    cleaner.ActionTaken = hooks_.actionTaken;
    cleaner.OnlyErrorObjectsInLogFile = hooks_.onlyErrorObjects;
    cleaner.setPolygon(std::move(polygon));

    // A self-intersection pass repairs one spot; a polygon cannot need more
    // passes than it has edges to cut, with room for the vertices the cuts add.
    const std::size_t maxPasses = 4 * gis::pointCount(cleaner.polygon()) + 32;
    std::unordered_set<std::uint64_t> seen;
    std::size_t passes = 0;

    for (;;) {
        std::string crossingDescription;
        try {
            cleaner.Clean();
            break;
        } catch (const RuntimeError& e) {
            if (e.number() == kAreaNotComputable) {
                polygon = cleaner.takePolygon();
                return unsolvable(e.description(), "( Betroffener Part wurde nicht exportiert )",
                                  "( Programm wurde abgebrochen )");
            }
            if (e.number() == kPartsOverlap) {
                polygon = cleaner.takePolygon();
                return unsolvable(e.description(),
                                  "( wurde wegen linienhafter Überlagerung von 2 Parts nicht exportiert )",
                                  "( Programm wurde wegen Überlagerung von 2 Parts abgebrochen )");
            }
            if (e.number() == kTooFewVertices) {
                polygon = cleaner.takePolygon();
                const int part = cleaner.CorruptedPart();
                hooks_.objectLine(" ( Polygon-Part " + std::to_string(part) +
                                  " weist weniger als 3 Punkte auf und wird deshalb nicht exportiert )");
                if (part >= 0 && static_cast<std::size_t>(part) < polygon.parts.size()) {
                    const auto& ring = polygon.parts[static_cast<std::size_t>(part)];
                    if (!ring.empty()) {
                        const std::int16_t g = cleaner.granularity();
                        hooks_.objectLine(" ( Such-Koordinaten X: " + text::formatNumber(geolib::roud(ring[0].x, g)) +
                                          " Y: " + text::formatNumber(geolib::roud(ring[0].y, g)) + " )");
                    }
                    polygon.parts.erase(polygon.parts.begin() + part);
                }
                return Verdict::Write;
            }
            if (e.number() != kSelfIntersection) {
                hooks_.objectLine(" ( " + e.description() + " )");
                polygon = cleaner.takePolygon();
                return Verdict::Write;
            }
            crossingDescription = e.description();
        }

        // Self-intersection pass.
        const std::uint64_t before = fingerprint(cleaner.polygon());
        if (!seen.insert(before).second) {
            polygon = cleaner.takePolygon();
            return notRepaired("Die Korrektur der Selbstüberschneidung kehrt zu einem früheren Stand zurück; "
                               "das Polygon wurde nicht repariert");
        }
        if (++passes > maxPasses) {
            polygon = cleaner.takePolygon();
            return notRepaired("Die Selbstüberschneidung wurde nach " + std::to_string(maxPasses) +
                                   " Korrekturdurchläufen nicht beseitigt");
        }
        try {
            clsCleanSelfintersecting crossing(checkLog_, hooks_.onlyErrorObjects);
            if (parameters_.granularity) crossing.setGranularity(*parameters_.granularity);
            if (parameters_.threshold) crossing.setIdenticalPointThresholdSize(*parameters_.threshold);
            crossing.SplitterAreaTolerance = parameters_.splitterTolerance;
            crossing.setPolygon(cleaner.takePolygon());
            crossing.GetCrossingPoint(labelValue, labelName);
            cleaner.setPolygon(crossing.takePolygon());
        } catch (const RuntimeError& e) {
            return notRepaired(e.description());
        }

        // The pass repaired one spot: clean the result again, so its rings
        // get their orientation and the next crossing is found. A pass that
        // changed nothing, or brought back a polygon seen before, cannot
        // get further.
        const std::uint64_t after = fingerprint(cleaner.polygon());
        if (after == before) {
            polygon = cleaner.takePolygon();
            return notRepaired(crossingDescription + "; die Selbstüberschneidung wurde nicht beseitigt");
        }
        if (seen.count(after) != 0) {
            polygon = cleaner.takePolygon();
            return notRepaired("Die Korrektur der Selbstüberschneidung kehrt zu einem früheren Stand zurück; "
                               "das Polygon wurde nicht repariert");
        }
    }
    polygon = cleaner.takePolygon();
    return Verdict::Write;
}

}  // namespace plyvet
