// Windows by frame.
#include "ui/PageWindows.hpp"

#include "pages/coordinates/CustomEllipsoidPage.hpp"
#include "pages/frames/BatchFilePage.hpp"
#include "pages/frames/CommonPointPage.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/TaskPage.hpp"
#include "ui/BatchFileWindow.hpp"
#include "ui/CommonPointWindow.hpp"
#include "ui/CustomEllipsoidWindow.hpp"
#include "ui/FormWindow.hpp"
#include "ui/TablePageWindow.hpp"
#include "ui/TaskWindow.hpp"

namespace carvento::ui {

QWidget* MakePageWindow(const pages::PageRegistration& registration, pages::PageContext context,
                        const std::function<void(pages::ToolPage&)>& prepare)
{
    using pages::TakeAs;
    using pages::ToolPage;
    std::unique_ptr<ToolPage> page = registration.factory(context);
    // The ellipsoid editor saves through the locked profile file shared with other programs;
    // the other form pages take the generic window.
    if (page->EllipsoidEditor())
        return new CustomEllipsoidWindow(TakeAs(std::move(page), &ToolPage::EllipsoidEditor));
    if (prepare)
        prepare(*page);
    switch (page->Frame()) {
    case pages::PageFrame::Conversion: {
        auto* window = new TablePageWindow(TakeAs(std::move(page), &ToolPage::AsConversion));
        window->SetClipboard(context.clipboard);
        return window;
    }
    case pages::PageFrame::CommonPoint:
        return new CommonPointWindow(TakeAs(std::move(page), &ToolPage::AsCommonPoint));
    case pages::PageFrame::BatchFile:
        return new BatchFileWindow(TakeAs(std::move(page), &ToolPage::AsBatchFile));
    case pages::PageFrame::Task:
        return new TaskWindow(TakeAs(std::move(page), &ToolPage::AsTask));
    case pages::PageFrame::Form:
        return new FormWindow(std::move(page));
    }
    return nullptr;
}

} // namespace carvento::ui
