#include "ui/port_combo.h"

#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/port_choice.h"

namespace {

constexpr int DescriptionRole = Qt::UserRole + 1;

// Name on the left, the adapter's description greyed on the right.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString description = index.data(DescriptionRole).toString();
        if (!description.isEmpty()) opt.text += QStringLiteral("   ") + description;
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, p, opt.widget);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        const QString description = index.data(DescriptionRole).toString();
        s.rwidth() += option.fontMetrics.horizontalAdvance(QStringLiteral("   ") + description);
        return s;
    }
};

}  // namespace

PortCombo::PortCombo(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("cbb9"));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setItemDelegate(new PortItemDelegate(this));
    findAction = new QAction(QStringLiteral("Find the controller"), this);
    findAction->setObjectName(QStringLiteral("actFindPort"));
    findAction->setToolTip(QStringLiteral(
        "Ask every listed port for the device's settings and pick the one that answers"));
    connect(findAction, &QAction::triggered, this, &PortCombo::findRequested);
    // A device path is often longer than the box is wide.
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
    lineEdit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lineEdit(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMenu(lineEdit()->mapToGlobal(pos)); });
}

void PortCombo::contextMenuEvent(QContextMenuEvent* event) {
    showMenu(event->globalPos());
    event->accept();
}

void PortCombo::showMenu(const QPoint& globalPos) {
    QMenu* menu = lineEdit()->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(findAction);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void PortCombo::preselect(const QString& port) {
    if (port.isEmpty()) return;
    const int i = findText(port, Qt::MatchExactly);
    if (i >= 0)
        setCurrentIndex(i);
    else
        setEditText(port);
}

QStringList PortCombo::portNames() const {
    QStringList names;
    for (int i = 0; i < count(); ++i) names << itemText(i);
    return names;
}

PortCombo::~PortCombo() {
    joinWorker();
}

void PortCombo::joinWorker() {
    if (worker_.joinable()) worker_.join();
}

void PortCombo::refresh(bool selectFirst) {
    joinWorker();
    ++generation_;
    pending_ = false;
    fill(portchoice::ordered(source ? source() : QList<SerialPortEntry>{}), selectFirst);
}

void PortCombo::refreshInBackground(bool selectFirst) {
    joinWorker();
    pending_ = true;
    const int generation = ++generation_;
    worker_ = std::thread([this, generation, selectFirst, source = source] {
        QList<SerialPortEntry> ports =
            portchoice::ordered(source ? source() : QList<SerialPortEntry>{});
        // Delivered on the combo's thread. The destructor joins this thread
        // before the object goes, and a destroyed object's pending calls are
        // discarded, so `this` is never used after it is gone.
        QMetaObject::invokeMethod(
            this,
            [this, generation, selectFirst, ports = std::move(ports)] {
                if (generation != generation_) return;
                fill(ports, selectFirst);
                pending_ = false;
                emit listed();
            },
            Qt::QueuedConnection);
    });
}

void PortCombo::fill(const QList<SerialPortEntry>& ports, bool selectFirst) {
    const QString typed = currentText();
    blockSignals(true);
    clear();
    for (const SerialPortEntry& e : ports) {
        addItem(e.name);
        setItemData(count() - 1, e.description, DescriptionRole);
        setItemData(count() - 1, e.description, Qt::ToolTipRole);
    }
    if (selectFirst && count() > 0)
        setCurrentIndex(0);
    else
        setEditText(typed);
    blockSignals(false);
}

void PortCombo::showPopup() {
    refresh(false);
    if (view()) view()->setMinimumWidth(qMax(width(), view()->sizeHintForColumn(0) + 24));
    QComboBox::showPopup();
}
