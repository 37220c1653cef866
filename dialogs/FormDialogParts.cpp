#include "FormDialogParts.h"

#include "MessageBox.h"
#include "TitleBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

QFont pixelFont(int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    return font;
}

namespace {

void setColour(QWidget *widget, QPalette::ColorRole role, const char *colour)
{
    QPalette pal = widget->palette();
    pal.setBrush(QPalette::All, role, QBrush(QColor(colour)));
    widget->setPalette(pal);
}

} // namespace

void setTextColour(QWidget *widget, const char *colour)
{
    setColour(widget, QPalette::WindowText, colour);
}

void setWhiteBackground(QWidget *widget)
{
    widget->setAutoFillBackground(true);
    setColour(widget, QPalette::Window, "#FFFFFF");
}

TitleBar *makeTitleBar(QWidget *dialog, const QString &title)
{
    auto *bar = new TitleBar(dialog);
    bar->setBackgroundColor("#EAEAEA");
    bar->m_pMenuBtn->hide();
    bar->m_pReturnBtn->hide();
    bar->m_pMinBtn->hide();
    bar->setTitle(title, 0, "");
    // The window system and accessibility tools know the window by this
    // name; the frameless window shows it only in its own title bar.
    dialog->setWindowTitle(title);
    return bar;
}

QLabel *makeLabel(const QString &text, const char *colour, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    setTextColour(label, colour);
    label->setFont(pixelFont(pixelSize));
    return label;
}

QLabel *makeHeadingLabel(const QString &text, QWidget *parent)
{
    QLabel *label = makeLabel(text, "#121217", 20, parent);
    label->setScaledContents(true);
    return label;
}

QLabel *makeRowLabel(const QString &text, QWidget *parent)
{
    QLabel *label = makeLabel(text, "#333333", 14, parent);
    label->setAlignment(Qt::AlignLeft);
    label->setObjectName("UnderLineLabel");
    // 80 pixels, or what a longer caption of another language needs.
    label->ensurePolished();
    label->setFixedWidth(std::max(80, label->sizeHint().width()));
    return label;
}

QLabel *makeHintLabel(QWidget *parent)
{
    QLabel *label = makeLabel(QString(), "#FF0000", 14, parent);
    label->setScaledContents(true);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    label->setSizePolicy(policy);
    reserveHintLines(label, 1);
    label->hide();
    return label;
}

void reserveHintLines(QLabel *hint, int lines)
{
    hint->setFixedHeight(lines * hint->fontMetrics().lineSpacing());
}

void setUpUnderLineEdit(QLineEdit *edit, int maxLength)
{
    edit->setFixedWidth(230);
    edit->setObjectName("UnderLineEdit");
    edit->setMaxLength(maxLength);
}

void setUpPasswordEdit(QLineEdit *edit, QObject *filter)
{
    setUpUnderLineEdit(edit, 32);
    edit->setEchoMode(QLineEdit::Password);
    edit->installEventFilter(filter);
}

QPushButton *makeCommonButton(const QString &text, QWidget *parent, int width)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedSize(width, 34);
    button->setObjectName("BoxCommonButton");
    button->setFont(pixelFont(14));
    return button;
}

QHBoxLayout *makeFormRow(std::initializer_list<QWidget *> widgets, Qt::Alignment alignment, int spacing)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(108, 0, 108, 0);
    for (QWidget *widget : widgets)
        row->addWidget(widget, 1, alignment);
    if (spacing >= 0)
        row->setSpacing(spacing);
    return row;
}

QVBoxLayout *makeFormLayout(TitleBar *titleBar)
{
    auto *column = new QVBoxLayout;
    column->setSpacing(20);
    column->addWidget(titleBar, 0);
    column->setContentsMargins(0, 0, 0, 50);
    column->setSizeConstraint(QLayout::SetMinimumSize);
    return column;
}

void addHintAndButtons(QVBoxLayout *column, QLabel *hint, QPushButton *ok, QPushButton *cancel)
{
    auto *hintRow = new QHBoxLayout;
    hintRow->setContentsMargins(kHintMargin, 0, kHintMargin, 0);
    hintRow->addWidget(hint);
    column->addLayout(hintRow);
    column->addSpacing(20);
    column->addLayout(makeFormRow({ok, cancel}, Qt::AlignHCenter, 10));
}

void hideHintOnPress(QLabel *hint, const QObject *watched, const QEvent *event,
                     std::initializer_list<const QObject *> edits)
{
    if (event->type() != QEvent::MouseButtonPress)
        return;
    for (const QObject *edit : edits)
        if (watched == edit)
            hint->hide();
}

void showMessageOver(QWidget *dialog, int type, const QString &text)
{
    auto *box = new MessageBox(dialog);
    centreOn(box, dialog);
    box->execMessage(type, text);
}

void showWarningOver(QWidget *dialog, const QString &text)
{
    showMessageOver(dialog, MessageBox::Warning, text);
}

QPushButton *makeLinkButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(pixelFont(14));
    button->setStyleSheet(QStringLiteral("QPushButton { color: #2F6FDE; border: none; padding: 0; background: transparent; }"
                                         "QPushButton:hover { text-decoration: underline; }"
                                         "QPushButton:focus { text-decoration: underline; }"));
    return button;
}
