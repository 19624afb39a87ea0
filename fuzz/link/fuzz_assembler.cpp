// libFuzzer harness of the reply assembler.
#include <cstdio>
#include <cstdlib>

#include "assembler_property.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto r = assembler_property::check(data, size);
    if (!r.ok) {
        std::fprintf(stderr, "assembler property violated: %s\n", r.why.constData());
        std::abort();
    }
    return 0;
}
