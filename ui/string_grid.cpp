#include "ui/string_grid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QWheelEvent>

GridBodyModel::GridBodyModel(TextGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
    connect(&grid_, &TextGrid::dataChanged, this, &GridBodyModel::gridChanged);
    connect(&grid_, &TextGrid::modelReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

void GridBodyModel::gridChanged(const QModelIndex& from, const QModelIndex& to) {
    const int r0 = from.row(), r1 = to.row(), c0 = from.column(), c1 = to.column();
    if (r0 == 0) emit headerDataChanged(Qt::Horizontal, qMax(c0 - 1, 0), qMax(c1 - 1, 0));
    if (c0 == 0) emit headerDataChanged(Qt::Vertical, qMax(r0 - 1, 0), qMax(r1 - 1, 0));
    const int br0 = qMax(r0, 1) - 1, br1 = r1 - 1, bc0 = qMax(c0, 1) - 1, bc1 = c1 - 1;
    if (br1 >= br0 && bc1 >= bc0 && br1 >= 0 && bc1 >= 0)
        emit dataChanged(index(br0, bc0), index(br1, bc1), {Qt::DisplayRole, Qt::EditRole});
}

int GridBodyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.rows() - 1;
}
int GridBodyModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.columns() - 1;
}

QVariant GridBodyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return grid_.text(index.column() + 1, index.row() + 1);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

bool GridBodyModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    grid_.setText(index.column() + 1, index.row() + 1, value.toString());
    return true;
}

QVariant GridBodyModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return o == Qt::Horizontal ? grid_.text(section + 1, 0) : grid_.text(0, section + 1);
}

Qt::ItemFlags GridBodyModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void GridCellDelegate::paint(QPainter* p, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (option.state & QStyle::State_HasFocus) return QStyledItemDelegate::paint(p, option, index);
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) p->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    const QWidget* w = option.widget;
    const QStyle* style = w ? w->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 1;
    const QRect r = option.rect.adjusted(margin, 0, -margin, 0);
    p->save();
    p->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    p->setFont(option.font);
    p->drawText(r, Qt::AlignCenter,
                option.fontMetrics.elidedText(text, option.textElideMode, r.width()));
    p->restore();
}

// The fixed row or column. The row may be drawn flat in the grid's own
// colours. A header of fixed thickness gives that as its size instead of
// measuring the texts of up to 200 sections each time the view lays out.
class GridHeader : public QHeaderView {
public:
    GridHeader(Qt::Orientation o, QWidget* parent) : QHeaderView(o, parent) {}
    QColor fill, line;

    QSize sizeHint() const override {
        if (orientation() == Qt::Horizontal && minimumHeight() == maximumHeight())
            return {length(), minimumHeight()};
        if (orientation() == Qt::Vertical && minimumWidth() == maximumWidth())
            return {minimumWidth(), length()};
        // While the grid is being built (its thickness usually set just after)
        // no measure is final: the view lays out again when it is shown.
        if (!window()->isVisible()) return {defaultSectionSize(), defaultSectionSize()};
        return QHeaderView::sizeHint();
    }

    // Flat cell with its text centred, as the corner also draws it.
    static void paintFlat(QPainter* p, const QWidget* w, const QRect& rect, const QString& text,
                          const QColor& fill, const QColor& line) {
        p->fillRect(rect, fill);
        p->setPen(line);
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        const QRect inner = rect.adjusted(2, 0, -3, -1);
        p->setPen(w->palette().color(QPalette::Active, QPalette::ButtonText));
        p->drawText(inner, Qt::AlignCenter,
                    w->fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
    }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override {
        if (!fill.isValid()) return QHeaderView::paintSection(p, rect, logicalIndex);
        paintFlat(p, this, rect, model()->headerData(logicalIndex, orientation()).toString(), fill,
                  line);
    }
};

StringGrid::StringGrid(TextGrid& grid, QWidget* parent) : QTableView(parent), model_(grid, this) {
    columns_ = new GridHeader(Qt::Horizontal, this);
    setHorizontalHeader(columns_);
    setVerticalHeader(new GridHeader(Qt::Vertical, this));
    setModel(&model_);
    setItemDelegate(new GridCellDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionsClickable(false);
    setCornerButtonEnabled(false);
    if (auto* b = findChild<QAbstractButton*>()) {
        corner_ = b;
        corner_->installEventFilter(this);
    }
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& i) { emit cellClicked(i.column() + 1, i.row() + 1); });
}

void StringGrid::setGridColumnWidth(int col, int px) {
    if (col == 0)
        verticalHeader()->setFixedWidth(px);
    else
        setColumnWidth(col - 1, px);
}

int StringGrid::gridColumnWidth(int col) const {
    return col == 0 ? verticalHeader()->width() : columnWidth(col - 1);
}

void StringGrid::setGridRowHeight(int row, int px) {
    if (row == 0)
        horizontalHeader()->setFixedHeight(px);
    else
        setRowHeight(row - 1, px);
}

void StringGrid::setDefaultRowHeight(int px) {
    verticalHeader()->setDefaultSectionSize(px);
    horizontalHeader()->setFixedHeight(px);
}

int StringGrid::currentCol() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() + 1 : 1;
}

int StringGrid::currentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void StringGrid::setCurrentCell(int col, int row) {
    if (row <= 0 || col <= 0) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
        return;
    }
    setCurrentIndex(indexOf(col, row));
}

QModelIndex StringGrid::indexOf(int col, int row) const {
    return model_.index(row - 1, col - 1);
}

QRect StringGrid::cellRect(int col, int row) const {
    return visualRect(indexOf(col, row));
}

void StringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid()) emit cellSelected(current.column() + 1, current.row() + 1);
}

void StringGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    alignRowsToHeader();
}

void StringGrid::updateGeometries() {
    QTableView::updateGeometries();
    alignRowsToHeader();
}

void StringGrid::alignRowsToHeader() {
    if (verticalScrollMode() != ScrollPerItem) return;
    const QScrollBar* bar = verticalScrollBar();
    if (bar->maximum() <= 0 || bar->value() != bar->maximum()) return;
    QHeaderView* rows = verticalHeader();
    const int top = rows->sectionPosition(rows->logicalIndex(bar->value()));
    if (top < 0 || rows->offset() == top) return;
    rows->setOffset(top);
    viewport()->update();
}

void StringGrid::setHeaderColours(const QColor& fill, const QColor& line) {
    columns_->fill = fill;
    columns_->line = line;
    columns_->viewport()->update();
    if (corner_) corner_->update();
}

bool StringGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == corner_ && event->type() == QEvent::Paint) {
        QPainter p(corner_);
        if (columns_->fill.isValid()) {
            GridHeader::paintFlat(&p, corner_, corner_->rect(), model_.grid().text(0, 0),
                                  columns_->fill, columns_->line);
            return true;
        }
        QStyleOptionHeader opt;
        opt.initFrom(corner_);
        opt.state |= QStyle::State_Enabled | QStyle::State_Raised;
        opt.palette.setCurrentColorGroup(QPalette::Active);
        opt.rect = corner_->rect();
        opt.text = model_.grid().text(0, 0);
        opt.textAlignment = Qt::AlignCenter;
        opt.position = QStyleOptionHeader::OnlyOneSection;
        opt.orientation = Qt::Horizontal;
        style()->drawControl(QStyle::CE_Header, &opt, &p, corner_);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void WheelGate::watch(QWidget* editor) {
    editors_ << editor;
    editor->installEventFilter(this);
    for (QWidget* child : editor->findChildren<QWidget*>()) child->installEventFilter(this);
}

QWidget* WheelGate::editorOf(QObject* o) const {
    for (const QPointer<QWidget>& e : editors_)
        if (e &&
            (o == e.data() || (o->isWidgetType() && e->isAncestorOf(static_cast<QWidget*>(o)))))
            return e;
    return nullptr;
}

bool WheelGate::clickFocused(const QWidget* editor) const {
    return editor && clicked_ == editor && editor->hasFocus();
}

bool WheelGate::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (QWidget* e = editorOf(watched)) clicked_ = e;
            break;
        case QEvent::FocusOut: {
            // Opening the editor's own list or calendar, or another window,
            // is not leaving it.
            const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
            if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason &&
                clicked_ == editorOf(watched))
                clicked_ = nullptr;
            break;
        }
        case QEvent::Wheel: {
            QWidget* e = editorOf(watched);
            if (!e || (clickFocused(e) && !gridScrolling())) break;
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (divert) {
                divert(wheel);
                wheel->accept();
            } else {
                wheel->ignore();  // on to the parents
            }
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
