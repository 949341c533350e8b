// The bracket window and bracket printing through the Qt printing layer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QXmlStreamReader>

#include <cstdlib>
#include <filesystem>

#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "fakes/bracket_player.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "qt_app.h"
#include "ui/bracket/form_final.h"
#include "ui/platform/printing.h"

namespace velmaro {
namespace {

class FormFinalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::ensureQtApplication(); }

    BracketPages pages; // the class pages of the test's own console
    TRegistry registry; // its racers
};

// Plays a bracket: the smaller number wins every race.
void playAll(TFinalBracket& b) {
    test::BracketPlayer player;
    player.nextId = 1;
    player.timeOf = [](int n) { return 9000 + n * 37; };
    player.dirtyOf = [](int n) { return 9400 + n * 37; };
    player.play(b, 60);
}

TEST_F(FormFinalTest, WindowRegistersItsPageAndFitsTheDrawing) {
    TClassItem cls(3, "Сток");
    {
        TformFinal form(pages, registry);
        form.resize(400, 300);
        EXPECT_EQ(form.cbFinalCount->currentIndex(), 1);
        EXPECT_EQ(form.cbFinalCount->count(), 5);
        form.setClassItem(&cls);
        {
            auto lock = pages.lockBrackets();
            ASSERT_EQ(pages.findBracketPage(3), form.page());
        }
        form.show();
        // Without a bracket the paint box covers the panel.
        EXPECT_EQ(form.pbFinalBracket->size(), form.pBracket->size());

        auto b = std::make_shared<TFinalBracket>(16, 4, 3, 16, "Сток");
        form.setBracket(b);
        EXPECT_EQ(b->classItem, &cls);
        EXPECT_EQ(form.pbFinalBracket->width(), b->totalWidth);
        EXPECT_EQ(form.pbFinalBracket->height(), b->upperHeight + b->lowerHeight);
        EXPECT_EQ(form.bitmap.size(), form.pbFinalBracket->size());

        // Dragging cannot uncover the panel.
        form.pFinalPanelMouseDown(Qt::LeftButton, 100, 100);
        form.pFinalPanelMouseMove(Qt::LeftButton, 5000, 5000);
        EXPECT_EQ(form.pbFinalBracket->pos(), QPoint(0, 0));
        form.pFinalPanelMouseMove(Qt::LeftButton, -10000, -10000);
        EXPECT_EQ(form.pbFinalBracket->x() + form.pbFinalBracket->width(), form.pBracket->width());

        // The size choice of the page shows without running the change handler.
        {
            auto lock = pages.lockBrackets();
            form.page()->sizeChoice = 4;
        }
        form.syncFromPage();
        EXPECT_EQ(form.cbFinalCount->currentText(), "64");
        form.cbFinalCount->setCurrentIndex(0);
        {
            auto lock = pages.lockBrackets();
            EXPECT_EQ(form.page()->sizeChoice, 0);
        }
    }
    auto lock = pages.lockBrackets();
    EXPECT_EQ(pages.findBracketPage(3), nullptr);
}

TEST_F(FormFinalTest, ClickSelectsThePairAndItsRun) {
    TformFinal form(pages, registry);
    form.resize(1200, 800);
    form.show();
    auto b = std::make_shared<TFinalBracket>(8, 0, 3, 8, "");
    b->upperRound(0)->pair(1)->run.runId = 42;
    form.setBracket(b);
    int selected = -1;
    QObject::connect(&form, &TformFinal::runSelected, [&](int id) { selected = id; });
    form.pbFinalBracketMouseDown(Qt::RightButton, 20, 125);
    EXPECT_EQ(selected, 42);
    auto lock = pages.lockBrackets();
    EXPECT_EQ(b->selectedPair, b->upperRound(0)->pair(1));
}

TEST_F(FormFinalTest, SvgParsesAsXml) {
    TFinalBracket b(16, 4, 3, 16, "Сток");
    for (int i = 0; i < 16; ++i) b.setRacer(i + 1, 3, i);
    b.upperRound(0)->pair(0)->comments[0] = "<b>&amp; \"q\"";
    playAll(b);
    QXmlStreamReader xml(QByteArray::fromStdString(b.svg));
    int rects = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("rect")) ++rects;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(rects, 2 * (8 + 4 + 2 + 1 + 1 + 4 + 4 + 2 + 2 + 1 + 1)); // no reset: slot 0 won
}

// Prints a full 16-slot double-elimination bracket; with no printer installed it becomes
// a PDF in the event folder and the operator is told where. VELMARO_KEEP_PDF=<folder>
// keeps a copy for looking at.
TEST_F(FormFinalTest, PrintsToPdfWithoutPrinter) {
    if (anyPrinterInstalled()) GTEST_SKIP() << "a printer is installed";
    test::TempFolder event;
    test::ScriptedOperator op;
    for (int i = 1; i <= 16; ++i)
        registry.racers.emplace_back(std::make_unique<TRacerItem>(i))->name = "Гонщик " + std::to_string(i);

    auto b = std::make_shared<TFinalBracket>(16, 4, 3, 16, "Сток");
    for (int i = 0; i < 16; ++i) b->setRacer(i + 1, 3, i);
    playAll(*b);
    b->draw(nullptr, racerNamesOf(registry), 1.0);
    b->upperRound(0)->pair(2)->comments[1] = "тех. поражение";
    const Status st = printFinalBracket(pages, b, registry, event.path(), op);
    ASSERT_TRUE(st.ok()) << st.message();

    std::vector<std::filesystem::path> pdfs;
    for (const auto& e : std::filesystem::directory_iterator(event.path()))
        if (e.path().extension() == ".pdf") pdfs.push_back(e.path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_GT(std::filesystem::file_size(pdfs[0]), 1000u);
    ASSERT_EQ(op.shown.size(), 1u);
    EXPECT_NE(op.shown[0].find(pdfs[0].string()), std::string::npos);
    if (const char* keep = std::getenv("VELMARO_KEEP_PDF"))
        std::filesystem::copy_file(pdfs[0], std::filesystem::path(keep) / "bracket16.pdf",
                                   std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(b->columnWidth, 264);
}

} // namespace
} // namespace velmaro
