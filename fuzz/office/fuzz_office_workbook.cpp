// Feeds whole files to the workbook reader. Every input must end in a
// result or an error text; the sanitizers catch everything else.

#include <cstddef>
#include <cstdint>
#include <QByteArray>

#include "office/workbook.h"

namespace {

void readAll(const QByteArray& bytes) {
    office::ReadLimits limits;
    limits.maxInflatedBytes = 8 << 20;  // keeps each run short; the caps are tested as such
    office::Workbook book;
    if (!book.openBytes(bytes, QStringLiteral("fuzz.xlsx"), limits)) {
        if (book.errorText().isEmpty()) __builtin_trap();  // a failure must say why
        return;
    }
    qsizetype total = 0;
    for (int r = 1; r <= limits.maxRows; r += 1)
        for (int c = 1; c <= limits.maxColumns; ++c) total += book.value(r, c).size();
    if (total < 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readAll(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
