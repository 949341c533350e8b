// Timeslips of both forms printed through the Qt printing layer into the receipt
// printer's stand-in: a PDF of one 80 mm wide page per slip, as long as the slip, at
// 203 dpi, with a logo from the program folder. The files stay in <build>/receipts/ to
// be looked at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <filesystem>
#include <memory>

#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/drag/fake_drag_host.h"
#include "core/drag/timeslip.h"
#include "core/platform/program_folder.h"
#include "core/registration/registry.h"
#include "fakes/pdf_pages.h"
#include "fakes/temp_folder.h"
#include "ui/platform/receipt_pdf.h"

namespace velmaro {
namespace {

// The stand-in the console prints receipts to without a printer.
class PdfReceipts : public ReceiptPrinterSource {
public:
    explicit PdfReceipts(std::filesystem::path file) : file_(std::move(file)) {}
    std::unique_ptr<PrintDevice> openReceiptPrinter() override { return std::make_unique<ReceiptPdfDevice>(file_); }
    void printed(PrintDevice&) override { ++printedCount; }
    int printedCount = 0;

private:
    std::filesystem::path file_;
};

class TimeslipPdf : public ::testing::Test {
protected:
    void SetUp() override {
        out = std::filesystem::path(VELMARO_BINARY_DIR) / "receipts";
        std::filesystem::create_directories(out);
        QImage logo(320, 80, QImage::Format_RGB32);
        logo.fill(Qt::white);
        for (int x = 0; x < 320; ++x)
            for (int y = 30; y < 50; ++y) logo.setPixel(x, y, qRgb(0, 0, 0));
        ASSERT_TRUE(logo.save(QString::fromStdString((program.path() / "printlogo.bmp").string()), "BMP"));
        setProgramFolder(program.path());

        auto racer = std::make_unique<TRacerItem>(12);
        racer->name = "Иванов Иван";
        racer->carModel = "Лада 2107";
        racer->city = "Тула";
        host.reg.racers.push_back(std::move(racer));
        host.reg.classes.push_back(std::make_unique<TClassItem>(3, "Стрит"));
        TDragRaceItem run;
        run.runId = 17;
        run.racer = {12, 34};
        run.classId = {3, 3};
        run.rt = {512, -35};
        run.sixtyFeet = {1890, 1950};
        run.et = {9876, 10123};
        run.speed = {152.3, 148.0};
        run.winner = 0;
        runs.dragRuns() = {run};
    }
    void TearDown() override {}
    test::TempFolder program;
    test::FakeDragHost host;
    DragRuns runs{host};
    std::filesystem::path out;
};

TEST_F(TimeslipPdf, EachSlipIsOneReceiptWidePage) {
    const ReceiptHeading heading{"Кубок области", "01.06.2024", programReceiptLogo(host.script)};
    ASSERT_EQ(heading.logo.width, 320);
    for (const auto& [which, name] :
         {std::pair{TIMESLIP_BOTH, "timeslip_both.pdf"}, {TIMESLIP_LEFT, "timeslip_left.pdf"}}) {
        SCOPED_TRACE(name);
        PdfReceipts printers(out / name);
        ASSERT_TRUE(printTimeslip(runs, which, heading, printers).ok());
        EXPECT_EQ(printers.printedCount, 1);
        const std::vector<QSizeF> pages = test::pdfPageSizesMm(out / name);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_NEAR(pages[0].width(), 80.0, 0.1);
        // The logo (10 mm), a dozen lines and the margins: far shorter than a sheet.
        EXPECT_GT(pages[0].height(), 60.0);
        EXPECT_LT(pages[0].height(), 200.0);
    }
}

} // namespace
} // namespace velmaro
