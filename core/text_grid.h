#pragma once
// A grid of text cells: the tool's only store of device data.
//
// The three grids (settings, number list, history) are TextGrids. Like the
// string grids they model, they include the fixed header row 0 and the fixed
// column 0 as ordinary cells, addressed as (column, row). Codecs, transfers,
// filters and file layouts read and write them without any widget; the views
// show them through GridBodyModel (row 0 and column 0 as headers).

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

class TextGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    TextGrid(int columns, int rows, QObject* parent = nullptr);

    int columns() const { return cols_; }
    int rows() const { return rows_; }

    const QString& text(int col, int row) const;  // out of range: empty text
    void setText(int col, int row, const QString& text);

    // Replaces the texts of rows [first, first + count) column by column from
    // `cells` (count x columns, row-major), with one change notification.
    void setRows(int firstRow, const QVector<QStringList>& rowsTexts, int firstCol = 0);
    QStringList rowTexts(int row) const;
    // Writes `texts` down column `col` from `firstRow` on; one change signal.
    void setColumn(int col, int firstRow, const QStringList& texts);

    // Snapshot of every cell, row-major; restoring it puts the grid back
    // exactly (used to keep the grid unchanged when an operation fails).
    QVector<QString> snapshot() const { return cells_; }
    void restore(const QVector<QString>& cells);

    // QAbstractTableModel: the whole grid, row 0 and column 0 included.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int cols_;
    int rows_;
    QVector<QString> cells_;
    static const QString empty_;
};
