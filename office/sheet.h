#pragma once
// The in-memory sheet behind a Workbook (internal to the office layer).

#include <QString>
#include <map>
#include <utility>

#include "office/workbook.h"

namespace office::detail {

struct StoredCell {
    CellValue value;
    bool textFormat = false;  // written with the number format "@"
};

struct Sheet {
    // Keyed by (row, column), both from 1; ordered as a writer emits them.
    std::map<std::pair<int, int>, StoredCell> cells;
    std::map<int, double> columnWidths;  // column from 1

    void clear() {
        cells.clear();
        columnWidths.clear();
    }
};

// "B12" for messages.
QString cellName(int row, int column);

}  // namespace office::detail
