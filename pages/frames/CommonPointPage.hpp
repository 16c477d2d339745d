// The common-point frame: one editable table of common points, a solve the page implements
// that reads the table, a residual pass writing one value per row back into the table, and
// 保存公共点. The 3/4/7-parameter computations sit on it.
#pragma once

#include "estimation/Quality.hpp"
#include "pages/frames/EditableTable.hpp"
#include "pages/frames/ToolPage.hpp"
#include "tables/CodePage.hpp"
#include "tables/CoordinateTable.hpp"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::pages {

namespace messages {
// A common-point cell a solve reads that holds no number: %d the point's row, %s the column's
// title and the cell, "新坐标x(m)=abc".
inline constexpr const char* kPointNotANumber = "公共点第%d行%s不是有效数字,请检查!";
// A coordinate no point on or near the earth has (beyond a million kilometres).
inline constexpr const char* kPointOutOfRange = "公共点第%d行%s超出坐标范围,请检查!";
// A file with more fields per line than the common-point table has columns: %d the file's
// field count, %s the columns its first fields went into.
inline constexpr const char* kPointFileWider =
    "文件每行有%d个数据,多于公共点表的列数,只导入了每行前面的数据,依次作为:%s;其余未导入,"
    "请检查各列是否对应!";
} // namespace messages

// The largest coordinate value, in metres or in an angle notation, a common point may hold:
// a million kilometres, beyond any coordinate of a point on or near the earth (a y with a
// 3° zone number reaches 1.2e8 m).
inline constexpr double kLargestCoordinate = 1e9;

// The common points as a solve reads them: `rows` rows of `columns` cells, row-major.
struct PointRows {
    std::span<const std::string> cells;
    int rows = 0;
    int columns = 0;
    std::span<const std::string> Row(int r) const
    {
        return cells.subspan(static_cast<std::size_t>(r) * columns,
                             static_cast<std::size_t>(columns));
    }
};

// What a common-point page declares once, in its constructor.
struct CommonPointSetup {
    TableLayout table{};               // "公共点坐标" and its columns
    ImportPolicy import{};             // how 导入 and dropped files fill the table
    int minimumPoints = 1;             // data rows a solve needs
    std::string tooFewPointsMessage{}; // shown when there are fewer, such as "公共点个数不足3个!"
    int residualColumn = -1;           // the column the residual pass writes ("中误差(m)")
    std::vector<int> savedColumns{}; // columns 保存公共点 writes, in order; every column when empty
    bool saveTitles = true; // 保存公共点 writes the saved columns' titles as its first line
    std::string solveCaption{}; // the solve button, such as "解算七参数"
};

class CommonPointPage : public ToolPage {
public:
    // The σ0 (m) beyond which a fit is refused as no result.
    static constexpr double kSaneSigma0 = 10.0;
    // Command ids of the frame (Commands() lists them with their captions).
    static constexpr const char* kSolveCommand = "solve";
    static constexpr const char* kSavePointsCommand = "save-points";
    // 用于转换 on pages whose result a transformation page applies.
    static constexpr const char* kTransferCommand = "use-for-transform";
    // 剔除超限点重新解算: sets the rows beyond 3σ0 aside and solves again.
    static constexpr const char* kSetAsideCommand = "set-aside-blunders";

    // How the table shows a data row after a solve.
    enum class RowMark {
        None,
        Beyond3Sigma, // took part in the last solve and missed it by more than 3σ0
        SetAside,     // kept in the table but left out of the solves (a check point)
    };

    explicit CommonPointPage(PageContext context);

    PageFrame Frame() const override { return PageFrame::CommonPoint; }
    CommonPointPage* AsCommonPoint() override { return this; }

    tables::CoordinateTable& Table() { return m_table; }
    const tables::CoordinateTable& Table() const { return m_table; }
    const TableLayout& Layout() const { return m_setup.table; }
    int ResidualColumn() const { return m_setup.residualColumn; }
    // Row commands, 导入, 粘贴 and dropped files on the table.
    EditableTable& Editor() { return m_editor; }

    // 解算: takes the fields, checks the number of points and that every cell a solve reads
    // (all but the identifier and the residual column) is empty (read as 0) or a finite
    // number within kLargestCoordinate, runs the page's Solve and, when it succeeds, writes
    // every row's residual into the residual column in one change. false (table unchanged,
    // the first bad cell named) when the fields are refused, there are too few points, a cell
    // is refused or the solve fails.
    bool SolveCommand();
    // 剔除超限点重新解算: the rows the last solve marked beyond 3σ0 are set aside (kept in the
    // table and in 保存公共点, left out of the solve, their residuals reported as check points)
    // and the points are solved again. false, with a message, when no solve marked a row or
    // the solve that follows fails.
    bool SetAsideBlunders();
    // Takes the selected set-aside rows back into the solve and solves again; false when none
    // of them was set aside (nothing changes) or the solve fails.
    bool TakeBack(const tables::RowSelection& selection);
    // The mark of table row `row` (1 = first data row).
    RowMark MarkOf(int row) const;
    // Rows left out of the solves.
    int SetAsideCount() const;
    // 保存公共点: save dialog, then SavePointsToFile; false when cancelled or not written.
    bool SavePoints();
    // Writes the saved columns of every data row (titles first when set up so) in place of the
    // file's content; failures are reported and leave the file as it was.
    bool SavePointsToFile(const std::string& path, tables::TextEncoding encoding);

    // The fit quality of the last successful solve (estimation/Quality.hpp), beside the table
    // and never written into it: empty (no rows) before a solve or on pages without one.
    const estimation::QualityReport& Quality() const { return m_quality; }
    // The same as text, one line per point, as the quality panel and --report show it.
    const std::string& QualityText() const { return m_qualityText; }
    // The page's prompter, for windows that save what the page shows (the fit picture).
    platform::Prompter& Prompter() const { return m_context.prompter; }
    // The context the page was made with, for a window opening another page on it.
    const PageContext& Context() const { return m_context; }

    // The file a solve's result is kept in (保存参数, 保存模型): the command that saves it through
    // a dialog, whose id the command line also takes as the option naming the file. None on
    // pages whose result is only shown.
    virtual std::optional<PageCommand> SolutionCommand() const { return std::nullopt; }
    // Writes that file in place of `path`'s content after a successful solve; false, with the
    // page's message, when there is nothing to save or the file cannot be written.
    virtual bool SaveSolutionToFile(const std::string&, tables::TextEncoding) { return false; }

    // 用于转换: the class of the page a solved result is handed to ("CTrans7Dlg"); empty on
    // pages without the command.
    virtual std::string_view TransferPageClass() const { return {}; }
    // Whether a successful solve has a result to hand over (no message).
    virtual bool CanTransfer() const { return false; }
    // Fills `target`, a new page of TransferPageClass(), with the result: false (and the page
    // says why) when there is none to hand over.
    virtual bool TransferTo(ToolPage&) { return false; }
    // The points' identifiers and plane positions (new x north, y east, m) for the fit
    // picture, one per report row.
    const std::vector<std::string>& QualityNames() const { return m_qualityNames; }
    const std::vector<std::array<double, 2>>& QualityPositions() const
    {
        return m_qualityPositions;
    }

protected:
    // Page set-up: the table, the import policy and the commands.
    void SetUp(CommonPointSetup setup);

    // Estimates the page's parameters from the rows and shows them in the page's fields; false
    // when they cannot be estimated (the page shows why). Runs on the user-interface thread.
    virtual bool Solve(const PointRows& points) = 0;
    // Forgets the last Solve: a fit too poor to be a result (see kSaneSigma0) is not kept.
    virtual void ForgetSolve() {}
    // The residual of one row with the parameters of the last successful Solve, as the text
    // the residual column shows.
    virtual std::string Residual(std::span<const std::string> row) const = 0;

    // The frame's commands; pages with more commands handle theirs and pass the rest on.

    // Keeps a solve's quality report; `names` are the points' identifiers (column 0).
    void SetQuality(estimation::QualityReport report, const std::vector<std::string>& names,
                    const std::vector<std::string>& componentNames,
                    std::vector<std::array<double, 2>> positions);
    // Column 0 of every row, the points' identifiers.
    static std::vector<std::string> PointNames(const PointRows& points);

private:
    // Shows the first cell a solve would read that is no usable number; true when none.
    bool CheckPointCells(const PointRows& points);
    // Keeps the set-aside marks on their rows when rows are inserted or removed.
    void FollowTable(const tables::TableChange& change);
    // The residuals of the set-aside rows as a check-point section of the quality text.
    void AddCheckPoints(const PointRows& all);

    // One flag per data row (index 0 = table row 1): set aside.
    std::vector<bool> m_setAside;
    // Table row of each row of the last solve's quality report.
    std::vector<int> m_solvedRows;
    bool m_filling = false;

    estimation::QualityReport m_quality;
    std::string m_qualityText;
    std::vector<std::string> m_qualityNames;
    std::vector<std::array<double, 2>> m_qualityPositions;
    CommonPointSetup m_setup;
    tables::CoordinateTable m_table;
    EditableTable m_editor;
};

} // namespace carvento::pages
