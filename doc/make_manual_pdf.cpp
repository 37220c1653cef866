// Turns the user guide, written in Markdown with its screenshots beside it,
// into the PDF that the help menu opens:
//
//     vaultrane_manual_pdf GUIDE.md OUTPUT.pdf
//
// Run at build time on the offscreen platform; the fonts come from the
// build machine's fontconfig (fonts-wqy-microhei for the Chinese guide).

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <QVector>

#include <cstdio>

namespace {
constexpr int kResolutionDpi = 96;
constexpr int kFontPixels = 13;
constexpr qreal kMarginMillimetres = 18;
// Screenshots are shown at this share of their size, and never wider than
// the text.
constexpr qreal kImageScale = 0.75;
// Room under each paragraph and heading.
constexpr qreal kBlockSpacingPixels = 6;

void spaceBlocks(QTextDocument &document)
{
    QTextCursor cursor(&document);
    cursor.select(QTextCursor::Document);
    QTextBlockFormat spaced;
    spaced.setBottomMargin(kBlockSpacingPixels);
    cursor.mergeBlockFormat(spaced);
}

void fitImages(QTextDocument &document, qreal textWidth)
{
    struct Found {
        int position;
        int length;
        QTextImageFormat format;
    };
    QVector<Found> images; // changed once found: a change splits fragments
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                images.append({fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    }
    for (Found &found : images) {
        const QImage picture =
            document.resource(QTextDocument::ImageResource, QUrl(found.format.name())).value<QImage>();
        if (picture.isNull())
            continue;
        const qreal width = qMin(picture.width() * kImageScale, textWidth);
        found.format.setWidth(width);
        found.format.setHeight(picture.height() * width / picture.width());
        QTextCursor cursor(&document);
        cursor.setPosition(found.position);
        cursor.setPosition(found.position + found.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(found.format);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s GUIDE.md OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPixelSize(kFontPixels);
    document.setDefaultFont(font);
    // Images are named relative to the guide.
    const QUrl guideUrl = QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath());
    document.setBaseUrl(guideUrl);
    document.setMetaInformation(QTextDocument::DocumentUrl, guideUrl.toString());
    document.setMarkdown(QString::fromUtf8(file.readAll()));

    QPdfWriter pdf(output);
    pdf.setResolution(kResolutionDpi);
    pdf.setCreator(QStringLiteral("Vaultrane"));
    pdf.setTitle(document.toPlainText().section('\n', 0, 0));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres,
                                            kMarginMillimetres),
                                  QPageLayout::Millimeter));
    const QRectF paintable = pdf.pageLayout().paintRectPixels(kResolutionDpi);
    fitImages(document, paintable.width() - 2 * document.documentMargin());
    spaceBlocks(document);
    document.print(&pdf);
    if (!QFileInfo(output).isFile() || QFileInfo(output).size() == 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
