#pragma once
// The bracket window of one class page (TformFinal): the size chooser and the drawing
// of the class's bracket, which can be larger than the window and is moved by
// dragging; a click selects the pair under the cursor; the context menu and a double
// click apply the pair commands to the selected pair.
//
// A window made with a port (TBracketWindowPort) is the console's class page window.
// One made without a port only shows, pans and selects: it has no pair commands.
//
// The window registers a TBracketPage (core/bracket/bracket_pages.h) for its life:
// the page holds the class, the bracket and the size choice that the results thread,
// the bracket file and generation use. Every access to them takes the bracket lock;
// the accessors below do that themselves.
#include <filesystem>
#include <memory>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPoint>
#include <QWidget>

#include "core/bracket/bracket_pages.h"
#include "core/bracket/bracket_pair_commands.h"
#include "ui/bracket/bracket_window_port.h"

namespace velmaro {

class Operator;
class QuestionDesk;
class TRegistry;
class TformFinal;

// The paint box: shows the window's off-screen bitmap and passes the mouse on.
class TFinalPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TFinalPaintBox(TformFinal& form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TformFinal& form_;
};

class TformFinal : public QWidget {
    Q_OBJECT
public:
    // A window with no class and no bracket; "8" chosen in cbFinalCount. Its page is
    // registered in `pages`; racer names come from `registry` (neither owned; both
    // outlive the window). Without a port it has no pair commands.
    TformFinal(BracketPages& pages, TRegistry& registry, QWidget* owner = nullptr);
    // The class page window: pair commands through `port`, their questions through `desk`
    // (neither owned; both outlive the window).
    TformFinal(BracketPages& pages, TRegistry& registry, TBracketWindowPort& port, QuestionDesk& desk, QWidget* owner);
    ~TformFinal() override;

    // The page's class (main thread). Setting it also sets the class of its bracket.
    TClassItem* classItem() const;
    void setClassItem(TClassItem* classItem);
    // The page's bracket (null = none). The returned pointer keeps it alive, but its
    // contents may only be read or changed under the bracket lock (pages().lockBrackets()).
    std::shared_ptr<TFinalBracket> bracket() const;
    // Installs a bracket (null removes it); the old one is released when nobody else holds it.
    void setBracket(std::shared_ptr<TFinalBracket> bracket);
    // The page record in the core list.
    const std::shared_ptr<TBracketPage>& page() const { return page_; }

    // Takes the size choice of the page into cbFinalCount (after a file load), without
    // running its change handler, and fits the drawing.
    void syncFromPage();

    // Sizes the paint box to the bracket's drawing (at least the panel) and the bitmap with it.
    void FormResize();
    // Redraws the bitmap from the bracket and repaints.
    void pbFinalBracketPaint();
    void pbFinalBracketMouseDown(Qt::MouseButton button, int x, int y);
    void pbFinalBracketMouseMove(Qt::MouseButtons buttons, int x, int y);
    void pFinalPanelMouseDown(Qt::MouseButton button, int x, int y);
    void pFinalPanelMouseMove(Qt::MouseButtons buttons, int x, int y);
    void cbFinalCountChange(int index);

    // Pair commands on the selected pair (nothing without a port or a selected pair).
    void N1Click();  // "Найти в логе": the pair's run in the run grid
    void N2Click();  // "Техническая победа"
    void N7Click();  // "Техническое поражение"
    void N10Click(); // "Комментарии"
    void N6Click();  // "Подготовить"
    void N3Click();  // "Удалить заезд"
    void pbFinalBracketDblClick() { N6Click(); }
    bool hasPairCommands() const { return port_ != nullptr; }
    TBracketWindowPort* port() const { return port_; }
    // The list the window's page is registered in.
    BracketPages& pages() const { return pages_; }
    TRegistry& registry() const { return registry_; }

    // Every bracket window alive, in creation order (main thread).
    static const std::vector<TformFinal*>& windows();
    // After the bracket file was read: every window takes its page's size choice and
    // fits and repaints its drawing.
    static void syncAllFromPages();
    // After a results rebuild: every window repaints its bracket.
    static void repaintAll();

    QWidget* topPanel = nullptr;
    QLabel* sLabel1 = nullptr;
    QComboBox* cbFinalCount = nullptr;
    QWidget* pBracket = nullptr;
    TFinalPaintBox* pbFinalBracket = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N7 = nullptr;
    QAction* N10 = nullptr;
    QAction* N6 = nullptr;
    QAction* N3 = nullptr;
    QImage bitmap;

signals:
    // A pair was selected by a click on an upper-round pair: select that run in the run
    // grid (0 clears the selection).
    void runSelected(int runId);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Selection {
        std::shared_ptr<TFinalBracket> bracket;
        TFinalPair* pair = nullptr;
    };
    Selection selection() const;
    // The selected pair as the pair commands keep it across their questions.
    std::optional<TPairTarget> selectedTarget() const;
    void technicalResult(bool win);
    // After a change of pairs: final_bracket.txt rewritten, rebuild requested, repaint.
    void commitPairChange();
    void buildPopupMenu();

    std::shared_ptr<TBracketPage> page_;
    BracketPages& pages_;
    TRegistry& registry_;
    TBracketWindowPort* port_ = nullptr;
    QuestionDesk* desk_ = nullptr; // set with port_
    QPoint dragPoint_;
};

// Prints the bracket in landscape on the default printer, or with no printer installed
// writes it as a PDF into `eventFolder` and tells `op` where. Main thread.
// Racer names come from `registry`.
Status printFinalBracket(BracketPages& pages, const std::shared_ptr<TFinalBracket>& bracket, const TRegistry& registry,
                         const std::filesystem::path& eventFolder, Operator& op);

} // namespace velmaro
