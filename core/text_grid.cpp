#include "core/text_grid.h"

const QString TextGrid::empty_;

TextGrid::TextGrid(int columns, int rows, QObject* parent)
    : QAbstractTableModel(parent), cols_(columns), rows_(rows), cells_(columns * rows) {}

const QString& TextGrid::text(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return empty_;
    return cells_[row * cols_ + col];
}

void TextGrid::setText(int col, int row, const QString& text) {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return;
    QString& cell = cells_[row * cols_ + col];
    if (cell == text) return;
    cell = text;
    const QModelIndex i = index(row, col);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

void TextGrid::setRows(int firstRow, const QVector<QStringList>& rowsTexts, int firstCol) {
    if (rowsTexts.isEmpty()) return;
    int last = firstRow - 1;
    for (int k = 0; k < rowsTexts.size(); ++k) {
        const int row = firstRow + k;
        if (row < 0 || row >= rows_) continue;
        last = row;
        const QStringList& texts = rowsTexts[k];
        for (int c = 0; c < texts.size(); ++c) {
            const int col = firstCol + c;
            if (col >= 0 && col < cols_) cells_[row * cols_ + col] = texts[c];
        }
    }
    if (last >= firstRow)
        emit dataChanged(index(qMax(firstRow, 0), 0), index(last, cols_ - 1),
                         {Qt::DisplayRole, Qt::EditRole});
}

void TextGrid::setColumn(int col, int firstRow, const QStringList& texts) {
    if (col < 0 || col >= cols_ || firstRow < 0 || texts.isEmpty()) return;
    const int last = qMin(rows_, firstRow + int(texts.size())) - 1;
    for (int row = firstRow; row <= last; ++row)
        cells_[row * cols_ + col] = texts[row - firstRow];
    if (last >= firstRow)
        emit dataChanged(index(firstRow, col), index(last, col), {Qt::DisplayRole, Qt::EditRole});
}

QStringList TextGrid::rowTexts(int row) const {
    QStringList out;
    for (int c = 0; c < cols_; ++c) out << text(c, row);
    return out;
}

void TextGrid::restore(const QVector<QString>& cells) {
    if (cells.size() != cells_.size()) return;
    cells_ = cells;
    emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::DisplayRole, Qt::EditRole});
}

int TextGrid::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}
int TextGrid::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant TextGrid::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return text(index.column(), index.row());
}

bool TextGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    setText(index.column(), index.row(), value.toString());
    return true;
}

Qt::ItemFlags TextGrid::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
