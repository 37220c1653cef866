#pragma once

// The pieces the box form dialogs are built from: a white frameless window,
// a title bar with only the close button, a 20-px heading, caption/edit rows
// indented by 108 px, a hidden red hint line and the 确认/取消 buttons.

#include <QFont>
#include <QString>

#include <initializer_list>

class QEvent;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QVBoxLayout;
class QWidget;
class TitleBar;

// A default font of the given pixel size.
QFont pixelFont(int pixelSize);

// Sets the text colour of `widget` for every colour group.
void setTextColour(QWidget *widget, const char *colour);

// Fills the background of `widget` with white.
void setWhiteBackground(QWidget *widget);

// The grey title bar of `dialog` showing `title`, with only the close button.
TitleBar *makeTitleBar(QWidget *dialog, const QString &title);

QLabel *makeLabel(const QString &text, const char *colour, int pixelSize, QWidget *parent);

// The dark 20-px heading under the title bar.
QLabel *makeHeadingLabel(const QString &text, QWidget *parent);

// The 80-px caption in front of an underlined edit.
QLabel *makeRowLabel(const QString &text, QWidget *parent);

// The red hint line, hidden until there is something to say. Long hints wrap
// within the dialog's width, and the line keeps its place while hidden, so
// that the dialog never changes its size when a hint comes or goes.
QLabel *makeHintLabel(QWidget *parent);

// Makes room for a hint of up to `lines` lines (one at first).
void reserveHintLines(QLabel *hint, int lines);

// The hint line's margins on both sides: wider than the form rows, so that
// the longest hint wraps into two lines at most.
const int kHintMargin = 40;

// Gives `edit` the 230-px underlined look and a length limit (32767 is the
// edit's own default).
void setUpUnderLineEdit(QLineEdit *edit, int maxLength = 32767);

// An underlined edit that hides what is typed (up to 32 characters) and
// reports its events to `filter`.
void setUpPasswordEdit(QLineEdit *edit, QObject *filter);

// A flat button that looks like a link, for actions beside a form.
QPushButton *makeLinkButton(const QString &text, QWidget *parent);

// A "BoxCommonButton" push button, 34 px high.
QPushButton *makeCommonButton(const QString &text, QWidget *parent, int width = 140);

// A row indented by 108 px on both sides holding `widgets`, each with
// stretch 1 and the given alignment; spacing -1 keeps the default.
QHBoxLayout *makeFormRow(std::initializer_list<QWidget *> widgets = {},
                         Qt::Alignment alignment = Qt::AlignLeft, int spacing = -1);

// The dialog's column: `titleBar` on top, rows 20 px apart, a 50-px bottom
// margin, and never smaller than what the rows need.
QVBoxLayout *makeFormLayout(TitleBar *titleBar);

// Ends the column with the hint line, a 20-px gap and the centred button row.
void addHintAndButtons(QVBoxLayout *column, QLabel *hint, QPushButton *ok, QPushButton *cancel);

// Hides `hint` when `event` is a mouse press into one of `edits`; typing
// leaves it shown.
void hideHintOnPress(QLabel *hint, const QObject *watched, const QEvent *event,
                     std::initializer_list<const QObject *> edits);

// Shows a message box of the given type centred on `dialog` and waits for it.
void showMessageOver(QWidget *dialog, int type, const QString &text);
void showWarningOver(QWidget *dialog, const QString &text);
