// Table files and the word parser.
//
// A table file is text, one row a line (LF or CR LF), cells separated by
// tabs, no header line. Rows keep their cells as written; a missing cell
// reads as null. KExcelTable reads its file when it is made, from a packed
// archive when one is given, else from disk; a file that cannot be read
// gives a table of 0 rows.
#pragma once

#include <windows.h>

#include <vector>

class CUnPackFile;

template <class T>
class KTable;

// Cells as zero-terminated texts, owned by the table.
template <>
class KTable<char*> {
public:
    KTable() = default;
    virtual ~KTable() = default;
    KTable(const KTable&) = delete;
    KTable& operator=(const KTable&) = delete;

    int GetRow() const { return int(m_Rows.size()); }
    // The most cells of any row.
    int GetCol() const { return m_nCols; }
    // The cell's text. A cell outside the table is a reference to a null
    // text (made null again on every such call, so a caller that wrote
    // through it does no harm).
    char*& GetData(int column, int row);

    // Replaces the table with the rows of `size` bytes of table text. Bytes
    // after a NUL in a cell are kept out of it (the text ends there).
    void Parse(const char* bytes, size_t size);

protected:
    std::vector<char> m_Text;                // every cell, each ending with a NUL
    std::vector<std::vector<char*>> m_Rows;  // into m_Text
    int m_nCols = 0;
    char* m_pNone = nullptr;                 // what GetData hands out of range
};

class KExcelTable : public KTable<char*> {
public:
    // Reads `name` from pack (when not null) or from disk.
    KExcelTable(const char* name, CUnPackFile* pack);
};

// One word's value: what KWordParser::Parse found in it.
struct KParserObject {
    int nType = 0;         // as Parse returns it
    long nNumber = 0;      // type 2: the number
    double dNumber = 0.0;  // type 2: the number, fraction included
};

// Word types.
#define KWORD_NONE 0    // nothing but blanks
#define KWORD_TEXT 1    // any other word
#define KWORD_NUMBER 2  // a decimal number: optional sign, digits, optional fraction

class KWordParser {
public:
    // The type of the word in text (blanks around it are skipped), with
    // `out` filled in. A number outside the range of long is text.
    int Parse(KParserObject& out, const char* text);
};
