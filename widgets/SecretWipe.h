#pragma once

class QLineEdit;
class QString;

// Overwrites the characters of `s` with zeros in place (also in every
// implicitly shared copy of the same buffer), then empties it.
void wipeString(QString &s);

// Zeroes the text buffer of a password edit and clears the edit and its undo
// history. Best effort: Qt may hold short-lived copies of its own.
void wipeLineEdit(QLineEdit *edit);
