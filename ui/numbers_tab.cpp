#include "ui/numbers_tab.h"

#include <QApplication>
#include <QDateEdit>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QStyleOptionButton>
#include <QTimeEdit>
#include <QWheelEvent>

#include "app/file_buttons.h"
#include "app/session.h"
#include "numbers/number_record.h"
#include "office/number_files.h"
#include "ui/date_time_entry.h"
#include "ui/string_grid.h"

using namespace numrec;

namespace {

// A picker that can show nothing: loaded from a cell it cannot represent, it
// stays blank (its old value is not shown as if it were the cell's) until the
// user changes it by keyboard, wheel, arrows or calendar.
class Blankable {
public:
    virtual ~Blankable() = default;
    virtual void setBlank(bool blank) = 0;
    bool blank() const { return blank_; }
    // Tab (true) or Shift+Tab (false) pressed in the picker: the grid's cell
    // navigation takes over.
    std::function<void(bool next)> tabbed;

protected:
    bool blank_ = false;
};

template <class Edit>
class CellPicker : public DateTimeEntry<Edit>, public Blankable {
    using Base = DateTimeEntry<Edit>;

public:
    explicit CellPicker(QWidget* parent) : Base(parent) {
        QObject::connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] { setBlank(false); });
    }
    void setBlank(bool blank) override {
        if (blank_ == blank) return;
        blank_ = blank;
        // Re-applying the format makes the edit render its text again.
        this->setDisplayFormat(this->displayFormat());
    }

protected:
    QString textFromDateTime(const QDateTime& dt) const override {
        return blank_ ? QString() : Base::textFromDateTime(dt);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (blank_ && !e->text().isEmpty()) {
            setBlank(false);
            this->setSelectedSection(this->sectionAt(0));
        }
        Base::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent* e) override {
        // A blank edit has no section text to select.
        if (blank_)
            QAbstractSpinBox::focusInEvent(e);
        else
            Base::focusInEvent(e);
    }
    bool focusNextPrevChild(bool next) override {
        if (!tabbed) return Base::focusNextPrevChild(next);
        tabbed(next);
        return true;
    }
    void stepBy(int steps) override {
        setBlank(false);
        Base::stepBy(steps);
    }
    // An arrow key or the wheel always gives a blank edit a value, even when
    // the hidden value could not step that way (a minute of 59, say).
    QAbstractSpinBox::StepEnabled stepEnabled() const override {
        if (blank_) return QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        return Base::stepEnabled();
    }
};

using DatePicker = CellPicker<QDateEdit>;
using TimePicker = CellPicker<QTimeEdit>;

constexpr QRgb OutOfRangeBackground = qRgb(192, 220, 192);

QPixmap checkBoxImage(QStyle* style, bool checked) {
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight);
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    QStyleOptionButton o;
    o.rect = QRect(0, 0, w, h);
    o.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &o, &p);
    return pm;
}

// Paints the number grid's body: centred single-line texts, out-of-range
// dates and times on their own background, check boxes in the flag columns.
// Only column 1 gets an in-place editor.
class NumbersDelegate : public QStyledItemDelegate {
public:
    explicit NumbersDelegate(QObject* parent)
        : QStyledItemDelegate(parent),
          unchecked_(checkBoxImage(QApplication::style(), false)),
          checked_(checkBoxImage(QApplication::style(), true)) {}

    void paint(QPainter* p, const QStyleOptionViewItem& opt,
               const QModelIndex& index) const override {
        const int col = index.column() + 1;
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect r = opt.rect;

        if (col == Always || col == Delete) {
            p->fillRect(r, opt.palette.color(QPalette::Base));
            const QPixmap& img = text == Yes ? checked_ : unchecked_;
            const int w = img.width(), h = img.height();
            const int left = (r.left() + r.left() + r.width() - w) / 2;
            const int top = (r.top() + r.top() + r.height() - h) / 2;
            p->drawPixmap(left, top, img);
            return;
        }

        const bool selected = opt.state & QStyle::State_Selected;
        QColor bg = opt.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        QColor fg = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        const bool marked = ((col == StartDate || col == EndDate) && dateOutOfRange(text)) ||
                            ((col == StartTime || col == EndTime) && timeOutOfRange(text));
        if (marked) {
            bg = QColor(OutOfRangeBackground);
            fg = opt.palette.color(QPalette::Text);
        }
        p->fillRect(r, bg);
        if (!text.isEmpty()) {
            p->setPen(fg);
            p->setFont(opt.font);
            p->drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& opt,
                          const QModelIndex& index) const override {
        if (index.column() + 1 != Number) return nullptr;
        return QStyledItemDelegate::createEditor(parent, opt, index);
    }

private:
    QPixmap unchecked_;
    QPixmap checked_;
};

constexpr QAbstractItemView::EditTriggers TextEditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;

bool isDateColumn(int col) {
    return col == StartDate || col == EndDate;
}

}  // namespace

NumbersPage::NumbersPage(DeviceSession& session, QWidget* parent)
    : QWidget(parent), session_(session), numbers_(session.numbers) {
    setObjectName(QStringLiteral("ts2"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    scrlbx1_ = new QScrollArea(this);
    scrlbx1_->setObjectName(QStringLiteral("scrlbx1"));
    scrlbx1_->setWidgetResizable(true);
    scrlbx1_->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scrlbx1_);

    content_ = new QWidget;
    auto* row = new QHBoxLayout(content_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    pnl6_ = new QWidget(content_);
    pnl6_->setObjectName(QStringLiteral("pnl6"));
    pnl6_->setFixedWidth(100);
    struct ButtonSpec {
        const char* name;
        const char* caption;
    };
    static const ButtonSpec buttons[] = {{"btn10", "Read"},        {"btn9", "Save"},
                                         {"btn14", "Import .XLS"}, {"btn15", "Export .XLS"},
                                         {"btn3", "Export .CSV"},  {"btn6", "All Always"},
                                         {"btn7", "Delete all"}};
    const bool unlocked = session_.link.login.unlocked();
    int y = 20;
    for (const ButtonSpec& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), pnl6_);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(7, y, 85, 30);
        button->setEnabled(unlocked);
        y += 50;
    }
    pnl6_->setMinimumHeight(y);
    row->addWidget(pnl6_);

    strngrd3_ = new StringGrid(numbers_, content_);
    strngrd3_->setObjectName(QStringLiteral("strngrd3"));
    static const int widths[ColumnCount] = {45, 145, 83, 91, 89, 86, 78, 76};
    for (int c = 0; c < ColumnCount; ++c) strngrd3_->setGridColumnWidth(c, widths[c]);
    strngrd3_->setDefaultRowHeight(24);
    strngrd3_->setItemDelegate(new NumbersDelegate(strngrd3_));
    strngrd3_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    strngrd3_->setTabKeyNavigation(true);
    row->addWidget(strngrd3_, 1);
    scrlbx1_->setWidget(content_);

    // Pickers: children of the scroll box's contents, over the grid.
    const QDateTime now = QDateTime::currentDateTime();
    auto makeDate = [&](const QDate& date) {
        auto* p = new DatePicker(content_);
        p->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        p->setCalendarPopup(true);
        p->setDate(date);
        return static_cast<QDateTimeEdit*>(p);
    };
    auto makeTime = [&](const QTime& time) {
        auto* p = new TimePicker(content_);
        p->setDisplayFormat(QStringLiteral("HH:mm"));
        p->setTime(time);
        return static_cast<QDateTimeEdit*>(p);
    };
    pickers_[0] = makeDate(now.date());
    pickers_[1] = makeTime(QTime(0, 0));
    pickers_[2] = makeDate(now.date());
    pickers_[3] = makeTime(QTime(now.time().hour(), now.time().minute()));
    static const char* pickerNames[4] = {"dtp_startdate", "dtp_starttime", "dtp_enddate",
                                         "dtp_endtime"};
    // The wheel over the tab scrolls the grid; a picker takes it only once a
    // click has given it the focus (ui/string_grid.h).
    gate_ = new WheelGate(this);
    gate_->divert = [this](QWheelEvent* w) { scrollByWheel(w); };
    for (int i = 0; i < 4; ++i) {
        pickers_[i]->setObjectName(QString::fromLatin1(pickerNames[i]));
        pickers_[i]->hide();
        // Reached by a click, or from its cell with F2; Tab goes on to the
        // grid's next cell.
        pickers_[i]->setFocusPolicy(Qt::ClickFocus);
        dynamic_cast<Blankable*>(pickers_[i])->tabbed = [this](bool next) { tabFromPicker(next); };
        pickers_[i]->installEventFilter(this);
        gate_->watch(pickers_[i]);
    }

    // The start date is written into its cell as soon as the user changes it.
    connect(pickers_[0], &QDateTimeEdit::dateChanged, this, [this] {
        if (loading_) return;
        if (strngrd3_->currentCol() == StartDate) writeBack(StartDate);
    });

    connect(findChild<QPushButton*>(QStringLiteral("btn10")), &QPushButton::clicked, this,
            &NumbersPage::btn10Click);
    connect(findChild<QPushButton*>(QStringLiteral("btn9")), &QPushButton::clicked, this,
            &NumbersPage::btn9Click);
    connect(findChild<QPushButton*>(QStringLiteral("btn6")), &QPushButton::clicked, this,
            &NumbersPage::btn6Click);
    connect(findChild<QPushButton*>(QStringLiteral("btn7")), &QPushButton::clicked, this,
            &NumbersPage::btn7Click);
    // Workbook and CSV files (app/file_buttons.h, on office/number_files.h).
    connect(findChild<QPushButton*>(QStringLiteral("btn15")), &QPushButton::clicked, this,
            [this] { NumberFiles(session_).btn15Click(); });
    connect(findChild<QPushButton*>(QStringLiteral("btn14")), &QPushButton::clicked, this,
            [this] { NumberFiles(session_).btn14Click(); });
    connect(findChild<QPushButton*>(QStringLiteral("btn3")), &QPushButton::clicked, this,
            [this] { NumberFiles(session_).btn3Click(); });

    connect(strngrd3_, &StringGrid::cellSelected, this, &NumbersPage::strngrd3SelectCell);
    connect(strngrd3_, &StringGrid::cellClicked, this, &NumbersPage::strngrd3Click);
    connect(strngrd3_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &NumbersPage::syncPickers);
    connect(strngrd3_->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &NumbersPage::syncPickers);
    connect(&numbers_, &TextGrid::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                const int row = strngrd3_->currentRow();
                if (row >= from.row() && row <= to.row()) syncPickers();
            });

    // Every part of the tab, scroll bars and headers included, turns the
    // wheel into grid lines; the pickers go through the gate.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>()) {
        bool inPicker = false;
        for (QDateTimeEdit* p : pickers_) inPicker = inPicker || w == p || p->isAncestorOf(w);
        if (!inPicker) w->installEventFilter(this);
    }
}

QDateTimeEdit* NumbersPage::picker(int col) const {
    return col >= StartDate && col <= EndTime ? pickers_[col - StartDate] : nullptr;
}

bool NumbersPage::pickerBlank(int col) const {
    const auto* b = dynamic_cast<const Blankable*>(picker(col));
    return b && b->blank();
}

bool NumbersPage::rowIsAlways(int row) const {
    return numbers_.text(Always, row) == Yes;
}

// ---- buttons -------------------------------------------------------------

void NumbersPage::btn10Click() {
    session_.telephoneSend.btn10Click();
}
void NumbersPage::btn9Click() {
    session_.telephoneSend.btn9Click();
}

void NumbersPage::btn6Click() {
    allAlways_ = !allAlways_;
    setColumnForAll(Always, allAlways_);
}

void NumbersPage::btn7Click() {
    deleteAll_ = !deleteAll_;
    setColumnForAll(Delete, deleteAll_);
}

void NumbersPage::setColumnForAll(int col, bool on) {
    const QVector<QStringList> rows(numbers_.rows() - 1, QStringList{on ? Yes : No});
    numbers_.setRows(1, rows, col);
}

// ---- grid ----------------------------------------------------------------

void NumbersPage::strngrd3SelectCell(int col, int row) {
    strngrd3_->setEditTriggers(col == Number ? TextEditTriggers
                                             : QAbstractItemView::NoEditTriggers);
    for (int c = StartDate; c <= EndTime; ++c)
        if (c != col) picker(c)->hide();
    syncPickers();
}

void NumbersPage::strngrd3Click(int, int) {
    const int col = strngrd3_->currentCol();
    const int row = strngrd3_->currentRow();
    if (row < 1 || (col != Always && col != Delete)) return;
    if (numbers_.text(col, row) == Yes) {
        numbers_.setText(col, row, No);
        return;
    }
    hideAllPickers();
    // Setting a flag discards the validity window: columns 2..7 in one change.
    QStringList texts{{}, {}, {}, {}, numbers_.text(Always, row), numbers_.text(Delete, row)};
    texts[col - StartDate] = Yes;
    numbers_.setRows(row, {texts}, StartDate);
}

void NumbersPage::hideAllPickers() {
    for (QDateTimeEdit* p : pickers_) p->hide();
}

// The picker of the current cell's column sits over that cell while the
// cell is in view and its row is not "Always", and mirrors the cell.
void NumbersPage::syncPickers() {
    const int col = strngrd3_->currentCol();
    const int row = strngrd3_->currentRow();
    QDateTimeEdit* p = picker(col);
    if (!p) return;
    if (row < 1 || rowIsAlways(row)) {
        p->hide();
        return;
    }
    const QRect cell = strngrd3_->cellRect(col, row);
    if (!strngrd3_->viewport()->rect().contains(cell)) {
        p->hide();
    } else {
        p->setGeometry(QRect(strngrd3_->viewport()->mapTo(content_, cell.topLeft()), cell.size()));
        p->raise();
        p->show();
    }
    if (!writing_) loadPicker(col, row);
}

void NumbersPage::loadPicker(int col, int row) {
    QDateTimeEdit* p = picker(col);
    auto* b = dynamic_cast<Blankable*>(p);
    const QString& cell = numbers_.text(col, row);
    loading_ = true;
    if (cell.isEmpty()) {
        b->setBlank(false);  // an empty cell shows the picker's previous value
    } else if (isDateColumn(col)) {
        const auto d = cellDate(cell);
        if (d && *d >= p->minimumDate() && *d <= p->maximumDate()) {
            p->setDate(*d);
            b->setBlank(false);
        } else {
            b->setBlank(true);
        }
    } else {
        const auto t = cellTime(cell);
        if (t) {
            p->setTime(*t);
            b->setBlank(false);
        } else {
            b->setBlank(true);
        }
    }
    loading_ = false;
}

void NumbersPage::writeBack(int col) {
    const int row = strngrd3_->currentRow();
    QDateTimeEdit* p = picker(col);
    if (row < 1 || rowIsAlways(row) || pickerBlank(col)) return;
    const QString text = isDateColumn(col) ? pickerDateText(p->date()) : pickerTimeText(p->time());
    writing_ = true;
    numbers_.setText(col, row, text);
    writing_ = false;
}

void NumbersPage::scrollByWheel(QWheelEvent* w) {
    const QPoint delta = w->angleDelta();
    if (delta.y() != 0) {
        wheelLines(delta.y());
    } else if (delta.x() != 0) {
        QWheelEvent sideways(QPointF(), w->globalPosition(), w->pixelDelta(), delta, w->buttons(),
                             w->modifiers(), w->phase(), w->inverted());
        QApplication::sendEvent(strngrd3_->horizontalScrollBar(), &sideways);
    }
}

void NumbersPage::tabFromPicker(bool next) {
    // Leaving the picker writes it back; the grid then moves to the next
    // cell as Tab does there.
    strngrd3_->setFocus(Qt::TabFocusReason);
    QKeyEvent tab(QEvent::KeyPress, next ? Qt::Key_Tab : Qt::Key_Backtab, Qt::NoModifier);
    QApplication::sendEvent(strngrd3_, &tab);
}

void NumbersPage::wheelLines(int angleDelta) {
    gate_->gridWheeled();
    wheelRest_ += angleDelta;
    QScrollBar* bar = strngrd3_->verticalScrollBar();
    while (wheelRest_ <= -120) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        wheelRest_ += 120;
    }
    while (wheelRest_ >= 120) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        wheelRest_ -= 120;
    }
}

bool NumbersPage::eventFilter(QObject* watched, QEvent* event) {
    for (int c = StartDate; c <= EndTime; ++c) {
        if (watched != picker(c)) continue;
        if (event->type() == QEvent::FocusOut &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            writeBack(c);
            if (c == StartDate) picker(c)->hide();
        }
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::Wheel: {
            // One line per notch (120 units), in the direction of the wheel.
            const auto* w = static_cast<QWheelEvent*>(event);
            if (w->angleDelta().y() == 0) break;
            wheelLines(w->angleDelta().y());
            return true;
        }
        case QEvent::KeyPress:
            // F2 on a date or time cell puts the keyboard into its picker.
            if (watched == strngrd3_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
                QDateTimeEdit* p = picker(strngrd3_->currentCol());
                if (p && p->isVisible()) {
                    p->setFocus(Qt::OtherFocusReason);
                    return true;
                }
            }
            break;
        case QEvent::Resize:
        case QEvent::Move:
            if (watched == strngrd3_->viewport() || watched == strngrd3_) syncPickers();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}
