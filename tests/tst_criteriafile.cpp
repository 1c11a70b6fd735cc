// The criteria file format on its own: escapes of what a key may hold, the limits of a file
// and of a line, and how messages show a value.
#include "criteriafile.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_CriteriaFile : public QObject
{
    Q_OBJECT

private slots:
    // Whatever a key holds, the written file has one line per criterion and reads back the
    // same key.
    void keysRoundTrip_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("newline") << QStringLiteral("F\nfilial=2");
        QTest::newRow("carriage return") << QStringLiteral("A\r\nB");
        QTest::newRow("tab") << QStringLiteral("\tA\tB\t");
        QTest::newRow("leading blank") << QStringLiteral(" F7");
        QTest::newRow("trailing blanks") << QStringLiteral("F8  ");
        QTest::newRow("only blanks") << QStringLiteral("   ");
        QTest::newRow("NUL") << QString(QStringLiteral("A") + QChar(0) + QStringLiteral("B"));
        QTest::newRow("backslash") << QStringLiteral("C:\\dir\\n");
        QTest::newRow("escape look-alike") << QStringLiteral("\\s\\x41\\u00e9");
        QTest::newRow("no-break space at the ends") << QStringLiteral("\u00a0A\u00a0");
        QTest::newRow("control characters") << QStringLiteral("\x01\x1f\x7f");
        QTest::newRow("separators, quotes, comment mark") << QStringLiteral("#a=b;c,\"d\" 'e'");
        QTest::newRow("accents and emoji") << QStringLiteral("Açaí 🎉");
    }
    void keysRoundTrip()
    {
        QFETCH(QString, key);
        CriteriaFile file;
        file.comments << QStringLiteral("Critérios\ncom quebra");
        file.lines << CriteriaLine{0, QStringLiteral("fornecedor.chave"), key}
                   << CriteriaLine{0, QStringLiteral("filial"), QStringLiteral("1")};
        const QByteArray text = file.toUtf8();
        // Two comment lines at most (the comment stays one line), a blank one, two criteria.
        QCOMPARE(text.count('\n'), 4);
        const CriteriaFile back = CriteriaFile::parse(text);
        QCOMPARE(back.lines.size(), 2);
        QCOMPARE(back.lines.at(0).value, key);
        QCOMPARE(back.lines.at(1).name, QStringLiteral("filial"));
        QCOMPARE(back.lines.at(1).value, QStringLiteral("1"));
    }

    void escapesRead_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("value"); // when read
        QTest::addColumn<int>("errorLine"); // 0: no error

        QTest::newRow("blank escaped at the end") << QByteArray("k=a\\s \n") << "a " << 0;
        QTest::newRow("hex and unicode") << QByteArray("k=\\x41\\u00e9\\\\\n") << "Aé\\" << 0;
        QTest::newRow("tab and newline") << QByteArray("k=\\t\\n\\r\n") << "\t\n\r" << 0;
        QTest::newRow("unknown escape") << QByteArray("# x\nk=\\q\n") << QString() << 2;
        QTest::newRow("backslash at the end") << QByteArray("k=abc\\\n") << QString() << 1;
        QTest::newRow("short hex") << QByteArray("k=\\x4\n") << QString() << 1;
        QTest::newRow("not hex") << QByteArray("k=\\u00zz\n") << QString() << 1;
    }
    void escapesRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, value);
        QFETCH(int, errorLine);
        try {
            const CriteriaFile file = CriteriaFile::parse(text);
            QCOMPARE(errorLine, 0);
            QCOMPARE(file.lines.size(), 1);
            QCOMPARE(file.lines.at(0).value, value);
        } catch (const ECriteriaError &e) {
            QVERIFY2(errorLine > 0, qPrintable(e.message()));
            QCOMPARE(e.line, errorLine);
            QVERIFY(e.message().startsWith(QStringLiteral("Linha %1:").arg(errorLine)));
        }
    }

    // A file up to 1 MiB and lines up to 64 KiB are read; beyond, the line is named.
    void limits_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("errorLine"); // 0: no error

        const QByteArray longLine = "k=" + QByteArray(CriteriaFile::kMaxLineSize - 2, 'x');
        QTest::newRow("line at the limit") << QByteArray("# a\n" + longLine + "\n") << 0;
        QTest::newRow("line over the limit") << QByteArray("# a\n" + longLine + "x\n") << 2;
        QByteArray full;
        while (full.size() + 1000 <= CriteriaFile::kMaxFileSize)
            full += "# " + QByteArray(997, 'c') + '\n';
        full += QByteArray(CriteriaFile::kMaxFileSize - full.size(), '#');
        QTest::newRow("file at the limit") << full << 0;
        QTest::newRow("file over the limit")
            << QByteArray(full + "\nfilial=1\n") << int(full.count('\n') + 1);
    }
    void limits()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, errorLine);
        try {
            CriteriaFile::parse(text);
            QCOMPARE(errorLine, 0);
        } catch (const ECriteriaError &e) {
            QVERIFY2(errorLine > 0, qPrintable(e.message()));
            QCOMPARE(e.line, errorLine);
            QVERIFY(e.message().size() < 200);
        }
    }

    // A device that never ends is read only up to the limit.
    void endlessInput()
    {
        try {
            CriteriaFile::load(QStringLiteral("/dev/zero"));
            QFAIL("/dev/zero read as a criteria file");
        } catch (const ECriteriaError &e) {
            QCOMPARE(e.line, 1);
        }
        try {
            CriteriaFile::load(QStringLiteral("/nonexistent/criterios.txt"));
            QFAIL("a missing file read");
        } catch (const ECriteriaError &e) {
            QVERIFY(e.message().contains(QStringLiteral("/nonexistent/criterios.txt")));
        }
    }

    void shownValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short") << QStringLiteral("F,2") << QStringLiteral("F,2");
        QTest::newRow("NUL and newline")
            << QString(QStringLiteral("A") + QChar(0) + QStringLiteral("B\nC"))
            << QStringLiteral("A\\0B\\nC");
        QTest::newRow("ten million characters")
            << QString(10'000'000, QLatin1Char('x'))
            << QString(200, QLatin1Char('x')) + QStringLiteral("… (10000000 caracteres)");
    }
    void shownValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(shownValue(value), shown);
    }

    void commandLineHint_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("hint");
        QTest::newRow("plain") << QStringLiteral("/tmp/c.txt")
                               << QStringLiteral("kmbhost --report KMB612 --layout 1 --criteria "
                                                 "/tmp/c.txt --out RELATORIO.pdf");
        QTest::newRow("blank and quote")
            << QStringLiteral("/tmp/meus critérios'.txt")
            << QStringLiteral("kmbhost --report KMB612 --layout 1 --criteria "
                              "'/tmp/meus critérios'\\''.txt' --out RELATORIO.pdf");
    }
    void commandLineHint()
    {
        QFETCH(QString, path);
        QFETCH(QString, hint);
        QCOMPARE(::commandLineHint(QStringLiteral("KMB612"), 1, path), hint);
    }
};

QTEST_MAIN(tst_CriteriaFile)
#include "tst_criteriafile.moc"
