#pragma once
// Reading and writing polygon shapefiles (.shp/.shx/.dbf, plus .cpg).
//
// Attribute values travel as the raw text of their dBase field, byte for
// byte, in the file's own code page: no recoding, no reformatting of
// numbers. Trimming and conversion are the caller's business (the correction
// run has its own rules for them).
//
// Every failure of the underlying library (a missing or truncated file, a
// record that cannot be read or written) is raised as a RuntimeError with
// number err::kGisFailure and a description that names the file and the cause.

#include "pipeline/gis/geometry.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plyvet::gis {

// Field type codes of the field description. dBase types without a code of
// their own (memo 'M', binary 'B', timestamp '@', ...) read as String, so
// their raw bytes can still be read and copied.
enum class FieldType : int {
    Integer = 3,   // dBase 'N' without decimals
    Double = 5,    // dBase 'N' with decimals, or 'F'
    Date = 7,      // dBase 'D', text YYYYMMDD
    String = 8,    // dBase 'C'
    Boolean = 11,  // dBase 'L'
};

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int length = 0;     // width of the field in the record, in bytes
    int precision = 0;  // number of digits for numeric fields (equals the length), else 0
    int scale = 0;      // decimal places for numeric fields, else 0
    friend bool operator==(const FieldDef&, const FieldDef&) = default;
};

// Shape type code of polygon datasets, the only type that is corrected.
inline constexpr int kShapeTypePolygon = 23;

// Shape type code of the field description's view of a dataset: 23 for a 2D
// polygon file, else the raw shapefile type code plus 1000 so that it can never
// be mistaken for a polygon (PolygonZ 15 reads 1015, Point 1 reads 1001, ...).
int shapeTypeCode(int shapefileType);

// Code page declarations: "1252" style texts from a .cpg file, or "LDID/<n>"
// from the language driver byte of the .dbf header; empty when neither is present.
inline constexpr std::string_view kCodePageAnsi = "1252";
inline constexpr std::string_view kCodePageOem = "850";

class ShapefileReader {
public:
    // Opens "<shpPath>" with its .shx and .dbf for reading. Raises when one of
    // the three is missing or unreadable, or when their headers are corrupt.
    explicit ShapefileReader(const std::filesystem::path& shpPath);
    ~ShapefileReader();
    ShapefileReader(ShapefileReader&&) noexcept;
    ShapefileReader& operator=(ShapefileReader&&) noexcept;

    const std::filesystem::path& path() const;
    int shapeType() const;             // shapeTypeCode() of the file's type
    int recordCount() const;           // records in the .shp, as its index reports them
    int dbfRecordCount() const;        // records in the .dbf, as shapelib reports them
    const std::vector<FieldDef>& fields() const;
    const std::string& codePage() const;
    std::optional<int> fieldIndex(std::string_view name) const;  // ignoring case

    // The polygon of record `index` (0-based) as stored, without the closing
    // point of each ring (a ring whose last point differs from its first keeps
    // all its points). std::nullopt for a null shape. Raises when the record
    // cannot be read or is not a polygon.
    std::optional<Polygon> polygon(int index) const;

    // Bounding box of the whole file from the .shp header: min x, min y, max x, max y.
    std::array<double, 4> bounds() const;

    // The raw bytes of one attribute value, untrimmed, exactly field-width long.
    std::string rawValue(int record, int field) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class ShapefileWriter {
public:
    // Creates "<basePath>.shp/.shx/.dbf" (and a .cpg when `codePage` is a
    // code page name rather than "LDID/<n>"). Existing files of that name are
    // replaced, a stale .cpg is removed. Raises when the files cannot be
    // created or a field cannot be added exactly as described: names of 1 to
    // 10 bytes, widths of 1 to 255, at least one field. Integer is written as
    // 'N' without decimals, Double as 'N' with `scale` decimals, or as 'F'
    // when `scale` is 0 so that it reads back as Double; `precision` is not
    // stored (it reads back as the width).
    ShapefileWriter(const std::filesystem::path& basePath, std::span<const FieldDef> fields,
                    std::string_view codePage);
    ~ShapefileWriter();
    ShapefileWriter(ShapefileWriter&&) noexcept;
    ShapefileWriter& operator=(ShapefileWriter&&) noexcept;

    const std::vector<FieldDef>& fields() const;

    // Appends one record. `values` holds one raw text per field; an empty
    // optional writes the dBase null value of the field type (blanks; '?' for
    // Boolean). Numeric values are right-aligned, all others left-aligned,
    // within the field width; a value longer than its field raises. Each ring
    // is written with its closing point added, in the given order and
    // orientation; a polygon without parts is written as the null shape, a
    // part without points raises. A refused record writes nothing. Returns the
    // 0-based record number.
    int append(const Polygon& polygon, std::span<const std::optional<std::string>> values);

    int recordCount() const;

    // True once a write to the files failed part-way (a full disk): what is
    // on disk is then no consistent triple, whatever close() manages.
    bool failed() const;

    // Flushes headers and closes the files; the destructor does this too,
    // but without a way to report failure.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Test seam for the fault tests, never set by the program: the writers'
// file writes on this thread fail once `bytes` more bytes have been written,
// as on a full disk (the write that crosses the limit is cut short and
// reports failure). std::nullopt lifts the limit.
namespace testing {
void limitWrites(std::optional<std::uint64_t> bytes);
}  // namespace testing

}  // namespace plyvet::gis
