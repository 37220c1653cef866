#include "TextTable.h"

#include <QVector>

namespace {

const int kColumnGap = 2;

// Wide and full-width ranges of East Asian text (two terminal columns).
bool isWide(uint code)
{
    return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0x303E)
        || (code >= 0x3041 && code <= 0x33FF) || (code >= 0x3400 && code <= 0x4DBF)
        || (code >= 0x4E00 && code <= 0x9FFF) || (code >= 0xA000 && code <= 0xA4CF)
        || (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF)
        || (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60)
        || (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x1F300 && code <= 0x1F64F)
        || (code >= 0x1F900 && code <= 0x1F9FF) || (code >= 0x20000 && code <= 0x3FFFD);
}

// Characters that would move, hide or reorder what a terminal shows:
// controls, bidirectional and zero-width format characters, line and
// paragraph separators, lone surrogates.
bool isHidden(uint code)
{
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// The cell as it can be shown: hidden characters as \uXXXX (\UXXXXXXXX
// beyond the first plane) and the backslash doubled, so that no name
// looks like another.
QString visible(const QString &cell)
{
    bool plain = true;
    for (const QChar c : cell)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\');
    if (plain)
        return cell;
    QString text;
    const QVector<uint> codes = cell.toUcs4();
    for (uint code : codes) {
        if (code == '\\')
            text += QLatin1String("\\\\");
        else if (isHidden(code) && code > 0xFFFF)
            text += QStringLiteral("\\U%1").arg(code, 8, 16, QLatin1Char('0'));
        else if (isHidden(code))
            text += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
        else
            text += QString::fromUcs4(&code, 1);
    }
    return text;
}

} // namespace

TextTable::TextTable(const QStringList &headers)
{
    m_rows << headers;
}

void TextTable::addRow(const QStringList &cells)
{
    QStringList shown;
    shown.reserve(cells.size());
    for (const QString &cell : cells)
        shown << visible(cell);
    m_rows << shown;
}

int TextTable::displayWidth(const QString &text)
{
    // Most names and paths are plain ASCII: one column per character.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii)
        return text.size();
    int width = 0;
    const QVector<uint> codes = text.toUcs4();
    for (uint code : codes) {
        const QChar::Category category = QChar::category(code);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
            || category == QChar::Other_Format || code == 0x200B)
            continue;
        width += isWide(code) ? 2 : 1;
    }
    return width;
}

QString TextTable::toString() const
{
    int columns = 0;
    for (const QStringList &row : m_rows)
        columns = qMax(columns, int(row.size()));
    QVector<int> widths(columns, 0);
    QVector<int> cellWidths; // row by row, cell by cell
    int length = 0;
    for (const QStringList &row : m_rows) {
        for (int c = 0; c < row.size(); ++c) {
            const int width = displayWidth(row.at(c));
            cellWidths.append(width);
            widths[c] = qMax(widths[c], width);
            length += row.at(c).size();
        }
    }

    QString text;
    text.reserve(length + m_rows.size() * (columns * kColumnGap + 1) + columns * 8);
    int cell = 0;
    for (const QStringList &row : m_rows) {
        for (int c = 0; c < row.size(); ++c, ++cell) {
            text += row.at(c);
            if (c + 1 < row.size()) {
                const int padding = widths[c] - cellWidths[cell] + kColumnGap;
                text.resize(text.size() + padding, QLatin1Char(' '));
            }
        }
        text += QLatin1Char('\n');
    }
    return text;
}
