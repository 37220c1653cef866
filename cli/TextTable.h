#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A plain text table with a header row, columns padded to the widest cell
// as a terminal shows it (CJK characters take two columns).
class TextTable
{
public:
    explicit TextTable(const QStringList &headers);

    // Control, format and separator characters in the cells are shown as
    // escapes (\u202E), and a backslash as two.
    void addRow(const QStringList &cells);
    // Every row ends with a line break; the last column is not padded.
    QString toString() const;

    // Columns a terminal uses for the text.
    static int displayWidth(const QString &text);

private:
    QList<QStringList> m_rows; // the header first
};
