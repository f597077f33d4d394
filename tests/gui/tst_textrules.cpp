// The front end's small text rules: output and log names, the run summary's
// value rule and the fixed-column check.

#include "textrules.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using haldorin::ColumnCheck;

class TextRulesTest : public QObject {
    Q_OBJECT

private slots:
    void outputPath_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("base name ends at the first dot")
            << "D:/data/herd.2017.txt" << "_check_out" << ".txt" << "D:/data/herd_check_out.txt" << "D:/data";
        QTest::newRow("dropped file") << "/x/ped.dat" << "_check_out" << ".txt" << "/x/ped_check_out.txt" << "/x";
        QTest::newRow("log of a result") << "/x/ped_check_out.txt" << "" << ".log" << "/x/ped_check_out.log" << "/x";
        QTest::newRow("folder already ends in a slash") << "/ped.dat" << "_check_out" << ".txt"
                                                        << "/ped_check_out.txt" << "/";
        QTest::newRow("file without folder") << "ped.dat" << "" << ".log" << "./ped.log" << ".";
        QTest::newRow("no extension") << "/d/herd" << "_stack" << ".err" << "/d/herd_stack.err" << "/d";
        QTest::newRow("hidden file has an empty base") << "/d/.ped" << "" << ".log" << "/d/.log" << "/d";
    }
    void outputPath()
    {
        QFETCH(QString, file);
        QFETCH(QString, suffix);
        QFETCH(QString, extension);
        const haldorin::BuiltPath built = haldorin::buildOutputPath(file, suffix, extension);
        QTEST(built.path, "path");
        QTEST(built.folder, "folder");
    }

    void summaryText()
    {
        QCOMPARE(haldorin::summaryText(QString()), QStringLiteral("none"));
        QCOMPARE(haldorin::summaryText(QStringLiteral("no")), QStringLiteral("false"));
        QCOMPARE(haldorin::summaryText(QStringLiteral("yes")), QStringLiteral("true"));
        QCOMPARE(haldorin::summaryText(QStringLiteral("Yes")), QStringLiteral("Yes"));
        QCOMPARE(haldorin::summaryText(QStringLiteral(" ")), QStringLiteral(" "));
        QCOMPARE(haldorin::summaryLine(QStringLiteral("Free-format: "), QStringLiteral("true")),
                 QStringLiteral("Free-format:  true\n"));
        // Values are not read as placeholders.
        QCOMPARE(haldorin::summaryLine(QStringLiteral("Missing value: "), QStringLiteral("%1")),
                 QStringLiteral("Missing value:  %1\n"));
        QCOMPARE(haldorin::summaryRule(), QString(51, QLatin1Char('=')));
    }

    void fixedColumns_data()
    {
        QTest::addColumn<QStringList>("entries");  // three starts, then three lengths
        QTest::addColumn<int>("result");
        const int ok = int(ColumnCheck::Ok), start = int(ColumnCheck::BadStart),
                  length = int(ColumnCheck::BadLength), layout = int(ColumnCheck::BadLayout);
        QTest::newRow("adjacent columns pass") << QStringList{"1", "11", "21", "10", "10", "10"} << ok;
        QTest::newRow("overlap") << QStringList{"1", "10", "21", "10", "10", "10"} << layout;
        QTest::newRow("empty length") << QStringList{"1", "11", "21", "10", "", "10"} << length;
        QTest::newRow("empty start") << QStringList{"", "11", "21", "10", "10", "10"} << start;
        QTest::newRow("start before length is checked") << QStringList{"x", "11", "21", "", "", ""} << start;
        QTest::newRow("zero length") << QStringList{"1", "11", "21", "10", "0", "10"} << layout;
        QTest::newRow("zero start") << QStringList{"0", "11", "21", "10", "10", "10"} << layout;
        QTest::newRow("dam before sire") << QStringList{"1", "21", "11", "10", "10", "10"} << layout;
        QTest::newRow("dam overlaps sire") << QStringList{"1", "11", "20", "10", "10", "10"} << layout;
        QTest::newRow("dam may run on") << QStringList{"1", "11", "21", "10", "10", "500"} << ok;
        QTest::newRow("wide columns past 127") << QStringList{"1", "101", "201", "100", "100", "100"} << ok;
        QTest::newRow("257 is not taken as 1") << QStringList{"257", "11", "21", "10", "10", "10"} << layout;
        QTest::newRow("negative length") << QStringList{"1", "11", "21", "-1", "10", "10"} << layout;
        QTest::newRow("not decimal") << QStringList{"0x1", "11", "21", "10", "10", "10"} << start;
        QTest::newRow("huge sum does not wrap")
            << QStringList{"2147483000", "11", "21", "2147483000", "10", "10"} << layout;
    }
    void fixedColumns()
    {
        QFETCH(QStringList, entries);
        const QString starts[3] = {entries[0], entries[1], entries[2]};
        const QString lengths[3] = {entries[3], entries[4], entries[5]};
        QTEST(int(haldorin::checkFixedColumns(starts, lengths)), "result");
    }

    void sameFile()
    {
        QTemporaryDir dir;
        const QString ped = dir.filePath(QStringLiteral("ped.txt"));
        QFile file(ped);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(haldorin::sameFile(ped, ped));
        QVERIFY(haldorin::sameFile(ped, dir.path() + QStringLiteral("/sub/../ped.txt")));
        QVERIFY(QFile::link(ped, dir.filePath(QStringLiteral("link.txt"))));
        QVERIFY(haldorin::sameFile(dir.filePath(QStringLiteral("link.txt")), ped));
        QVERIFY(!haldorin::sameFile(ped, dir.filePath(QStringLiteral("out.txt"))));
        QVERIFY(!haldorin::sameFile(ped, QString()));
        QVERIFY(!haldorin::sameFile(QString(), QString()));
    }

    void moduleFile()
    {
#ifdef Q_OS_WIN
        QCOMPARE(haldorin::moduleFileName(QStringLiteral("Quorel")), QStringLiteral("Quorel.exe"));
#else
        QCOMPARE(haldorin::moduleFileName(QStringLiteral("Quorel")), QStringLiteral("Quorel"));
#endif
    }
};

QTEST_APPLESS_MAIN(TextRulesTest)
#include "tst_textrules.moc"
