#include "ui/port_combo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>

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
}

void PortCombo::refresh(bool selectFirst) {
    const QString typed = currentText();
    const QList<SerialPortEntry> ports = source ? source() : QList<SerialPortEntry>{};
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
