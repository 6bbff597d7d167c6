// Table files: tab-separated text read whole, from an archive or from disk.
#include "ktable.h"

#include "kfile.h"
#include "unpackfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

char*& KTable<char*>::GetData(int column, int row)
{
    if (row < 0 || row >= GetRow() || column < 0 ||
        column >= int(m_Rows[size_t(row)].size())) {
        m_pNone = nullptr;
        return m_pNone;
    }
    return m_Rows[size_t(row)][size_t(column)];
}

// Two passes: the cell texts are laid out first, and the pointers taken only
// once the buffer will not move again.
void KTable<char*>::Parse(const char* bytes, size_t size)
{
    m_Text.clear();
    m_Rows.clear();
    m_nCols = 0;
    if (bytes == nullptr)
        size = 0;
    std::vector<std::vector<size_t>> starts;
    std::vector<size_t> row;
    size_t pos = 0;
    m_Text.reserve(size + 1);
    auto startCell = [&]() { row.push_back(m_Text.size()); };
    auto endCell = [&]() { m_Text.push_back('\0'); };
    while (pos < size) {
        startCell();
        bool endOfRow = false;
        bool cut = false;  // a NUL ended the cell's text
        while (pos < size) {
            const char c = bytes[pos++];
            if (c == '\t')
                break;
            if (c == '\n') {
                endOfRow = true;
                break;
            }
            if (c == '\r' && pos < size && bytes[pos] == '\n') {
                pos++;
                endOfRow = true;
                break;
            }
            if (c == '\0')
                cut = true;
            if (!cut)
                m_Text.push_back(c);
        }
        endCell();
        if (endOfRow || pos >= size) {
            starts.push_back(row);
            row.clear();
        }
    }
    for (const std::vector<size_t>& cells : starts) {
        std::vector<char*> out;
        out.reserve(cells.size());
        for (size_t at : cells)
            out.push_back(m_Text.data() + at);
        if (int(out.size()) > m_nCols)
            m_nCols = int(out.size());
        m_Rows.push_back(std::move(out));
    }
}

KExcelTable::KExcelTable(const char* name, CUnPackFile* pack)
{
    if (name == nullptr || name[0] == '\0')
        return;
    if (pack != nullptr) {
        int size = 0;
        BYTE* data = pack->UnPack(name, &size);
        if (data == nullptr)
            return;
        Parse(reinterpret_cast<const char*>(data), size_t(size));
        pack->ReleaseBuf(data);
        return;
    }
    KFile file;
    if (file.Open(name, 1) != 0)
        return;
    const DWORD size = file.GetSize();
    if (size == 0 || size == 0xFFFFFFFF)
        return;
    std::vector<char> data(size);
    if (file.Read(data.data(), size) != size)
        return;
    Parse(data.data(), data.size());
}

int KWordParser::Parse(KParserObject& out, const char* text)
{
    out = KParserObject();
    if (text == nullptr)
        return out.nType = KWORD_NONE;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    const char* end = p + std::strlen(p);
    while (end > p && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n'))
        end--;
    if (p == end)
        return out.nType = KWORD_NONE;
    // Sign, digits, then optionally a point and more digits; nothing else.
    const char* q = p;
    if (*q == '+' || *q == '-')
        q++;
    const char* digits = q;
    while (q < end && *q >= '0' && *q <= '9')
        q++;
    bool isNumber = q > digits;
    if (isNumber && q < end && *q == '.') {
        q++;
        while (q < end && *q >= '0' && *q <= '9')
            q++;
    }
    if (!isNumber || q != end)
        return out.nType = KWORD_TEXT;
    std::string word(p, end);
    errno = 0;
    const long value = std::strtol(word.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return out.nType = KWORD_TEXT;
    out.nNumber = value;
    out.dNumber = std::strtod(word.c_str(), nullptr);
    return out.nType = KWORD_NUMBER;
}
