// Feeds arbitrary bytes to the table reader as a table file's text, then
// reads every cell (and some outside the table) through the word parser, as
// a skin reads its rows.
#include <kbase.h>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KTable<char*> table;
    table.Parse(reinterpret_cast<const char*>(data), size);
    KWordParser parser;
    size_t total = 0;
    for (int r = -1; r <= table.GetRow(); r++) {
        for (int c = -1; c <= table.GetCol(); c++) {
            char*& cell = table.GetData(c, r);
            KParserObject word;
            parser.Parse(word, cell);
            if (cell != nullptr)
                total += std::strlen(cell);
        }
    }
    // Every cell's text comes from the input: together no longer than it.
    if (total > size)
        __builtin_trap();
    return 0;
}
