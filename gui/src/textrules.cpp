#include "textrules.h"

#include <QDir>
#include <QFileInfo>

namespace haldorin {

BuiltPath buildOutputPath(const QString& file, const QString& suffix, const QString& extension)
{
    const QFileInfo info(file);
    const QString folder = info.path();
    const QString base = info.fileName().section(QLatin1Char('.'), 0, 0);
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += base + suffix + extension;
    return {path, folder};
}

QString summaryText(const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("none");
    if (value == QLatin1String("no"))
        return QStringLiteral("false");
    if (value == QLatin1String("yes"))
        return QStringLiteral("true");
    return value;
}

QString summaryLine(const QString& label, const QString& value)
{
    return QStringLiteral("%1 %2\n").arg(label, value);
}

QString summaryRule()
{
    return QString(51, QLatin1Char('='));
}

ColumnCheck checkFixedColumns(const QString (&starts)[3], const QString (&lengths)[3])
{
    int start[3] = {};
    int length[3] = {};
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i)
        start[i] = starts[i].toInt(&ok, 10);
    if (!ok)
        return ColumnCheck::BadStart;
    for (int i = 0; i < 3 && ok; ++i)
        length[i] = lengths[i].toInt(&ok, 10);
    if (!ok)
        return ColumnCheck::BadLength;
    // Whole integers are compared, so columns past 127 are accepted and a
    // value such as 257 is not mistaken for 1. Sums are taken in 64 bits.
    for (int i = 0; i < 3; ++i)
        if (start[i] < 1 || length[i] < 1)
            return ColumnCheck::BadLayout;
    if (qint64(start[0]) + length[0] > start[1] || qint64(start[1]) + length[1] > start[2])
        return ColumnCheck::BadLayout;
    return ColumnCheck::Ok;
}

bool sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo ia(a);
    const QFileInfo ib(b);
    if (ia.exists() && ib.exists())
        return ia.canonicalFilePath() == ib.canonicalFilePath();
    return QDir::cleanPath(ia.absoluteFilePath()) == QDir::cleanPath(ib.absoluteFilePath());
}

QString moduleFileName(const QString& module)
{
#ifdef Q_OS_WIN
    return module + QStringLiteral(".exe");
#else
    return module;
#endif
}

QString yesNo(int state)
{
    return state != 0 ? QStringLiteral("yes") : QStringLiteral("no");
}

} // namespace haldorin
