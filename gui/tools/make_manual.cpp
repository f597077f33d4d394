// Renders the toolkit manual from its HTML source to PDF, without a display:
//   HALDORIN_make_manual <source.html> <output.pdf>
// The text is set in a Korean font when one is installed (NanumGothic from
// Debian's fonts-nanum, or Noto Sans CJK KR); otherwise Qt falls back to
// whatever font covers the characters.

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: %s <source.html> <output.pdf>\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Error: can't read %s\n", argv[1]);
        return 1;
    }
    const QString html = QString::fromUtf8(source.readAll());

    QString family;
    const QStringList installed = QFontDatabase().families();
    for (const QString& candidate : {QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR"),
                                     QStringLiteral("Noto Sans KR"), QStringLiteral("UnDotum")}) {
        if (installed.contains(candidate)) {
            family = candidate;
            break;
        }
    }
    if (family.isEmpty())
        std::fprintf(stderr, "Note: no Korean font installed (Debian: fonts-nanum); using Qt's fallback.\n");

    // Written to a temporary file first: a failed run leaves no half manual.
    const QString target = QString::fromLocal8Bit(argv[2]);
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "Error: can't write %s\n", argv[2]);
        return 1;
    }
    {
        QPdfWriter writer(&out);
        writer.setTitle(QStringLiteral("HALDOR Pedigree Toolkit manual"));
        writer.setCreator(QStringLiteral("HALDORIN_make_manual"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        writer.setResolution(300);

        QTextDocument document;
        QFont font(family.isEmpty() ? QStringLiteral("Sans Serif") : family);
        font.setPointSize(10);
        document.setDefaultFont(font);
        document.setDefaultStyleSheet(QStringLiteral("h1 { font-size: 22pt; } h2 { color: #00557f; } "
                                                     "pre { font-family: monospace; } th { background: #dde8ee; }"));
        document.setHtml(html);
        // QTextDocument::print lays out the pages for the writer.
        document.print(&writer);
    }
    if (!out.commit()) {
        std::fprintf(stderr, "Error: can't write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", qPrintable(QFileInfo(target).absoluteFilePath()));
    return 0;
}
