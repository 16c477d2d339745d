// Windows by frame.
#include "ui/PageWindows.hpp"

#include "pages/BatchFilePage.hpp"
#include "pages/CommonPointPage.hpp"
#include "pages/ConversionPage.hpp"
#include "pages/TaskPage.hpp"
#include "ui/BatchFileWindow.hpp"
#include "ui/CommonPointWindow.hpp"
#include "ui/CustomEllipsoidWindow.hpp"
#include "ui/FormWindow.hpp"
#include "ui/TablePageWindow.hpp"
#include "ui/TaskWindow.hpp"

namespace carvento::ui {

namespace {

// The frame a page names is its own statement of the frame class it derives from.
template <typename Frame>
std::unique_ptr<Frame> AsFrame(std::unique_ptr<pages::ToolPage> page)
{
    return std::unique_ptr<Frame>(static_cast<Frame*>(page.release()));
}

} // namespace

QWidget* MakePageWindow(const pages::PageRegistration& registration, pages::PageContext context,
                        const std::function<void(pages::ToolPage&)>& prepare)
{
    // The ellipsoid editor saves through the locked profile file shared with other programs;
    // the other form pages take the generic window.
    if (registration.frame == pages::PageFrame::Form &&
        registration.pageClass == std::string_view("CustomEllipsoidPage"))
        return new CustomEllipsoidWindow(context);
    std::unique_ptr<pages::ToolPage> page = registration.factory(context);
    if (prepare)
        prepare(*page);
    switch (registration.frame) {
    case pages::PageFrame::Conversion: {
        auto* window = new TablePageWindow(AsFrame<pages::ConversionPage>(std::move(page)));
        window->SetClipboard(context.clipboard);
        return window;
    }
    case pages::PageFrame::CommonPoint:
        return new CommonPointWindow(AsFrame<pages::CommonPointPage>(std::move(page)));
    case pages::PageFrame::BatchFile:
        return new BatchFileWindow(AsFrame<pages::BatchFilePage>(std::move(page)));
    case pages::PageFrame::Task:
        return new TaskWindow(AsFrame<pages::TaskPage>(std::move(page)));
    case pages::PageFrame::Form:
        return new FormWindow(std::move(page));
    }
    return nullptr;
}

} // namespace carvento::ui
