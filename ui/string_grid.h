#pragma once
// A view of a TextGrid that behaves like a string grid with one fixed row and
// one fixed column: grid row 0 is shown as the column header, grid column 0 as
// the row header, and the corner shows cell (0, 0). The body scrolls under
// the fixed row and column. Coordinates in this API are grid coordinates
// (column, row), as the codecs use them.

#include <functional>
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include "core/text_grid.h"

// The body of a TextGrid (rows 1.., columns 1..) as a table model, with the
// fixed row and column as header data.
class GridBodyModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridBodyModel(TextGrid& grid, QObject* parent = nullptr);
    TextGrid& grid() { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void gridChanged(const QModelIndex& from, const QModelIndex& to);
    TextGrid& grid_;
};

// Draws a cell's text straight with the painter. The style's item drawing lays
// out each cell's text as a paragraph, several times the cost, which shows in
// the window's first frame and when a long list scrolls. It looks the same:
// centred, elided at the right, highlighted when selected; the current cell of
// a focused grid, whose focus frame the style draws, goes through the style.
class GridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

class StringGrid : public QTableView {
    Q_OBJECT
public:
    explicit StringGrid(TextGrid& grid, QWidget* parent = nullptr);

    TextGrid& grid() { return model_.grid(); }
    GridBodyModel& bodyModel() { return model_; }

    void setGridColumnWidth(int col, int px);  // col 0: the fixed column
    int gridColumnWidth(int col) const;
    void setGridRowHeight(int row, int px);  // row 0: the fixed row
    void setDefaultRowHeight(int px);

    // The current cell; the fixed row and column are never current, so a
    // grid whose selection is "in the header" reports row 0.
    int currentCol() const;
    int currentRow() const;
    void setCurrentCell(int col, int row);
    QModelIndex indexOf(int col, int row) const;
    QRect cellRect(int col, int row) const;  // viewport coordinates

    // The fixed row and the corner drawn flat in `fill`, with a `line` at the
    // right and bottom of each cell (instead of the style's raised header).
    void setHeaderColours(const QColor& fill, const QColor& line);

    // Text of the corner cell (0, 0) is painted on the corner button.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // No type-to-find: a key typed on a cell that takes no text moves
    // nothing (the current cell is what the editors over the grid edit).
    void keyboardSearch(const QString&) override {}

signals:
    void cellSelected(int col, int row);
    void cellClicked(int col, int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    // Scrolled to its end, the view would align the last row with the
    // bottom and leave the top row half under the header; rows stay aligned
    // to the header instead (the last one still fits whole).
    void alignRowsToHeader();

    GridBodyModel model_;
    QWidget* corner_ = nullptr;
    class GridHeader* columns_ = nullptr;
};

// Keeps the mouse wheel from changing a value the user did not mean to
// change. A watched editor (a date or time picker, a choice list) takes the
// wheel only while it has the focus that a click on it gave, and not while
// the wheel is scrolling a grid (an editor that the scrolling brings under
// the pointer takes none of those turns). Any other wheel event over it goes
// to `divert`; without one, it travels on to the editor's parents as if the
// editor took no wheel.
class WheelGate : public QObject {
public:
    explicit WheelGate(QObject* parent = nullptr) : QObject(parent) {}

    void watch(QWidget* editor);  // the editor and its children
    bool clickFocused(const QWidget* editor) const;
    // A grid has just been scrolled by the wheel: for `holdMs` editors
    // take no wheel turn.
    void gridWheeled() { gridWheel_.start(); }
    bool gridScrolling() const { return gridWheel_.isValid() && gridWheel_.elapsed() < holdMs; }

    std::function<void(QWheelEvent* event)> divert;
    int holdMs = 500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* editorOf(QObject* o) const;
    QList<QPointer<QWidget>> editors_;
    QPointer<QWidget> clicked_;
    QElapsedTimer gridWheel_;
};
