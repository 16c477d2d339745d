// A table page's window driven through 导入, 转换, 复制 and 导出 of a generated file (a million
// rows unless told otherwise) on 高斯坐标正算 and 七参数转换, as a user clicks them. For each
// command it prints the longest time the event loop went unanswered (a 5 ms timer notes how
// late it fires), the command's wall time and the process's peak resident memory during it.
// Run offscreen: QT_QPA_PLATFORM=offscreen table_window_bench [rows]
#include "pages/coordinates/GaussPages.hpp"
#include "pages/transform/TransformPages.hpp"
#include "platform/Profile.hpp"
#include "ui/QtPlatform.hpp"
#include "ui/TablePageWindow.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using namespace carvento;

// Answers as a user would: the generated file to open, the output to save, the mapping as
// the dialog offers it, OK to every message.
class ScriptedPrompter final : public platform::Prompter {
public:
    std::string openPath;
    std::string savePath;
    int messages = 0;

    platform::MessageAnswer ShowMessage(const platform::Message&) override
    {
        ++messages;
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog&) override
    {
        return {openPath};
    }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog&) override
    {
        return savePath;
    }
    bool ChooseImportColumns(platform::ColumnMapping&) override { return true; }
};

std::string TemporaryPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() /
            ("carvento-window-bench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// Latitudes and longitudes in degrees (forward page), or plane x, y and a height (seven
// parameters, plane to plane).
std::string WriteInput(const std::string& name, int rows, bool plane)
{
    const std::string path = TemporaryPath(name);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(18.0, 53.0), lon(102.0, 108.0);
    std::uniform_real_distribution<double> x(2500000.0, 4500000.0), y(300000.0, 700000.0),
        h(0.0, 3000.0);
    for (int i = 0; i < rows; ++i) {
        if (plane)
            std::fprintf(out, "P%d,%.4f,%.4f,%.4f\r\n", i + 1, x(random), y(random), h(random));
        else
            std::fprintf(out, "P%d,%.8f,%.8f\r\n", i + 1, lat(random), lon(random));
    }
    std::fclose(out);
    return path;
}

// Peak resident memory since the last reset, in MB; the reset makes each command's peak its
// own (Linux: writing 5 to clear_refs resets VmHWM).
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Clicks `caption` from inside the event loop and measures until the command returned.
void Measure(ui::TablePageWindow& window, const char* caption)
{
    QPushButton* button = window.Button(QString::fromUtf8(caption));
    if (!button) {
        std::printf("  %s: no such button\n", caption);
        return;
    }
    ResetPeak();
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop loop;
    qint64 total = 0;
    QTimer::singleShot(20, [&] {
        const qint64 start = clock.elapsed();
        button->click();
        total = clock.elapsed() - start;
        // The gap up to the end of the command counts too.
        longest = std::max(longest, clock.elapsed() - last);
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
    });
    clock.start();
    ticker.start();
    loop.exec();
    std::printf("  %-4s longest gap %6lld ms   total %6lld ms   peak %6.0f MB\n", caption,
                static_cast<long long>(longest), static_cast<long long>(total), PeakMegabytes());
    std::fflush(stdout);
}

void RunPage(const char* name, std::unique_ptr<pages::ConversionPage> page,
             ScriptedPrompter& prompter, int rows)
{
    std::printf("%s, %d rows\n", name, rows);
    auto* window = new ui::TablePageWindow(std::move(page));
    window->show();
    for (const char* caption : {"导入", "转换", "复制", "导出"})
        Measure(*window, caption);
    std::printf("  rows: %s\n", window->StatusText().toStdString().c_str());
    window->close();
    QApplication::processEvents();
    std::filesystem::remove(prompter.openPath);
    std::filesystem::remove(prompter.savePath);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    platform::MemoryProfile profile;
    ScriptedPrompter prompter;
    prompter.savePath = TemporaryPath("out.txt");

    prompter.openPath = WriteInput("gauss.csv", rows, false);
    {
        auto page = std::make_unique<pages::CGSZSDlg>(pages::PageContext{prompter, ui::Clipboard(),
                                                                         profile});
        page->Field("unit").pendingIndex = pages::kUnitDegrees;
        RunPage("高斯坐标正算", std::move(page), prompter, rows);
    }

    prompter.openPath = WriteInput("seven.csv", rows, true);
    {
        auto page = std::make_unique<pages::CTrans7Dlg>(
            pages::PageContext{prompter, ui::Clipboard(), profile});
        const std::string parameters = TemporaryPath("seven.txt");
        std::ofstream(parameters) << "-15.2,140.7,80.3,1.5,-2.25,3.125,4.5\r\n";
        page->ImportParameterFile(parameters);
        std::filesystem::remove(parameters);
        RunPage("七参数转换", std::move(page), prompter, rows);
    }
    return 0;
}
