// The three, four and seven transformation parameters as the pages show, save and import
// them: names, display and file order, field formats, user units, the parameter file and the
// messages of its import.
#pragma once

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"
#include "platform/Prompter.hpp"
#include "tables/CodePage.hpp"

#include <span>
#include <string>
#include <vector>

namespace carvento::pages {

namespace messages {
// A value on the parameter line that is no finite number: %d its place on the line, %s the
// parameter's name there.
inline constexpr const char* kParameterNotANumber = "行参数第%d个(%s)不是有效数字,请检查!";
// Four parameters whose K and T are both 0 map every point onto (DX, DY).
inline constexpr const char* kFourParamsNoScale = "行参数K和T均为0,不是有效的四参数,请检查!";
} // namespace messages

enum class ParameterKind { Three, Four, Seven };

// Which formats a page shows values with: after a parameter import every value has ten
// decimals; after a solve each value has its own (ParameterName::solvedDecimals).
enum class ParameterShown { Imported, Solved };

struct ParameterName {
    const char* name;   // "DX"
    const char* label;  // the field's label, "DX="
    int solvedDecimals; // decimals after a solve
};

// One kind of parameter set. Display order is the order of the pages' fields; file order is
// the order of the values on the parameter file's line. They differ for four parameters:
// the fields read DX, DY, T, K and the file DX, DY, K, T.
struct ParameterSetInfo {
    ParameterKind kind;
    std::vector<ParameterName> names; // display order
    std::vector<int> fileOrder;       // file value k is display value fileOrder[k]
    const char* tooFewFieldsMessage; // the parameter import's, "行参数不足或多余7个,请检查!"
    const char* transformPanelTitle; // "七参数设置(DX,DY,DZ:米;WX,WY,WZ:秒;K:ppm)"
    const char* importCaption;       // "导入七参数"
    const char* solvePanelTitle;     // "七参数"
    const char* solveCaption;        // "解算七参数"
    int Count() const { return static_cast<int>(names.size()); }
};

const ParameterSetInfo& ParameterSetOf(ParameterKind kind);

// Parameter values as the user sees them, in display order and user units: metres, for
// seven parameters arc-seconds (WX, WY, WZ) and ppm (K), for four parameters the
// dimensionless K and T.
class ParameterSet {
public:
    // All values zero.
    explicit ParameterSet(ParameterKind kind);
    static ParameterSet From(const geodesy::ThreeParams& params);
    static ParameterSet From(const geodesy::FourParams& params);
    // From a record in internal units (radians, plain scale factor).
    static ParameterSet FromInternal(const geodesy::SevenParams& params);

    ParameterKind Kind() const { return m_kind; }
    const ParameterSetInfo& Info() const { return ParameterSetOf(m_kind); }
    // Display order.
    const std::vector<double>& Values() const { return m_values; }
    // Value k of the file's line (0-based), display value `displayIndex`, in user units.
    void SetFileValue(int fileIndex, double value);
    void SetValue(int displayIndex, double value);

    // The records the computations take. A set of another kind gives an all-zero record.
    geodesy::ThreeParams ToThreeParams() const;
    geodesy::FourParams ToFourParams() const;
    // In internal units (radians, plain factor), as TransformSevenParams takes them.
    geodesy::SevenParams ToInternalSevenParams() const;

    // The fields' texts in display order.
    std::vector<std::string> FieldTexts(ParameterShown shown) const;

private:
    ParameterKind m_kind;
    std::vector<double> m_values;
};

enum class ParameterReadStatus {
    Ok,
    Unreadable,   // the file could not be opened or read
    NoData,       // nothing in the first 8 lines
    InvalidBytes, // bytes the file's encoding cannot hold before any data (see line)
    TooFewFields, // the widest of the first 8 lines, or the values' line, holds fewer values
                  // than the kind has
    NotANumber,   // a value is no finite decimal number (see field)
    NoScale,      // four parameters with K and T both 0: every point would land on (DX, DY)
};

struct ParameterReadResult {
    ParameterReadStatus status = ParameterReadStatus::Ok;
    int fields = 0; // widest field count of the first 8 lines
    int line = 0;   // for InvalidBytes, 1-based
    int field = 0;  // for NotANumber, 1-based position on the values' line (file order)
    bool Ok() const { return status == ParameterReadStatus::Ok; }
};

// Reads a parameter file: comma-separated; the values are the fields of the first line that
// holds any field, in file order, or of the next such line when that first line holds no
// number at all (a title such as "DX,DY,DZ"). Each value must be a finite decimal number
// ("12.5", "-3e-2"; not "", "abc", "nan", "inf" or "1e999"); fields beyond the kind's count
// are ignored. The count tested first is the widest of the first 8 lines, as the field-count
// message says. `set` changes only when the result is Ok.
ParameterReadResult ReadParameterFile(const std::string& path, ParameterSet& set);
// The same for content already in memory.
ParameterReadResult ReadParameterBytes(std::string bytes, ParameterSet& set);

// The messages a page shows, in order, for a read that failed: the reader's own message
// (nothing in the first 8 lines, bad bytes), then the kind's field-count message; only
// kCannotReadFile with `path` for a file that could not be read; only kParameterNotANumber
// or kFourParamsNoScale for a value refused. Nothing for Ok.
std::vector<std::string> ParameterReadMessages(const ParameterReadResult& result,
                                               ParameterKind kind, const std::string& path);

// The line "保存参数" writes: the field texts, given in display order, in file order.
// Missing texts are empty.
std::vector<std::string> ParameterFileLine(ParameterKind kind,
                                           std::span<const std::string> displayTexts);
// Writes that line (one line, comma-separated; all texts empty gives one empty line) in
// place of the file's content. Failures are reported through `prompter` and leave the file
// as it was; true when everything reached the file.
bool SaveParameterFile(platform::Prompter& prompter, const std::string& path, ParameterKind kind,
                       std::span<const std::string> displayTexts,
                       tables::TextEncoding encoding = tables::TextEncoding::Gbk);

} // namespace carvento::pages
