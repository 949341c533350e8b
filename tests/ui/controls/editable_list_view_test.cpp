// The editable list view: its cell cursor, keys, in-place editors and row colours.
#include "ui/controls/editable_list_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>

namespace velmaro::ui {
namespace {

using Editor = TEditableListView::ColumnEditor;

class EditableListViewTest : public ::testing::Test {
protected:
    EditableListViewTest() : model(3, 3) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) model.setItem(r, c, new QStandardItem(QString("r%1c%2").arg(r).arg(c)));
        for (int r = 0; r < 3; ++r)
            model.item(r, 2)->setData(QStringList{"A", "B", "C"}, TEditableListView::DropDownItemsRole);
        view.setModel(&model);
        view.setColumnEditor(0, Editor::Text);
        view.setColumnEditor(2, Editor::DropDown);
        view.resize(400, 200);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(&view, k, mods); }
    std::pair<int, int> cursor() const { return {view.selectedItem(), view.selectedSubItem()}; }

    QStandardItemModel model;
    TEditableListView view;
};

TEST_F(EditableListViewTest, CursorKeysStopAtTheEdges) {
    key(Qt::Key_Right); // no cursor row yet: nothing moves
    EXPECT_EQ(cursor(), std::make_pair(-1, -1));
    key(Qt::Key_Down); // the first Down sets the cursor column to 0
    EXPECT_EQ(cursor(), std::make_pair(0, 0));
    key(Qt::Key_Up);
    EXPECT_EQ(cursor(), std::make_pair(0, 0));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(cursor(), std::make_pair(2, 0));
    key(Qt::Key_Tab);
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(cursor(), std::make_pair(2, 2));
    key(Qt::Key_Backtab);
    EXPECT_EQ(cursor(), std::make_pair(2, 1));
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(cursor(), std::make_pair(2, 0));
    EXPECT_EQ(view.countSelected(), 1);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));
}

// Tab moves the cursor along the row and, past its end, the focus out of the list.
TEST(EditableListViewFocus, TabLeavesTheListAtTheEndsOfTheRow) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* view = new TEditableListView(&window);
    auto* after = new QPushButton("OK", &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(before);
    layout->addWidget(view);
    layout->addWidget(after);
    QStandardItemModel model(2, 3);
    view->setModel(&model);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto tab = [&](Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, mods);
        return QApplication::focusWidget();
    };

    view->setFocus();
    tab(); // no cursor row: nothing to move along, the focus goes on
    EXPECT_EQ(QApplication::focusWidget(), after);

    view->setFocus();
    view->selectItem(1, 1);
    EXPECT_EQ(tab(), view);
    EXPECT_EQ(view->selectedSubItem(), 2);
    EXPECT_EQ(tab(), after); // past the last column
    EXPECT_EQ(view->selectedSubItem(), 2);

    view->setFocus();
    EXPECT_EQ(tab(Qt::ShiftModifier), view);
    EXPECT_EQ(tab(Qt::ShiftModifier), view);
    EXPECT_EQ(view->selectedSubItem(), 0);
    EXPECT_EQ(tab(Qt::ShiftModifier), before); // before the first column
    EXPECT_EQ(view->selectedItem(), 1);        // the cursor stays where it was
}

TEST(EditableListViewEmpty, DownSetsNoCursorRow) {
    QStandardItemModel empty(0, 2);
    TEditableListView view;
    view.setModel(&empty);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(view.selectedItem(), -1);
}

TEST_F(EditableListViewTest, MousePressPutsTheCursorOnTheCellOrNowhere) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(model.index(1, 2)).center());
    EXPECT_EQ(cursor(), std::make_pair(1, 2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(390, 190));
    EXPECT_EQ(cursor(), std::make_pair(-1, -1));
}

TEST_F(EditableListViewTest, TextEditorStoresOnEnterAndDiscardsOnEsc) {
    QSignalSpy edited(&view, &TEditableListView::cellEdited);
    view.selectItem(1, 0);
    key(Qt::Key_Return, Qt::ControlModifier); // Enter with a modifier opens nothing
    EXPECT_FALSE(view.isEditing());
    key(Qt::Key_F2, Qt::ControlModifier); // F2 opens whatever the modifiers
    ASSERT_TRUE(view.isEditing());
    auto* edit = view.findChild<QLineEdit*>("cellEditor");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "r1c0");
    edit->setText("typed");
    QTest::keyClick(edit, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(edited.count(), 0);
    EXPECT_EQ(model.item(1, 0)->text(), "r1c0");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed editor goes

    key(Qt::Key_Return);
    edit = view.findChild<QLineEdit*>("cellEditor");
    ASSERT_NE(edit, nullptr);
    edit->setText("Иванов");
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor stores and closes once the key is handled
    EXPECT_FALSE(view.isEditing());
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0], (QList<QVariant>{1, 0, QString("Иванов"), 0}));
    EXPECT_EQ(model.item(1, 0)->text(), "Иванов");
}

TEST_F(EditableListViewTest, EditorsOpenOnlyWhereColumnAndModelAllow) {
    view.selectItem(0, 1); // column without an editor
    EXPECT_FALSE(view.startEditCell());
    model.item(0, 0)->setEditable(false);
    view.selectItem(0, 0);
    EXPECT_FALSE(view.startEditCell());
    view.setSelectionMode(QAbstractItemView::MultiSelection);
    view.selectItem(1, 0);
    view.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_FALSE(view.startEditCell()); // two rows selected
}

TEST_F(EditableListViewTest, DropDownStoresTheChosenEntryWithItsIndex) {
    QSignalSpy edited(&view, &TEditableListView::cellEdited);
    view.selectItem(2, 2);
    ASSERT_TRUE(view.startEditCell());
    auto* combo = view.findChild<QComboBox*>("cellEditor");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 3);
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    QCoreApplication::processEvents();
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0], (QList<QVariant>{2, 2, QString("B"), 1}));
}

TEST_F(EditableListViewTest, RowsArePaintedInTheSelectionCursorAndLineColours) {
    model.item(2, 0)->setBackground(QColor(255, 128, 128));
    model.item(2, 1)->setBackground(QColor(255, 128, 128));
    view.selectItem(0, 1);
    const QImage shot = view.grab().toImage();
    auto colourAt = [&](int row, int column) {
        const QRect r = view.visualRect(model.index(row, column));
        return shot.pixelColor(view.viewport()->mapTo(&view, r.bottomRight() - QPoint(3, 3)));
    };
    EXPECT_EQ(colourAt(0, 0), TEditableListView::selectedRowColor());
    EXPECT_EQ(colourAt(0, 1), TEditableListView::cursorCellColor());
    EXPECT_EQ(colourAt(1, 0), QColor(Qt::white));
    EXPECT_EQ(colourAt(2, 0), QColor(255, 128, 128));
    view.selectItem(2, 0);
    const QImage selected = view.grab().toImage();
    const QRect r = view.visualRect(model.index(2, 1));
    EXPECT_EQ(selected.pixelColor(view.viewport()->mapTo(&view, r.bottomRight() - QPoint(3, 3))), QColor(127, 64, 64));
}

} // namespace
} // namespace velmaro::ui
