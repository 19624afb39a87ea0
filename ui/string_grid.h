#pragma once
// A view of a TextGrid that behaves like a string grid with one fixed row and
// one fixed column: grid row 0 is shown as the column header, grid column 0 as
// the row header, and the corner shows cell (0, 0). The body scrolls under
// the fixed row and column. Coordinates in this API are grid coordinates
// (column, row), as the codecs use them.

#include <QAbstractTableModel>
#include <QTableView>

#include "link/text_grid.h"

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

    // Text of the corner cell (0, 0) is painted on the corner button.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void cellSelected(int col, int row);
    void cellClicked(int col, int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    GridBodyModel model_;
    QWidget* corner_ = nullptr;
};
