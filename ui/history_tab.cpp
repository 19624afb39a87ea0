#include "ui/history_tab.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "app/file_buttons.h"
#include "app/session.h"
#include "history/history_inf.h"
#include "history/history_record.h"
#include "office/history_files.h"
#include "ui/date_time_entry.h"
#include "ui/string_grid.h"

namespace {

// Every cell: its background filled, a non-empty text on one line, centred.
class HistoryCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& opt,
               const QModelIndex& index) const override {
        const bool selected = opt.state & QStyle::State_Selected;
        p->fillRect(opt.rect, opt.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty()) return;
        p->save();
        p->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        p->setFont(opt.font);
        p->drawText(opt.rect, Qt::AlignCenter | Qt::TextSingleLine, text);
        p->restore();
    }
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        return nullptr;
    }
};

QPushButton* button(const char* name, const char* caption, QWidget* parent, int x, int y, int w,
                    int h, bool enabled) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    b->setEnabled(enabled);
    return b;
}

QLabel* label(const char* text, QWidget* parent, int x, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

HistoryPage::HistoryPage(DeviceSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName(QStringLiteral("ts3"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    scrlbx3_ = new QScrollArea(this);
    scrlbx3_->setObjectName(QStringLiteral("scrlbx3"));
    scrlbx3_->setWidgetResizable(true);
    scrlbx3_->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scrlbx3_);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    const bool unlocked = session_.link.login.unlocked();

    // Top panel: read, range and filter.
    auto* pnl3 = new QWidget(content);
    pnl3->setObjectName(QStringLiteral("pnl3"));
    pnl3->setFixedHeight(47);
    pnl3->setMinimumWidth(800);
    QPushButton* btn19 = button("btn19", "Read data", pnl3, 9, 8, 86, 30, unlocked);
    label("Start:", pnl3, 212, 17);
    // Pickers that take a whole typed date or time and leave by Tab
    // (ui/date_time_entry.h).
    dtp1_ = new DateTimeEntry<QDateEdit>(QDate(2015, 3, 3), pnl3);
    dtp1_->setObjectName(QStringLiteral("dtp1"));
    dtp1_->setGeometry(249, 13, 90, 21);
    dtp2_ = new DateTimeEntry<QTimeEdit>(QTime(0, 0, 0), pnl3);
    dtp2_->setObjectName(QStringLiteral("dtp2"));
    dtp2_->setGeometry(349, 13, 85, 21);
    label("End:", pnl3, 464, 17);
    const QDateTime now = QDateTime::currentDateTime();
    dtp3_ = new DateTimeEntry<QDateEdit>(now.date(), pnl3);
    dtp3_->setObjectName(QStringLiteral("dtp3"));
    dtp3_->setGeometry(493, 13, 90, 21);
    dtp4_ = new DateTimeEntry<QTimeEdit>(now.time(), pnl3);
    dtp4_->setObjectName(QStringLiteral("dtp4"));
    dtp4_->setGeometry(591, 13, 85, 21);
    for (QDateEdit* d : {dtp1_, dtp3_}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
    }
    for (QTimeEdit* t : {dtp2_, dtp4_}) t->setDisplayFormat(QStringLiteral("H:mm:ss"));
    // The pickers have fixed widths made for the window's 11-pixel font (with
    // a larger one the date would be cut). The wheel changes a picker only
    // once a click has focused it; before that it scrolls the page
    // (ui/string_grid.h).
    auto* gate = new WheelGate(this);
    for (QDateTimeEdit* e : std::initializer_list<QDateTimeEdit*>{dtp1_, dtp2_, dtp3_, dtp4_}) {
        QFont f = e->font();
        f.setPixelSize(11);
        e->setFont(f);
        e->setFocusPolicy(Qt::StrongFocus);
        gate->watch(e);
    }
    QPushButton* btn20 = button("btn20", "Filter", pnl3, 699, 8, 97, 30, unlocked);
    column->addWidget(pnl3);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // Left panel: files and delete. The file exports are office/history_files.h.
    auto* pnl7 = new QWidget(content);
    pnl7->setObjectName(QStringLiteral("pnl7"));
    pnl7->setFixedWidth(100);
    pnl7->setMinimumHeight(340);
    QPushButton* btn18 = button("btn18", "Export.CSV", pnl7, 9, 73, 85, 30, unlocked);
    QPushButton* btn13 = button("btn13", "Export.XLS", pnl7, 9, 126, 85, 30, unlocked);
    QPushButton* btn23 = button("btn23", "Delete all", pnl7, 9, 297, 85, 30, unlocked);
    row->addWidget(pnl7, 0, Qt::AlignTop);

    strngrd4_ = new StringGrid(session_.history, content);
    strngrd4_->setObjectName(QStringLiteral("strngrd4"));
    static const int widths[8] = {38, 71, 74, 70, 95, 112, 129, 235};
    for (int c = 0; c < 8; ++c) strngrd4_->setGridColumnWidth(c, widths[c]);
    strngrd4_->setGridColumnWidth(historyrec::No, 0);  // the record number is kept but not shown
    strngrd4_->setDefaultRowHeight(24);
    strngrd4_->setItemDelegate(new HistoryCellDelegate(strngrd4_));
    strngrd4_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    strngrd4_->setMinimumWidth(837);
    row->addWidget(strngrd4_, 1);
    column->addLayout(row, 1);

    scrlbx3_->setWidget(content);

    connect(btn19, &QPushButton::clicked, this, &HistoryPage::btn19Click);
    connect(btn20, &QPushButton::clicked, this, &HistoryPage::btn20Click);
    connect(btn23, &QPushButton::clicked, this, &HistoryPage::btn23Click);
    connect(btn13, &QPushButton::clicked, this,
            [this] { Tcustomstringgrid_his(session_).ExportHistoryWorkbook(); });
    connect(btn18, &QPushButton::clicked, this,
            [this] { Tcustomstringgrid_his(session_).ExportHistoryCsv(); });
}

void HistoryPage::btn19Click() {
    session_.historyInf.ReadAll();
}

void HistoryPage::btn20Click() {
    session_.historyInf.FilterRows({dtp1_->date(), dtp2_->time(), dtp3_->date(), dtp4_->time()});
}

void HistoryPage::btn23Click() {
    session_.historyInf.DeleteAll();
}
