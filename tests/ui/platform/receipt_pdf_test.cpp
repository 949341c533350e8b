// The receipt printer's stand-in: pages a roll's width with the printed width inside the
// margins, each page as long as what was drawn on it; chosen when no printer is installed,
// and the official told where the file went.
#include <gtest/gtest.h>

#include "fakes/pdf_pages.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "ui/platform/printing.h"
#include "ui/platform/receipt_pdf.h"

namespace velmaro {
namespace {

TEST(ReceiptPdf, PagesAreARollWideAndAsLongAsTheirContent) {
    test::TempFolder folder;
    ReceiptPdfDevice device(folder / "slips.pdf");
    EXPECT_EQ(device.pageWidth(), 575); // 72 mm at 203 dpi
    EXPECT_GT(device.pageHeight(), 10000);
    ASSERT_TRUE(device.beginDoc("Timeslip").ok());
    PaintCanvas& canvas = device.canvas();
    canvas.setFontSize(11);
    const int line = canvas.textHeight(" ");
    EXPECT_GT(line, 25); // 11 points at 203 dpi
    EXPECT_GT(canvas.textWidth("ET+RT"), 0);
    for (int i = 0; i < 20; ++i) canvas.textOut(0, i * line, "Строка");
    ASSERT_TRUE(device.newPage().ok());
    canvas.textOut(0, 0, "Одна строка");
    ASSERT_TRUE(device.endDoc().ok());

    const std::vector<QSizeF> pages = test::pdfPageSizesMm(folder / "slips.pdf");
    ASSERT_EQ(pages.size(), 2u);
    for (const QSizeF& page : pages) EXPECT_NEAR(page.width(), 80.0, 0.2);
    const double lineMm = line * 25.4 / 203;
    EXPECT_NEAR(pages[0].height(), 20 * lineMm + 10.0, 1.0); // the lines and 5 mm above and below
    EXPECT_NEAR(pages[1].height(), lineMm + 10.0, 1.0);
    EXPECT_FALSE(device.endDoc().ok()); // no document open
}

TEST(ReceiptPdf, StandsInForTheReceiptPrinterWhenNoneIsInstalled) {
    if (anyPrinterInstalled()) GTEST_SKIP() << "a printer is installed here";
    test::TempFolder folder;
    test::ScriptedOperator op;
    test::ScopedSaveReportLog scoped(op);
    const std::unique_ptr<PrintDevice> device = openReceiptPrinter(folder / "event", "timeslip");
    const auto* pdf = dynamic_cast<const ReceiptPdfDevice*>(device.get());
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(pdf->path().parent_path(), folder / "event");
    EXPECT_EQ(pdf->path().filename().string().rfind("timeslip_", 0), 0u);
    tellWherePrinted(*device, op);
    EXPECT_EQ(op.shown,
              std::vector<std::string>{"Принтер не установлен. Документ сохранён в файл:\n" + pdf->path().string()});
}

} // namespace
} // namespace velmaro
