// GNSS height fitting: 高程拟合 fits the height anomaly ζ = H − h of common points as a
// surface of x, y (固定差, 平面 or 二次曲面) and saves it as a one-line model file; 正常高计算
// imports that file and gives each point its normal height h = H − ζ(x, y), marking points
// outside the common points' convex hull as 外推.
#pragma once

#include "estimation/HeightFit.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/ConversionPage.hpp"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace carvento::pages {

namespace messages {
// %d: the fewest points the chosen model needs.
inline constexpr const char* kTooFewHeightPoints = "公共点个数不足%d个!";
inline constexpr const char* kHeightPointsCollinear =
    "公共点重合或位于一条直线上,无法拟合平面或二次曲面,模型未改变!";
inline constexpr const char* kHeightSurfaceUndetermined =
    "公共点位于同一条二次曲线上,无法拟合二次曲面,模型未改变,请增加公共点!";
inline constexpr const char* kNoHeightModel = "尚未拟合出模型,请先解算,再保存模型!";
inline constexpr const char* kNoHeightModelImported = "尚未导入模型,请先导入模型文件!";
// %s: the file.
inline constexpr const char* kDamagedHeightModel =
    "文件%s不是完整的高程拟合模型(可能已损坏),模型未改变!";
} // namespace messages

// The model names as the 拟合模型 field lists them, in HeightModel order.
inline const std::vector<std::string> kHeightModelNames = {"固定差", "平面", "二次曲面"};

// The model file's text for a surface: one comma-separated line, CR LF.
std::string HeightModelFileText(const estimation::HeightSurface& surface);

// 高程拟合.
class CHeightFit final : public CommonPointPage {
public:
    static constexpr int kResidualColumn = 5;
    static constexpr const char* kSaveModelCommand = "save-model";

    explicit CHeightFit(PageContext context);
    std::string Title() const override { return "高程拟合"; }

    // The last fitted surface; empty before a successful solve.
    const std::optional<estimation::HeightSurface>& Surface() const { return m_surface; }
    std::optional<PageCommand> SolutionCommand() const override
    {
        return PageCommand{kSaveModelCommand, "保存模型"};
    }
    bool SaveSolutionToFile(const std::string& path, tables::TextEncoding encoding) override
    {
        return SaveModelToFile(path, encoding);
    }
    // 保存模型: save dialog, then SaveModelToFile; false when cancelled, unsolved or not written.
    bool SaveModel();
    // Writes the model line in place of the file's content (nothing before a solve).
    bool SaveModelToFile(const std::string& path, tables::TextEncoding encoding);

protected:
    bool Solve(const PointRows& points) override;
    void ForgetSolve() override { m_surface.reset(); }
    std::string Residual(std::span<const std::string> row) const override;

private:
    void ShowSurface(const estimation::HeightSurface& surface, double sigma0);

    std::optional<estimation::HeightSurface> m_surface;
};

// 正常高计算.
class CHeightApply final : public ConversionPage {
public:
    static constexpr const char* kImportModelCommand = "import-model";
    static constexpr const char* kExtrapolated = "外推";

    explicit CHeightApply(PageContext context);
    std::string Title() const override { return "正常高计算"; }
    std::vector<std::string> ExportHeader() const override
    {
        return {"点号", "x", "y", "h", "外推"};
    }
    std::vector<int> ComputedColumns() const override { return {1, 2, 3}; }

    const std::optional<estimation::HeightSurface>& Surface() const { return m_surface; }
    // 导入模型: open dialog, then ImportParameterFile.
    bool ImportModel();
    // Reads a model file; a file that cannot be read or is no complete model is refused with
    // a message and the page keeps its model.
    bool TakesParameterFile() const override { return true; }
    ParameterFileOption ParameterFileOptionOf() const override
    {
        return {"model",
                "height model file as 保存模型 (or height-fit --save-model) writes it: one "
                "comma-separated line",
                "尚未导入模型"};
    }
    bool ImportParameterFile(const std::string& path) override;

protected:
    bool ReadyToConvert() override;
    void ConvertRow(std::span<std::string> cells) override;
    // x, y in the plane of the common points with h as Z; that plane is whatever the fitted
    // points were given in, so the layer carries no coordinate system.
    std::optional<GisPoints> ResultGisPoints() const override;

private:
    std::optional<estimation::HeightSurface> m_surface;
};

} // namespace carvento::pages
