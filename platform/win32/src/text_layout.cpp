// DrawTextA's layout: characters with their prefixes resolved, lines broken
// at line breaks and between words, tabs expanded, lines aligned.
#include "text_layout.h"

namespace win32text {

namespace {

enum class CellKind { Char, Space, Tab, Break };

// One character of the text after prefix handling.
struct Cell {
    CellKind kind = CellKind::Char;
    UINT code = 0;
    std::string bytes;
    bool underline = false;
    bool wide = false;  // a double-byte character: a word of its own for breaking
};

// The format with the tab size's bits taken out: with DT_TABSTOP, bits 8 to
// 15 are the tab size and none of the flags that share them applies.
UINT FlagsOf(UINT format)
{
    return (format & DT_TABSTOP) ? (format & ~0xFF00u) : format;
}

int TabChars(UINT format)
{
    const int n = (format & DT_TABSTOP) ? int((format >> 8) & 0xFF) : 0;
    return n == 0 ? 8 : n;
}

// Reads one character (one or two bytes) at text[i].
Cell ReadChar(const unsigned char* text, size_t count, size_t& i)
{
    Cell cell;
    const unsigned char lead = text[i];
    if (i + 1 < count && IsDoubleByte(lead, text[i + 1])) {
        cell.code = UINT(lead) << 8 | text[i + 1];
        cell.bytes.assign(reinterpret_cast<const char*>(text + i), 2);
        cell.wide = true;
        i += 2;
        return cell;
    }
    cell.code = lead;
    cell.bytes.assign(1, char(lead));
    if (lead == ' ')
        cell.kind = CellKind::Space;
    i += 1;
    return cell;
}

// The text as cells: line breaks (CR LF, CR or LF) unless single-line, tabs
// when they are expanded, "&&" as one '&', "&x" as an underlined x, and a
// '&' with nothing after it dropped.
std::vector<Cell> Decode(const unsigned char* text, size_t count, UINT flags)
{
    std::vector<Cell> cells;
    const bool prefixes = !(flags & DT_NOPREFIX);
    const bool single = (flags & DT_SINGLELINE) != 0;
    size_t i = 0;
    while (i < count) {
        const unsigned char c = text[i];
        if (!single && (c == '\r' || c == '\n')) {
            i += (c == '\r' && i + 1 < count && text[i + 1] == '\n') ? 2 : 1;
            Cell brk;
            brk.kind = CellKind::Break;
            cells.push_back(brk);
            continue;
        }
        if ((flags & DT_EXPANDTABS) && c == '\t') {
            Cell tab;
            tab.kind = CellKind::Tab;
            tab.code = '\t';
            cells.push_back(tab);
            ++i;
            continue;
        }
        if (prefixes && c == '&') {
            ++i;
            if (i >= count || (!single && (text[i] == '\r' || text[i] == '\n')))
                continue;  // nothing to underline
            if (text[i] == '&') {
                cells.push_back(ReadChar(text, count, i));
                continue;
            }
            Cell cell = ReadChar(text, count, i);
            cell.underline = true;
            cells.push_back(cell);
            continue;
        }
        cells.push_back(ReadChar(text, count, i));
    }
    return cells;
}

// Lays one line's cells [first, last) out from x = 0.
TextLine BuildLine(const std::vector<Cell>& cells, size_t first, size_t last, int tabWidth,
                   const AdvanceFn& advance)
{
    TextLine line;
    int pen = 0;
    TextRun run;
    for (size_t i = first; i < last; ++i) {
        const Cell& cell = cells[i];
        if (cell.kind == CellKind::Tab) {
            if (!run.text.empty())
                line.runs.push_back(run);
            pen = tabWidth > 0 ? (pen / tabWidth + 1) * tabWidth : pen;
            run = TextRun();
            run.x = pen;
            continue;
        }
        if (run.text.empty())
            run.x = pen;
        const int w = advance(cell.code);
        if (cell.underline)
            line.underlines.push_back(TextUnderline{pen, w});
        run.text += cell.bytes;
        pen += w;
    }
    if (!run.text.empty())
        line.runs.push_back(run);
    line.width = pen;
    return line;
}

// The pen position after cells [first, last) laid out from x = 0.
int PenAfter(const std::vector<Cell>& cells, size_t first, size_t last, int tabWidth,
             const AdvanceFn& advance)
{
    int pen = 0;
    for (size_t i = first; i < last; ++i) {
        if (cells[i].kind == CellKind::Tab)
            pen = tabWidth > 0 ? (pen / tabWidth + 1) * tabWidth : pen;
        else
            pen += advance(cells[i].code);
    }
    return pen;
}

bool IsGap(const Cell& cell)
{
    return cell.kind == CellKind::Space || cell.kind == CellKind::Tab;
}

// The end of the word that starts at `i`: a double-byte character stands
// alone, so text without spaces still breaks between such characters.
size_t WordEnd(const std::vector<Cell>& cells, size_t i, size_t last)
{
    if (cells[i].wide)
        return i + 1;
    while (i < last && !IsGap(cells[i]) && !cells[i].wide)
        ++i;
    return i;
}

// Breaks one paragraph [first, last) into lines no wider than `width`
// where words allow: the gap at a break belongs to neither line; a word
// wider than a line is cut between characters only for an edit control.
void WrapParagraph(const std::vector<Cell>& cells, size_t first, size_t last, int width,
                   bool cutWords, int tabWidth, const AdvanceFn& advance,
                   std::vector<std::pair<size_t, size_t>>& lines)
{
    size_t lineStart = first;
    size_t lineEnd = first;  // the end of the line's last word so far
    bool hasWord = false;    // the line holds a word: a word that does not fit wraps
    size_t i = first;
    while (i < last) {
        if (IsGap(cells[i])) {
            ++i;
            continue;
        }
        const size_t wordEnd = WordEnd(cells, i, last);
        if (PenAfter(cells, lineStart, wordEnd, tabWidth, advance) <= width) {
            lineEnd = wordEnd;
            hasWord = true;
            i = wordEnd;
            continue;
        }
        if (hasWord) {
            lines.emplace_back(lineStart, lineEnd);
            lineStart = i;
            lineEnd = i;
            hasWord = false;
            continue;  // the word tries again on a line of its own
        }
        if (!cutWords) {
            lineEnd = wordEnd;
            hasWord = true;
            i = wordEnd;
            continue;
        }
        // Cut the word: as many characters as fit, at least one a line.
        size_t cut = i + 1;
        while (cut < wordEnd && PenAfter(cells, lineStart, cut + 1, tabWidth, advance) <= width)
            ++cut;
        if (cut == wordEnd) {  // a one-character word: it stays, too wide
            lineEnd = wordEnd;
            hasWord = true;
            i = wordEnd;
            continue;
        }
        lines.emplace_back(lineStart, cut);
        lineStart = cut;
        lineEnd = cut;
        i = cut;
    }
    // The paragraph's last line keeps its trailing gap.
    lines.emplace_back(lineStart, last);
}

}  // namespace

bool IsDoubleByte(unsigned char lead, unsigned char next)
{
    return IsDBCSLeadByte(lead) && next >= 0x40 && next <= 0xFE && next != 0x7F;
}

TextLayout LayoutText(const char* text, size_t count, UINT format, int rectWidth, int rectHeight,
                      const TextFontSize& font, const AdvanceFn& advance)
{
    const UINT flags = FlagsOf(format);
    const int tabWidth = TabChars(format) * font.averageCharWidth;
    const std::vector<Cell> cells =
        Decode(reinterpret_cast<const unsigned char*>(text), text ? count : 0, flags);

    // Paragraphs end at line breaks; each one, even empty, is at least a line.
    std::vector<std::pair<size_t, size_t>> spans;
    const bool wrap = (flags & DT_WORDBREAK) && !(flags & DT_SINGLELINE);
    size_t start = 0;
    for (size_t i = 0; i <= cells.size(); ++i) {
        if (i < cells.size() && cells[i].kind != CellKind::Break)
            continue;
        if (wrap)
            WrapParagraph(cells, start, i, rectWidth, (flags & DT_EDITCONTROL) != 0, tabWidth,
                          advance, spans);
        else
            spans.emplace_back(start, i);
        start = i + 1;
    }

    TextLayout layout;
    int y = 0;
    if ((flags & DT_SINGLELINE) && (flags & DT_VCENTER))
        y = (rectHeight - font.lineHeight) / 2;
    else if ((flags & DT_SINGLELINE) && (flags & DT_BOTTOM))
        y = rectHeight - font.lineHeight;
    for (const auto& span : spans) {
        TextLine line = BuildLine(cells, span.first, span.second, tabWidth, advance);
        if (flags & DT_CENTER)
            line.x = (rectWidth - line.width) / 2;
        else if (flags & DT_RIGHT)
            line.x = rectWidth - line.width;
        line.y = y;
        y += font.lineHeight;
        if (line.width > layout.width)
            layout.width = line.width;
        layout.lines.push_back(line);
    }
    layout.height = int(layout.lines.size()) * font.lineHeight;
    layout.bottom = y;
    return layout;
}

}  // namespace win32text
