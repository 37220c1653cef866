#include "RecoveryKeyDialog.h"

#include "BoxRecovery.h"
#include "ClipboardWiper.h"
#include "FormDialogParts.h"
#include "MessageBox.h"
#include "TitleBar.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes all of `bytes` to a new or emptied file only its owner can read.
int writePrivateFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    // An existing file keeps its mode through O_CREAT: close it first.
    int error = ::fchmod(fd, 0600) < 0 ? errno : 0;
    qint64 done = 0;
    while (error == 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        else
            done += n;
    }
    if (error == 0 && ::fsync(fd) < 0)
        error = errno;
    if (::close(fd) < 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

RecoveryKeyDialog::RecoveryKeyDialog(const QString &boxName, SecretString key, QWidget *parent)
    : BoxFormDialog(parent), m_boxName(boxName), m_key(std::move(key))
{
    initUI();
}

void RecoveryKeyDialog::initUI()
{
    setWhiteBackground(this);
    m_pTitleBar = makeTitleBar(this, tr("恢复密钥"));
    QLabel *heading = makeHeadingLabel(tr("保护箱 “%1” 的恢复密钥").arg(m_boxName), this);

    m_pKeyLabel = new QLabel(BoxRecovery::groupedKey(m_key.text()), this);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(20);
    mono.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    m_pKeyLabel->setFont(mono);
    // The style sheet's label font would win over the one set here and
    // cut the lines short: this label keeps its own.
    m_pKeyLabel->setStyleSheet(QStringLiteral("QLabel { font-family: \"%1\"; font-size: 20px; }").arg(mono.family()));
    m_pKeyLabel->setMinimumHeight(QFontMetrics(mono).lineSpacing() * 4 + 8);
    m_pKeyLabel->setAlignment(Qt::AlignCenter);
    m_pKeyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pKeyLabel->setAccessibleName(tr("恢复密钥"));
    setTextColour(m_pKeyLabel, "#1F1F1F");

    m_pWarningLabel = makeLabel(BoxRecovery::keyWarning(), "#D9363E", 14, this);
    m_pWarningLabel->setWordWrap(true);
    m_pWarningLabel->setAlignment(Qt::AlignLeft);

    m_pHintLabel = makeHintLabel(this);

    m_pCopyBtn = makeCommonButton(tr("复制"), this, 110);
    m_pSaveBtn = makeCommonButton(tr("保存到文件…"), this, 110);
    m_pDoneBtn = makeCommonButton(tr("完成"), this, 110);
    m_pDoneBtn->setDefault(true);

    QVBoxLayout *column = makeFormLayout(m_pTitleBar);
    column->addLayout(makeFormRow({heading}));
    auto *keyRow = new QHBoxLayout;
    keyRow->setContentsMargins(40, 0, 40, 0);
    keyRow->addWidget(m_pKeyLabel);
    column->addLayout(keyRow);
    auto *warningRow = new QHBoxLayout;
    warningRow->setContentsMargins(kHintMargin, 0, kHintMargin, 0);
    warningRow->addWidget(m_pWarningLabel);
    column->addLayout(warningRow);
    column->addWidget(m_pHintLabel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pCopyBtn);
    buttons->addSpacing(16);
    buttons->addWidget(m_pSaveBtn);
    buttons->addSpacing(16);
    buttons->addWidget(m_pDoneBtn);
    buttons->addStretch(1);
    column->addLayout(buttons);
    setLayout(column);
    // Every line of the key shows, whatever the font: the height the
    // column needs, fixed.
    setFixedWidth(540);
    setFixedHeight(column->minimumSize().height());

    connect(m_pTitleBar->m_pCloseBtn, &QPushButton::clicked, this, &RecoveryKeyDialog::close);
    connect(m_pDoneBtn, &QPushButton::clicked, this, &RecoveryKeyDialog::accept);
    connect(m_pCopyBtn, &QPushButton::clicked, this, &RecoveryKeyDialog::copyKey);
    connect(m_pSaveBtn, &QPushButton::clicked, this, &RecoveryKeyDialog::chooseFileAndSave);
    m_pDoneBtn->setFocus(Qt::OtherFocusReason);
}

void RecoveryKeyDialog::copyKey()
{
    QString text = BoxRecovery::groupedKey(m_key.text());
    ClipboardWiper::copy(text);
    SecretString::wipe(text);
    showHint(tr("已复制；一分钟后从剪贴板清除。"), false);
}

void RecoveryKeyDialog::chooseFileAndSave()
{
    const QString suggested = QDir::home().filePath(tr("%1-恢复密钥.txt").arg(m_boxName));
    const QString path = QFileDialog::getSaveFileName(this, tr("保存恢复密钥"), suggested);
    if (!path.isEmpty())
        saveTo(path);
}

bool RecoveryKeyDialog::saveTo(const QString &path)
{
    QString text = tr("保护箱 “%1” 的恢复密钥").arg(m_boxName) + QLatin1String("\n\n")
        + BoxRecovery::groupedKey(m_key.text()) + QLatin1String("\n\n") + BoxRecovery::keyWarning()
        + QLatin1Char('\n');
    QByteArray bytes = text.toUtf8();
    const int error = writePrivateFile(path, bytes);
    SecretString::wipe(text);
    SecretString::wipe(bytes);
    if (error != 0) {
        showHint(tr("无法保存到 “%1”：%2").arg(path, QString::fromLocal8Bit(std::strerror(error))), true);
        return false;
    }
    showHint(tr("已保存到 “%1”，只有你能读取。").arg(path), false);
    return true;
}

void RecoveryKeyDialog::showHint(const QString &text, bool failure)
{
    setTextColour(m_pHintLabel, failure ? "#D9363E" : "#2A8A3E");
    m_pHintLabel->setText(text);
    m_pHintLabel->show();
}

void RecoveryKeyDialog::wipeSecrets()
{
    m_key.clear();
    m_pKeyLabel->clear();
}

void RecoveryKeyDialog::showOnce(QWidget *parent, const QString &boxName, SecretString key)
{
    if (key.isEmpty())
        return;
    auto *dialog = new RecoveryKeyDialog(boxName, std::move(key), parent);
    dialog->adjustSize();
    if (parent)
        centreOn(dialog, parent);
    dialog->exec();
}
