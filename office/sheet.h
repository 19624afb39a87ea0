#pragma once
// The in-memory sheet behind a Workbook (internal to the office layer).

#include <algorithm>
#include <map>
#include <QString>
#include <QtGlobal>
#include <unordered_map>
#include <utility>
#include <vector>

#include "office/workbook.h"

namespace office::detail {

struct StoredCell {
    CellValue value;
    bool textFormat = false;   // written with the number format "@"
    qint32 sharedString = -1;  // while reading: the shared string still to fill in
};

struct Sheet {
    // Rows and columns from 1. Keys sort in row-major order.
    static quint64 key(int row, int column) { return (quint64(row) << 16) | quint64(column); }
    static int rowOf(quint64 key) { return int(key >> 16); }
    static int columnOf(quint64 key) { return int(key & 0xFFFF); }

    std::unordered_map<quint64, StoredCell> cells;
    std::map<int, double> columnWidths;  // column from 1

    StoredCell& at(int row, int column) { return cells[key(row, column)]; }
    const StoredCell* find(int row, int column) const {
        const auto it = cells.find(key(row, column));
        return it == cells.end() ? nullptr : &it->second;
    }
    // The cells in row-major order.
    std::vector<std::pair<quint64, const StoredCell*>> orderedCells() const {
        std::vector<std::pair<quint64, const StoredCell*>> ordered;
        ordered.reserve(cells.size());
        for (const auto& [key, cell] : cells) ordered.emplace_back(key, &cell);
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        return ordered;
    }
    void clear() {
        cells.clear();
        columnWidths.clear();
    }
};

// "B12" for messages.
QString cellName(int row, int column);

}  // namespace office::detail
