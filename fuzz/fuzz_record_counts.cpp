// Fuzz target: the record-count check on arbitrary .shx and .dbf bytes and
// an arbitrary count of records read, and the decision on three arbitrary
// counts.
//
// Input: the actual count (32-bit), then two files in the three-file layout
// (fuzz_input.h): .shx, .dbf, and a third part that is ignored; or, with the
// top bit of the first byte set, three 32-bit counts for the decision alone.
//
// Promises checked beyond the sanitizers: the count block comes first (three
// lines); a check that goes on has sound counts that agree or only a dBase
// surplus; one that stops says why in the lines after the block; the counts
// reported are never negative.

#include "fuzz/fuzz_input.h"
#include "fuzz/scratch.h"
#include "pipeline/record_counts.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace plyvet;

void checkOutcome(const RecordCountOutcome& o, bool withBlock) {
    const std::size_t block = withBlock ? 3 : 0;
    if (withBlock && (o.logLines.size() < 3 || o.logLines[0].rfind("Anzahl Shapes (Soll): ", 0) != 0 ||
                      o.logLines[1].rfind("Anzahl Shapes (Ist): ", 0) != 0 ||
                      o.logLines[2].rfind("Anzahl Datensätze in dbf-File: ", 0) != 0)) {
        fuzz::brokenPromise("the count block is missing or out of order");
    }
    if (o.actual < 0 || o.target < 0 || o.dbase < 0) fuzz::brokenPromise("a negative count");
    if (o.proceed) {
        if (o.actual != o.target || o.dbase < o.actual) fuzz::brokenPromise("went on with counts that disagree");
        if (o.truncated != (o.dbase > o.actual)) fuzz::brokenPromise("truncation note does not match the counts");
    } else if (o.logLines.size() <= block) {
        fuzz::brokenPromise("stopped without saying why");
    }
    for (const auto& line : o.logLines) {
        if (line.find('\n') != std::string::npos) fuzz::brokenPromise("a line with a line break");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in({data, size});
    if (size > 0 && (data[0] & 0x80) != 0) {
        in.byte();
        const std::int32_t actual = in.i32() & 0x7FFFFFFF;
        const std::int32_t target = in.i32() & 0x7FFFFFFF;
        const std::int32_t dbase = in.i32() & 0x7FFFFFFF;
        checkOutcome(decideRecordCounts(actual, target, dbase, "f"), false);
        return 0;
    }
    const std::int32_t actual = in.i32();
    const fuzz::ThreeFiles files = fuzz::decodeThreeFiles(in);
    const auto& dir = fuzz::scratchFolder();
    fuzz::writeBytes(dir / "c.shx", files.first);
    fuzz::writeBytes(dir / "c.dbf", files.second);
    checkOutcome(checkRecordCounts(dir / "c", actual, "c"), true);
    return 0;
}
