// The globe pages: 批量获取高程 (elevations of a point list, read by flying the globe's camera
// over each point), 获取DEM数据 (a grid of terrain points across the globe's current view)
// and 生成图框 (a graticule handed to the globe as KML). They reach the globe through the
// context's EarthConnection; without one they refuse to start.
#pragma once

#include "earth/MapFrame.hpp"
#include "pages/frames/TaskPage.hpp"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace carvento::pages {

namespace messages {
// 打开 with points already listed (Yes empties the list first).
inline constexpr const char* kAskClearList = "是否清空当前数据列表?";
// The text of a "高程" cell whose point has no terrain height (outside the elevation data, a
// no-data cell) or whose height the globe did not give: never a 0 that looks like a height.
inline constexpr const char* kNoElevation = "无高程";
inline constexpr const char* kFrameNotLoaded = "图框未能加载到Google Earth!";
// The frame was loaded: its centre, latitude and longitude in decimal degrees.
inline constexpr const char* kFrameShown = "已生成图框,视图已移到图框中心(纬度%s,经度%s)";
inline constexpr const char* kFrameAdded = "已生成图框,图框中心在纬度%s,经度%s";
// Points the globe would not fly to: %d how many, %s the first of their rows.
inline constexpr const char* kMovesRefused = "Google Earth拒绝飞往%d个点(第%s行),其高程为无高程。";
// The rows (points) or grid positions a task that ended early did not reach.
inline constexpr const char* kRowNotDone = "第%d行未获取高程";
inline constexpr const char* kRowsNotDone = "第%d至%d行未获取高程";
inline constexpr const char* kGridPointsNotDone = "第%d至%d个网格点未采样";
} // namespace messages

// "DEM高程数据设置": for each row the camera flies over the point (relative altitude
// "视角海拔高度(KM)" × 1000 m above it, looking straight down), waits "视角切换间隔时间(s)"
// for the view to settle and reads the terrain height under the view's centre into "高程".
// A stop or a pause takes effect after the current point. A task save keeps the next row
// ("ATTITUDE"/"x"), the two fields ("high", "time") and the globe's view; a restore puts the
// view back first and goes on from that row.
class BatchElevationPage final : public TaskPage {
public:
    explicit BatchElevationPage(PageContext context);

    std::string Title() const override { return "DEM高程数据设置"; }

    // Menu 文件 → 打开: a point file appended through the column-mapping dialog, after asking
    // whether the rows already listed go first.
    static constexpr const char* kOpenCommand = "open";
    bool OpenPoints();

    // How long one second of "视角切换间隔时间(s)" lasts (tests shorten it).
    void SetSecondLength(std::chrono::milliseconds length) override { m_second = length; }

    // Rows (1-based) of the last run whose point the globe refused to fly to: their "高程" is
    // "无高程", and the end of the run says how many.
    const std::vector<int>& RefusedRows() const { return m_refusedRows; }
    std::size_t RefusedCount() const override { return m_refusedRows.size(); }
    // The first rows of a list, for a message ("3,7,…").
    static std::string RowList(const std::vector<int>& rows);

protected:
    std::unique_ptr<TaskWork> MakeWork() override;
    void SaveTaskPosition(int nextStep) override;
    int RestoreTaskPosition() override;
    std::string StepsNotDone(int first, int last) const override;
    void TaskEnded(TaskWork& work, bool finished) override;

private:
    std::chrono::milliseconds m_second{1000};
    std::vector<int> m_refusedRows;
};

// "DEM数据设置": samples the terrain under a grid of screen positions of the globe's current
// view, column by column from the lower left (-1, -1): X and Y spacing in thousandths of the
// view's full width of 2 ("X方向比例(‰)", "Y方向比例(‰)", 1 … 1000). Each sample appends
// longitude, latitude and height; a position that shows no ground (the sky) gives no row,
// a ground point without a height gives "无高程". A task save keeps the next grid position
// ("DEM"/"x", "y") and the spacings ("dx", "dy") with the view; a restore continues there.
class DemSamplingPage final : public TaskPage {
public:
    explicit DemSamplingPage(PageContext context);

    std::string Title() const override { return "DEM数据设置"; }

    // Grid of the spacings in permille: step = permille × 0.002, count = 1 + trunc(2 / step).
    struct Grid {
        double xStep = 0;
        double yStep = 0;
        int columns = 0;
        int rows = 0;
        int Total() const { return columns * rows; }
        // The screen position of step `index` (column by column).
        double X(int index) const { return -1 + (index / rows) * xStep; }
        double Y(int index) const { return -1 + (index % rows) * yStep; }
        // The step at a kept position; Total() when the position lies past the last column.
        int IndexAt(double x, double y) const;
    };
    static Grid MakeGrid(int xPermille, int yPermille);

protected:
    std::unique_ptr<TaskWork> MakeWork() override;
    void SaveTaskPosition(int nextStep) override;
    int RestoreTaskPosition() override;
    // The sampled rows came from the cache file: a restore leaves the saved state alone.
    bool RestoreKeepsSaved() const override { return true; }
    std::string StepsNotDone(int first, int last) const override;

private:
    Grid m_grid{};
};

// A page that hands the globe a graticule, which can also be written as a KML file.
class GraticuleSource {
public:
    // The graticule of the current fields, or the reason there is none.
    virtual earth::MapFrameKml FrameKml() const = 0;
    // The command that hands it to the globe.
    static constexpr const char* kAddCommand = "add";

protected:
    ~GraticuleSource() = default;
};

// "图框设置": the frame's range and spacing in packed DDDMMSS; 添加 hands the graticule to the
// globe and closes the page.
class MapFramePage final : public ToolPage, public GraticuleSource {
public:
    explicit MapFramePage(PageContext context);

    std::string Title() const override { return "图框设置"; }
    PageFrame Frame() const override { return PageFrame::Form; }
    GraticuleSource* Graticule() override { return this; }

    // The frame of the current fields (the command line writes its KML to a file).
    earth::MapFrameKml FrameKml() const override;
    // 添加: the frame goes to the globe; true when it did (the page then closes). Refused
    // fields, a missing globe or a globe that did not take the frame: a message, false.
    bool Add();
};

} // namespace carvento::pages
