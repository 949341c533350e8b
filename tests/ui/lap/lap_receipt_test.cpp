// The lap receipt: which event it prints, its texts and layout on a recording receipt
// printer, and a PDF of it on the receipt printer's stand-in (one 80 mm wide page, as long
// as the receipt) in <build>/receipts/ to be looked at.
#include <gtest/gtest.h>

#include <QApplication>

#include "core/drag/footer_cipher.h"
#include "core/lap/lap_fixture.h"
#include "fakes/pdf_pages.h"
#include "fakes/recording_print_device.h"
#include "ui/lap/lap_receipt.h"
#include "ui/platform/receipt_pdf.h"

namespace velmaro {
namespace {

using namespace velmaro::ui;

class Receipts : public ReceiptPrinterSource {
public:
    std::function<std::unique_ptr<PrintDevice>()> make;
    int opened = 0;
    int printedCount = 0;
    std::unique_ptr<PrintDevice> openReceiptPrinter() override {
        ++opened;
        return make();
    }
    void printed(PrintDevice&) override { ++printedCount; }
};

class LapReceipt : public test::LapTest {
protected:
    static void SetUpTestSuite() {
        if (!qApp) {
            static int argc = 1;
            static char name[] = "test_ui_lap";
            static char* argv[] = {name, nullptr};
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QApplication(argc, argv);
        }
    }
    void SetUp() override {
        LapTest::SetUp();
        registry.addRacer(7, "Сидоров Пётр", {2});
        registry.addClass(2, "Картинг");
        lap->raceItems() = std::make_unique<TRaceItemList>();
        add(7, TRaceItem::STSIG, 0, 0);
        add(7, TRaceItem::PLAP, 61000, 0);
        add(9, TRaceItem::FAIL, 0, 0);
        add(7, TRaceItem::LAP, 63456, 5000);
        add(7, TRaceItem::LAP, 59000, 0);
    }
    void add(uint32_t racer, uint32_t kind, int32_t lapMs, int32_t penalty) {
        auto e = std::make_unique<TRaceItem>();
        e->racer = racer;
        e->kind = kind;
        e->lap = lapMs;
        e->penalty = penalty;
        e->classId = racer == 7 ? 2 : 5;
        lap->raceItems()->push_back(std::move(e));
    }
    const ReceiptHeading heading{"Кубок", "01.06.2024", {}};
};

TEST_F(LapReceipt, TheFirstLapAtOrAfterTheIndex) {
    const std::optional<LapReceiptTexts> t = lapReceiptTexts(*lap, 1); // a PLAP row: the LAP after it
    ASSERT_TRUE(t);
    EXPECT_EQ(*t,
              (LapReceiptTexts{"Картинг", "№ 7", "Сидоров Пётр", "Car7", "City7", " 58.456", "+05.000", " 1:03.456"}));
    EXPECT_EQ(lapReceiptTexts(*lap, 4)->penalty, ""); // no penalty: an empty value
    EXPECT_FALSE(lapReceiptTexts(*lap, 5));
    EXPECT_FALSE(lapReceiptTexts(*lap, -1));
    (*lap->raceItems())[4]->kind = TRaceItem::FAIL;
    EXPECT_FALSE(lapReceiptTexts(*lap, 4)); // no LAP at or after it: nothing to print
    lap->raceItems().reset();
    EXPECT_FALSE(lapReceiptTexts(*lap, 0));

    Receipts printers;
    printers.make = [] { return std::make_unique<test::RecordingPrintDevice>(); };
    EXPECT_TRUE(printLapReceipt(*lap, 0, heading, printers, temp.path() / "printfooter.txt").ok());
    EXPECT_EQ(printers.opened, 0);
}

TEST_F(LapReceipt, Layout) {
    temp.write("printfooter.txt", "Спасибо!\r\nДо встречи\n"
                                  "без конца строки");
    test::RecordingPrintDevice printer(576);
    ASSERT_TRUE(printLapReceiptDocument(printer, heading, *lapReceiptTexts(*lap, 0),
                                        std::vector<std::string>{"Спасибо!", "До встречи", "без конца строки"})
                    .ok());
    std::vector<std::string> lines;
    for (const test::DrawnText& d : printer.canvasRecord.texts) lines.push_back(d.text);
    const std::vector<std::string> expected = {"Кубок",
                                               "01.06.2024",
                                               "Картинг",
                                               "№ 7",
                                               "Сидоров Пётр",
                                               "Car7",
                                               "City7",
                                               "Время",
                                               ":",
                                               " 58.456",
                                               "Штраф",
                                               ":",
                                               "+05.000",
                                               "Итог",
                                               ":",
                                               " 1:03.456",
                                               " ",
                                               "Спасибо!",
                                               "До встречи",
                                               "без конца строки",
                                               footerLines()[0],
                                               footerLines()[1]};
    EXPECT_EQ(lines, expected);
    const auto& t = printer.canvasRecord.texts;
    EXPECT_EQ(t[8], (test::DrawnText{70, 22 * 9, ":", 11})); // the colon after "Время: "
    EXPECT_EQ(t[9], (test::DrawnText{576 - 70, 22 * 9, " 58.456", 11}));
    EXPECT_EQ(t[20].y, 22 * 16 + 44); // two blank lines before the footer
    EXPECT_EQ(t[20].points, 8);
    EXPECT_EQ(t[21].y, 22 * 16 + 44 + 16);

    // The print command reads those lines from the footer file (the last one has no line end).
    test::RecordingPrintDevice* device = nullptr;
    Receipts printers;
    printers.make = [&device] {
        auto d = std::make_unique<test::RecordingPrintDevice>(576);
        device = d.get();
        return d;
    };
    ASSERT_TRUE(printLapReceipt(*lap, 0, heading, printers, temp.path() / "printfooter.txt").ok());
    EXPECT_EQ(printers.printedCount, 1);
}

TEST_F(LapReceipt, PrintsToOneReceiptWidePage) {
    const std::filesystem::path out = std::filesystem::path(VELMARO_BINARY_DIR) / "receipts";
    std::filesystem::create_directories(out);
    std::string name = "lap_receipt.pdf";
    Receipts printers;
    printers.make = [&] { return std::make_unique<ReceiptPdfDevice>(out / name); };
    temp.write("printfooter.txt", "Спасибо за участие!\nwww.example.org\n");
    ASSERT_TRUE(printLapReceipt(*lap, 1, heading, printers, temp.path() / "printfooter.txt").ok());
    const std::vector<QSizeF> pages = test::pdfPageSizesMm(out / "lap_receipt.pdf");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(pages[0].width(), 80.0, 0.1);
    EXPECT_LT(pages[0].height(), 200.0);

    // A long printfooter.txt: the page grows with it, the receipt stays whole on one page.
    std::string footer;
    for (int i = 0; i < 60; ++i) footer += "Строка " + std::to_string(i) + "\n";
    temp.write("printfooter.txt", footer);
    name = "lap_receipt_long_footer.pdf";
    ASSERT_TRUE(printLapReceipt(*lap, 1, heading, printers, temp.path() / "printfooter.txt").ok());
    const std::vector<QSizeF> longer = test::pdfPageSizesMm(out / name);
    ASSERT_EQ(longer.size(), 1u);
    EXPECT_GT(longer[0].height(), pages[0].height() + 60 * 3.0); // lines of more than 3 mm
}

} // namespace
} // namespace velmaro
