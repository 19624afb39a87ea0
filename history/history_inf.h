#pragma once
// History transfer: 1000 records of 128 bytes, 2 to a page, 500 pages from
// device address 0x30000.
//
// "Read data" runs the paged chain over all 500 pages; every reply is decoded
// into the two grid rows its address names, and after the last page the grid
// is compacted (CompactRows). A chain that stops early (no answer, Stop)
// leaves the rows read so far, and nothing is compacted.

#include "core/text_grid.h"
#include "history/history_filter.h"
#include "link/transfer.h"

class THistoryInf : public Tsend_rec_command {
public:
    THistoryInf(DeviceLink& link, TextGrid& grid) : Tsend_rec_command(link), grid_(grid) {}

    static constexpr quint16 Pages = 500;

    // "Read data": pages 1 .. 500 from page 1. The grid is not cleared first.
    bool ReadAll() { return startRead(Pages); }

    void ReadPage(int page) override;
    // Decodes Buffer into grid rows 2(p-1)+1 and 2(p-1)+2 of the page p that
    // Address names (nothing when those rows lie outside 1 .. 1000), then
    // ReadNext().
    void DecodePage() override;

    // Keeps the rows that hold a record: a record number and a year below
    // 2080, in device order, from row 1 on; the rest of the rows are emptied.
    // A row with a number whose date does not start with a year (a damaged
    // date: some date byte was 0xFF) is kept too, at its place in order.
    void CompactRows();
    // The decision for one row's columns 1 .. 7.
    static bool keepRow(const QString& no, const QString& date);

    // "Delete all": asks with a warning box; OK sends the delete-all command.
    // The grid is not changed either way. True when the command was sent.
    bool DeleteAll();
    static const QString& deleteWarning();

    // "Filter": narrows the grid to the range, sorted by date and time, with
    // the status texts and message boxes of the filter. On any refusal or
    // error the grid stays as it was.
    historyfilter::Result FilterRows(const historyfilter::Range& range);

    // Header and row numbers of a fresh history grid (8 x 1001).
    static void fillStartContents(TextGrid& grid);

protected:
    void readFinished() override { CompactRows(); }

private:
    TextGrid& grid_;
};
