#pragma once

class QLineEdit;

// Zeroes the text buffer of a password edit and clears the edit and its undo
// history. Best effort: Qt may hold short-lived copies of its own. Passwords
// taken out of an edit travel as SecretString.
void wipeLineEdit(QLineEdit *edit);
