// The globe pages.
#include "pages/globe/EarthPages.hpp"

#include "earth/EarthConnection.hpp"
#include "earth/EarthView.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/NumberText.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <thread>
#include <vector>

namespace carvento::pages {
namespace {

// The globe to work with, connected and ready; nullptr (with the reason shown) otherwise.
earth::EarthConnection* ReadyEarth(PageContext& context)
{
    earth::EarthConnection* connection = context.earth;
    if (!connection) {
        context.prompter.ShowMessage({earth::messages::kNotRunning, earth::messages::kNoticeCaption,
                                      platform::MessageIcon::Information,
                                      platform::MessageButtons::Ok});
        return nullptr;
    }
    if (!connection->HasClient() && !earth::ConnectEarth(*connection, context.prompter))
        return nullptr;
    if (!earth::CheckEarthReady(*connection, context.prompter))
        return nullptr;
    return connection;
}

std::string HeightText(const std::optional<earth::TerrainPoint>& point)
{
    if (!point || !point->hasElevation || !std::isfinite(point->altitude))
        return messages::kNoElevation;
    return platform::FormatFixed(point->altitude, 6);
}

const TableLayout kPointTable{"", {"序号", "经度", "纬度", "高程"}, {35, 85, 90, 90}};
const TableLayout kSampleTable{"", {"序号", "经度", "纬度", "高程"}, {50, 120, 120, 120}};

// ---------------------------------------------------------------- batch elevation

constexpr const char* kElevationSection = "ATTITUDE";

// What a globe call that went wrong means for the step that made it: a time-out is tried again,
// a globe that has gone ends the task; a refusal is the step's own matter.
std::optional<StepOutcome> Trouble(const earth::CallResult& call)
{
    if (call.status == earth::CallStatus::TimedOut)
        return StepOutcome{StepOutcome::Status::NoAnswer, std::nullopt, {}};
    if (call.status == earth::CallStatus::Failed)
        return StepOutcome{StepOutcome::Status::Failed, std::nullopt,
                           call.error.empty() ? std::string(earth::messages::kConnectionLost)
                                              : call.error};
    return std::nullopt;
}

// Step r flies over point r + 1, waits and reads the height under the view's centre. A move the
// globe refuses (a latitude beyond ±90°, a position that is no number) gives the point no height:
// the view still shows the point before, whose ground is not this point's. The globe is told the
// points ahead, kExpectedMoves at a time, so one that reads faster in bulk can (the elevation
// model reads a million scattered points in one pass; it keeps some 60 bytes a point meanwhile).
class ElevationWork final : public TaskWork {
public:
    static constexpr int kExpectedMoves = 1 << 20;

    ElevationWork(earth::EarthClient& client, std::vector<earth::GeoPosition> points, double range,
                  std::chrono::milliseconds wait)
        : m_client(client), m_points(std::move(points)), m_range(range), m_wait(wait)
    {
    }
    int StepCount() const override { return static_cast<int>(m_points.size()); }
    std::optional<TaskOutput> Step(int index) override { return Attempt(index).output; }
    StepOutcome Attempt(int index) override
    {
        if (index < m_expectedFirst || index >= m_expectedEnd) {
            m_expectedFirst = index;
            m_expectedEnd = std::min(index + kExpectedMoves, StepCount());
            m_client.ExpectMoves(std::span(m_points).subspan(
                static_cast<std::size_t>(m_expectedFirst),
                static_cast<std::size_t>(m_expectedEnd - m_expectedFirst)));
        }
        const earth::GeoPosition& point = m_points[static_cast<std::size_t>(index)];
        const earth::CallResult moved = m_client.MoveCamera({.latitude = point.latitude,
                                                             .longitude = point.longitude,
                                                             .altitude = 0,
                                                             .altitudeMode = 1,
                                                             .range = m_range,
                                                             .tilt = 0,
                                                             .azimuth = 0,
                                                             .speed = 5.0});
        if (std::optional<StepOutcome> trouble = Trouble(moved))
            return *trouble;
        if (!moved.Answered())
            return Refused(index);
        if (m_wait.count() > 0)
            std::this_thread::sleep_for(m_wait);
        const earth::TerrainAnswer ground = m_client.QueryTerrain(0, 0);
        if (std::optional<StepOutcome> trouble = Trouble(ground.call))
            return *trouble;
        if (!ground.call.Answered())
            return Refused(index);
        return Height(index, HeightText(ground.point));
    }

    // Rows (1-based) whose point the globe refused, in order.
    const std::vector<int>& RefusedRows() const { return m_refused; }

private:
    StepOutcome Refused(int index)
    {
        m_refused.push_back(index + 1);
        return Height(index, messages::kNoElevation);
    }
    static StepOutcome Height(int index, std::string text)
    {
        return {StepOutcome::Status::Done,
                TaskOutput{.row = index + 1, .firstColumn = 3, .cells = {std::move(text)}},
                {}};
    }

    earth::EarthClient& m_client;
    std::vector<earth::GeoPosition> m_points;
    double m_range;
    std::chrono::milliseconds m_wait;
    std::vector<int> m_refused;
    // The steps the globe was last told about.
    int m_expectedFirst = 0;
    int m_expectedEnd = 0;
};

// ---------------------------------------------------------------- DEM sampling

constexpr const char* kDemSection = "DEM";
// A kept position is a grid position written with six decimals; this much below a grid line
// still counts as on it.
constexpr double kGridTolerance = 1e-6;

// Step i samples the screen position of grid step i; the sky gives no sample.
class DemWork final : public TaskWork {
public:
    DemWork(earth::EarthClient& client, DemSamplingPage::Grid grid) : m_client(client), m_grid(grid)
    {
    }
    int StepCount() const override { return m_grid.Total(); }
    std::optional<TaskOutput> Step(int index) override { return Attempt(index).output; }
    StepOutcome Attempt(int index) override
    {
        const earth::TerrainAnswer answer = m_client.QueryTerrain(m_grid.X(index), m_grid.Y(index));
        if (std::optional<StepOutcome> trouble = Trouble(answer.call))
            return *trouble;
        const std::optional<earth::TerrainPoint>& point = answer.point;
        if (!point)
            return {}; // the sky, or a position the globe would not look at
        return {StepOutcome::Status::Done,
                TaskOutput{.row = TaskOutput::kAppendRow,
                           .firstColumn = 1,
                           .cells = {platform::FormatFixed(point->longitude, 6),
                                     platform::FormatFixed(point->latitude, 6), HeightText(point)}},
                {}};
    }

private:
    earth::EarthClient& m_client;
    DemSamplingPage::Grid m_grid;
};

} // namespace

// ---------------------------------------------------------------- BatchElevationPage

BatchElevationPage::BatchElevationPage(PageContext context) : TaskPage(context)
{
    AddField(
        {.id = "altitude", .label = "视角海拔高度(KM)", .kind = FieldKind::Integer, .value = 10});
    AddField(
        {.id = "interval", .label = "视角切换间隔时间(s)", .kind = FieldKind::Integer, .value = 1});
    SetUp({.table = kPointTable,
           .cacheFileName = "Attitude.txt",
           .savedColumns = {1, 2, 3},
           .requiredColumns = {1, 2}});
    AddMenu({"文件(&F)",
             {{kOpenCommand, "打开(&O)", [this] { return OpenPoints(); }},
              {kSaveDataCommand, "保存(&S)"},
              {},
              {kCloseWindowCommand, "退出(&Q)"}}});
    AddMenu({"帮助(&H)", {{"help", "帮助(&H)"}}});
}

bool BatchElevationPage::OpenPoints()
{
    // The worker reads the table while a task runs.
    if (TaskState() != State::Idle)
        return false;
    const std::optional<std::string> path = Editor().ChooseImportFile();
    if (!path)
        return false;
    // The list is emptied only for a file that gives rows: a refused or cancelled import
    // leaves the points as they were.
    std::vector<std::string> listed;
    const int listedRows = Table().DataRowCount();
    if (listedRows > 0 &&
        m_context.prompter.ShowMessage(
            {messages::kAskClearList, messages::kApplicationTitle, platform::MessageIcon::Question,
             platform::MessageButtons::YesNo}) == platform::MessageAnswer::Yes) {
        Table().CollectCells(listed);
        Editor().ClearRows();
    }
    if (Editor().ImportFile(*path, true) > 0)
        return true;
    if (!listed.empty())
        Table().FillRows(std::move(listed), listedRows, Table().ColumnCount());
    return false;
}

std::unique_ptr<TaskWork> BatchElevationPage::MakeWork()
{
    earth::EarthConnection* connection = ReadyEarth(m_context);
    if (!connection)
        return nullptr;
    m_refusedRows.clear();
    std::vector<earth::GeoPosition> points;
    const tables::CoordinateTable& table = Table();
    points.reserve(static_cast<std::size_t>(table.DataRowCount()));
    for (int row = 1; row <= table.DataRowCount(); ++row)
        points.push_back({.latitude = platform::ParseDouble(table.GetCell(row, 2)),
                          .longitude = platform::ParseDouble(table.GetCell(row, 1))});
    const double range = Field("altitude").value * 1000.0;
    const int seconds = std::max(Field("interval").value, 0);
    return std::make_unique<ElevationWork>(connection->client(), std::move(points), range,
                                           m_second * seconds);
}

std::string BatchElevationPage::StepsNotDone(int first, int last) const
{
    return first == last
               ? FormatMessage(messages::kRowNotDone, first)
               : FormatMessage(FormatMessage(messages::kRowsNotDone, first).c_str(), last);
}

void BatchElevationPage::TaskEnded(TaskWork& work, bool)
{
    m_refusedRows = static_cast<ElevationWork&>(work).RefusedRows();
    if (m_refusedRows.empty())
        return;
    m_context.prompter.ShowMessage(
        {FormatMessage(messages::kMovesRefused, static_cast<int>(m_refusedRows.size()),
                       RowList(m_refusedRows)),
         earth::messages::kNoticeCaption, platform::MessageIcon::Information,
         platform::MessageButtons::Ok});
}

std::string BatchElevationPage::RowList(const std::vector<int>& rows)
{
    // Enough to find them; the table holds every one.
    constexpr std::size_t kListed = 10;
    std::string text;
    for (std::size_t i = 0; i < rows.size() && i < kListed; ++i)
        text += (i ? "," : "") + std::to_string(rows[i]);
    if (rows.size() > kListed)
        text += ",…";
    return text;
}

void BatchElevationPage::SaveTaskPosition(int nextStep)
{
    if (m_context.earth)
        earth::SaveEarthView(*m_context.earth, m_context.prompter, m_context.profile);
    m_context.profile.SetInt(kElevationSection, "high", Field("altitude").value);
    m_context.profile.SetInt(kElevationSection, "time", Field("interval").value);
    // The row not yet done, counted from 1.
    m_context.profile.SetInt(kElevationSection, "x", nextStep + 1);
}

int BatchElevationPage::RestoreTaskPosition()
{
    if (m_context.earth)
        earth::RestoreEarthView(*m_context.earth, m_context.prompter, m_context.profile);
    platform::Profile& profile = m_context.profile;
    SetFieldText("altitude", std::to_string(profile.GetInt(kElevationSection, "high",
                                                           Field("altitude").value)));
    SetFieldText("interval", std::to_string(profile.GetInt(kElevationSection, "time",
                                                           Field("interval").value)));
    const int row = profile.GetInt(kElevationSection, "x", 0);
    return std::max(row, 1) - 1;
}

// ---------------------------------------------------------------- DemSamplingPage

DemSamplingPage::DemSamplingPage(PageContext context) : TaskPage(context)
{
    AddField({.id = "x",
              .label = "X方向比例(‰)",
              .kind = FieldKind::Spin,
              .value = 15,
              .minimum = 1,
              .maximum = 1000});
    AddField({.id = "y",
              .label = "Y方向比例(‰)",
              .kind = FieldKind::Spin,
              .value = 15,
              .minimum = 1,
              .maximum = 1000});
    SetUp({.table = kSampleTable, .cacheFileName = "Dem.txt", .savedColumns = {1, 2, 3}});
}

DemSamplingPage::Grid DemSamplingPage::MakeGrid(int xPermille, int yPermille)
{
    Grid grid;
    grid.xStep = std::clamp(xPermille, 1, 1000) * 0.002;
    grid.yStep = std::clamp(yPermille, 1, 1000) * 0.002;
    grid.columns = 1 + static_cast<int>(std::trunc(2 / grid.xStep));
    grid.rows = 1 + static_cast<int>(std::trunc(2 / grid.yStep));
    return grid;
}

int DemSamplingPage::Grid::IndexAt(double x, double y) const
{
    if (!(x <= 1))
        return Total();
    // Positions left of or below the view start at its edge.
    int column = std::max(0, static_cast<int>(std::floor((x + 1) / xStep + kGridTolerance)));
    int row = 0;
    if (y > 1) {
        ++column; // the kept column was done
    } else {
        row = std::max(0, static_cast<int>(std::floor((y + 1) / yStep + kGridTolerance)));
        if (row >= rows) {
            ++column;
            row = 0;
        }
    }
    if (column >= columns)
        return Total();
    return column * rows + row;
}

std::string DemSamplingPage::StepsNotDone(int first, int last) const
{
    return FormatMessage(FormatMessage(messages::kGridPointsNotDone, first).c_str(), last);
}

std::unique_ptr<TaskWork> DemSamplingPage::MakeWork()
{
    earth::EarthConnection* connection = ReadyEarth(m_context);
    if (!connection)
        return nullptr;
    m_grid = MakeGrid(Field("x").value, Field("y").value);
    return std::make_unique<DemWork>(connection->client(), m_grid);
}

void DemSamplingPage::SaveTaskPosition(int nextStep)
{
    if (m_context.earth)
        earth::SaveEarthView(*m_context.earth, m_context.prompter, m_context.profile);
    platform::Profile& profile = m_context.profile;
    profile.SetInt(kDemSection, "dx", Field("x").value);
    profile.SetInt(kDemSection, "dy", Field("y").value);
    // Past the last sample the position lies beyond the right edge: a restore ends at once.
    const double x = nextStep < m_grid.Total() ? m_grid.X(nextStep)
                                               : -1 + m_grid.columns * m_grid.xStep;
    const double y = nextStep < m_grid.Total() ? m_grid.Y(nextStep) : -1;
    profile.SetString(kDemSection, "x", platform::FormatFixed(x, 6));
    profile.SetString(kDemSection, "y", platform::FormatFixed(y, 6));
}

int DemSamplingPage::RestoreTaskPosition()
{
    if (m_context.earth)
        earth::RestoreEarthView(*m_context.earth, m_context.prompter, m_context.profile);
    const platform::Profile& profile = m_context.profile;
    const double x = platform::ParseDouble(profile.GetString(kDemSection, "x", "-1"));
    const double y = platform::ParseDouble(profile.GetString(kDemSection, "y", "-1"));
    const int dx = std::clamp(profile.GetInt(kDemSection, "dx", Field("x").pendingIndex), 1, 1000);
    const int dy = std::clamp(profile.GetInt(kDemSection, "dy", Field("y").pendingIndex), 1, 1000);
    SetFieldChoice("x", dx);
    SetFieldChoice("y", dy);
    return MakeGrid(dx, dy).IndexAt(x, y);
}

// ---------------------------------------------------------------- MapFramePage

MapFramePage::MapFramePage(PageContext context) : ToolPage(context)
{
    const auto text = [this](const char* id, const char* group, const char* label,
                             const char* initial) {
        AddField(
            {.id = id, .group = group, .label = label, .kind = FieldKind::Text, .text = initial});
    };
    text("lng-start", "", "起始经度(dfm)", "1042000");
    text("lng-end", "", "终止经度(dfm)", "1043000");
    text("lat-start", "", "起始纬度(dfm)", "310500");
    text("lat-end", "", "终止纬度(dfm)", "311000");
    text("lng-step", "间距", "经度差(dfm)", "000100");
    text("lat-step", "间距", "经度差(dfm)", "000100");
    AddCommand({.id = kAddCommand, .caption = "添加", .action = [this] { return Add(); }});
}

earth::MapFrameKml MapFramePage::FrameKml() const
{
    const auto text = [this](const char* id) { return FindField(id)->text; };
    return earth::GenerateMapFrameKml({.lngStart = text("lng-start"),
                                       .lngEnd = text("lng-end"),
                                       .latStart = text("lat-start"),
                                       .latEnd = text("lat-end"),
                                       .lngStep = text("lng-step"),
                                       .latStep = text("lat-step")});
}

bool MapFramePage::Add()
{
    const earth::MapFrameKml frame = FrameKml();
    if (!frame.error.empty()) {
        ShowMessage(frame.error);
        return false;
    }
    earth::EarthConnection* connection = m_context.earth;
    if (connection && !connection->HasClient() &&
        !earth::ConnectEarth(*connection, m_context.prompter))
        return false;
    if (!connection) {
        m_context.prompter.ShowMessage(
            {earth::messages::kNotRunning, earth::messages::kNoticeCaption,
             platform::MessageIcon::Information, platform::MessageButtons::Ok});
        return false;
    }
    // The frame goes to the globe as it is, ready or not.
    if (!connection->client().LoadKml(frame.kml)) {
        ShowMessage(messages::kFrameNotLoaded);
        return false;
    }
    // The frame may lie far from the current view: the camera goes to its centre, high enough
    // to show it whole, and the status says where it is.
    const double lat = (frame.south + frame.north) / 2, lng = (frame.west + frame.east) / 2;
    constexpr double kMetresPerDegree = 111'320.0;
    const double span =
        std::max((frame.north - frame.south) * kMetresPerDegree,
                 (frame.east - frame.west) * kMetresPerDegree * std::cos(lat * M_PI / 180));
    // Flown only when the globe is ready: the frame is loaded either way, and a globe that is
    // not ready gets no second message for a move nobody asked for.
    earth::EarthClient& client = connection->client();
    const bool flown = client.IsInitialized() == 1 && client.IsOnline() == 1 &&
                       client.SetCamera({.latitude = lat,
                                         .longitude = lng,
                                         .altitude = 0,
                                         .altitudeMode = 2,
                                         .range = std::max(1.5 * span, 1000.0),
                                         .tilt = 0,
                                         .azimuth = 0,
                                         .speed = 5.0});
    SetStatus(FormatMessage(flown ? messages::kFrameShown : messages::kFrameAdded,
                            platform::FormatFixed(lat, 6), platform::FormatFixed(lng, 6)));
    // The page closes now: the word goes where the launcher shows its notices.
    m_context.prompter.ShowNotice(StatusText());
    return true;
}

} // namespace carvento::pages
