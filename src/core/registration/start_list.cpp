#include "core/registration/start_list.h"

#include "core/registration/racer_export.h"

namespace velmaro {

namespace {

// The ruled table of the start list. Every line is h + 1 high and the next one starts h
// lower, so neighbouring lines share their border. A class bar never ends a page: it goes
// to the next page with the class's first racer. A page that continues a class starts
// with the header and the class bar again.
class StartListTable {
public:
    explicit StartListTable(ReceiptWriter& out)
        : out_(out), canvas_(out.canvas()), h_(out.lineHeight()), w1_(canvas_.textWidth(" 00 ")),
          w2_(canvas_.textWidth(" Номер ")) {}

    bool header() { return cells("#", "Номер", " Имя"); }
    bool classBar(const std::string& text) {
        class_ = text;
        if (!room(2, false)) return false; // the bar and the first racer
        drawClassBar();
        return true;
    }
    bool racer(unsigned running, const TRacerItem& r) {
        if (!room(1, true)) return false;
        return cells(std::to_string(running), std::to_string(r.number), " " + r.name);
    }

private:
    // A new page when `lines` more lines do not fit; the header heads every new page,
    // and the class bar too when the page continues a class.
    bool room(int lines, bool continuesClass) {
        const int before = out_.y();
        if (!out_.ensureRoom(lines * h_ + 1)) return false;
        if (before == 0 || out_.y() != 0) return true;
        header();
        if (continuesClass) drawClassBar();
        return true;
    }
    void drawClassBar() {
        const PaintRect bar{0, out_.y(), out_.pageWidth(), out_.y() + h_ + 1};
        canvas_.rectangle(bar);
        canvas_.textRect(bar, bar.left, bar.top, " " + class_);
        out_.setY(out_.y() + h_);
    }
    bool cells(const std::string& a, const std::string& b, const std::string& c) {
        const int t = out_.y();
        const PaintRect ra{0, t, w1_, t + h_ + 1};
        const PaintRect rb{w1_ - 1, t, w1_ + w2_, t + h_ + 1};
        const PaintRect rc{w1_ + w2_ - 1, t, out_.pageWidth(), t + h_ + 1};
        for (const PaintRect& r : {ra, rb, rc}) canvas_.rectangle(r);
        centredIn(ra, a);
        centredIn(rb, b);
        canvas_.textRect(rc, rc.left, t, c);
        out_.setY(t + h_);
        return true;
    }
    void centredIn(const PaintRect& r, const std::string& text) {
        canvas_.textRect(r, r.left + receiptX(ReceiptAlign::Centre, r.width(), canvas_.textWidth(text)), r.top, text);
    }

    ReceiptWriter& out_;
    PaintCanvas& canvas_;
    int h_;
    int w1_;
    int w2_;
    std::string class_; // the class of the bar last drawn
};

} // namespace

Status printStartList(PrintDevice& device, const TRegistry& reg, const StartListPage& page) {
    if (reg.racers.empty()) return Status::Ok();
    const std::vector<RacerClassRow> rows = racerClassRows(reg);

    device.setLandscape(false);
    if (Status st = device.beginDoc("Стартовый лист"); !st.ok()) return st;
    PaintCanvas& canvas = device.canvas();
    canvas.setPen(kBlack, 2);
    canvas.setBrush(kWhite, true);
    canvas.setFontSize(11);

    ReceiptWriter out(device);
    out.image(page.logo);
    StartListTable table(out);
    table.header();
    forEachClassGroup(
        rows, [&](const std::string& cls) { table.classBar(cls); },
        [&](unsigned running, const TRacerItem& r) { table.racer(running, r); });

    // The footer file starts right under the table, the two footer lines two lines
    // under the file's last line (or one line under the table without a file).
    if (!page.footerFile.empty()) {
        for (const std::string& line : page.footerFile) out.centred(line);
        out.skip(2);
    } else {
        out.skip(1);
    }
    canvas.setFontSize(8);
    out.centred(page.footer[0]);
    out.centred(page.footer[1]);

    const Status end = device.endDoc();
    if (!out.ok()) return Status::Error("Принтер не начал новую страницу");
    return end;
}

} // namespace velmaro
