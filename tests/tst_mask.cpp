// Edit masks, normalisation and emptiness: the helpers every criteria edit and lookup display
// relies on.
#include "mask.h"

#include <QLineEdit>
#include <QTest>

class tst_Mask : public QObject
{
    Q_OBJECT
private slots:
    void qtMask_data();
    void qtMask();
    void qtMaskInEdit_data();
    void qtMaskInEdit();
    void format_data();
    void format();
    void emptyString_data();
    void emptyString();
    void ajusta_data();
    void ajusta();
    void ajustaOrdersNumbers();
    void pictures_data();
    void pictures();
};

void tst_Mask::qtMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only fields") << ";0;_"
                                 << "";
    QTest::newRow("branch code") << ">aaaa;0; "
                                 << ">nnnn; ";
    QTest::newRow("digits swap") << "0099"
                                 << "9900;_";
    QTest::newRow("letters") << "LLll"
                             << "AAaa;_";
    QTest::newRow("alnum") << "AAaa"
                           << "NNnn;_";
    QTest::newRow("any char") << "Cc"
                              << "Xx;_";
    QTest::newRow("sign digit") << "#99"
                                << "#00;_";
    QTest::newRow("case off") << ">L<l<>C"
                              << ">A<a!X;_";
    QTest::newRow("cpf") << "000.000.000-00;0;_"
                         << "999.999.999-99;_";
    QTest::newRow("cnpj") << "00.000.000/0000-00;0;_"
                          << "99.999.999/9999-99;_";
    QTest::newRow("date") << "!99/99/9999;1; "
                          << "00/00/0000; ";
    QTest::newRow("escape kept") << "\\A00"
                                 << "\\A99;_";
    QTest::newRow("escaped digit") << "\\0\\9"
                                   << "\\0\\9;_";
    // Literals that mean something to Qt must reach it escaped.
    QTest::newRow("qt meta literals") << "N-X-D-H-B-x-n-[}"
                                      << "\\N-\\X-\\D-\\H-\\B-\\x-\\n-\\[\\};_";
    QTest::newRow("trailing backslash") << "0\\"
                                        << "9\\\\;_";
    QTest::newRow("escaped semicolon") << "0\\;0;0;*"
                                       << "99;*";
}

void tst_Mask::qtMask()
{
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    QCOMPARE(qtInputMask(mask), expected);
}

// The translated masks behave in a real edit as the stored layouts expect.
void tst_Mask::qtMaskInEdit_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("branch capitals") << ">aaaa;0; "
                                     << "ab1x9"
                                     << "AB1X";
    QTest::newRow("branch rejects symbols") << ">aaaa;0; "
                                            << "a-b"
                                            << "AB";
    QTest::newRow("cpf digits only") << "000.000.000-00;0;_"
                                     << "12a345678901"
                                     << "123.456.789-01";
    QTest::newRow("tree code") << "0.00.000;0;_"
                               << "101001"
                               << "1.01.001";
}

void tst_Mask::qtMaskInEdit()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QLineEdit edit;
    edit.setInputMask(qtInputMask(mask));
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
}

void tst_Mask::format_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cpf raw") << "000.000.000-00;0;_"
                             << "12345678901"
                             << "123.456.789-01";
    QTest::newRow("cnpj raw") << "00.000.000/0000-00;0;_"
                              << "12345678000190"
                              << "12.345.678/0001-90";
    QTest::newRow("cpf already formatted") << "000.000.000-00;0;_"
                                           << "123.456.789-01"
                                           << "123.456.789-01";
    QTest::newRow("saved literals") << "00/00;1;_"
                                    << "12/34"
                                    << "12/34";
    QTest::newRow("saved literals missing") << "00/00;1;_"
                                            << "1234"
                                            << "12/34";
    QTest::newRow("shorter shows blanks") << "000.000.000-00;0;_"
                                          << "1234"
                                          << "123.4__.___-__";
    QTest::newRow("shorter own blank") << "00-00;0;*"
                                       << "1"
                                       << "1*-**";
    QTest::newRow("longer appended") << "000.000.000-00;0;_"
                                     << "123456789012345"
                                     << "123.456.789-012345";
    QTest::newRow("empty value") << "000.000.000-00;0;_"
                                 << ""
                                 << "";
    QTest::newRow("empty mask") << ""
                                << "12345"
                                << "12345";
    QTest::newRow("mask of fields only") << ";0;_"
                                         << "abc"
                                         << "abc";
    QTest::newRow("upper") << ">LLL"
                           << "abc"
                           << "ABC";
    QTest::newRow("lower then keep") << "<LL<>LL"
                                     << "ABCD"
                                     << "abCD";
    QTest::newRow("upper then lower") << ">L<LL"
                                      << "aBC"
                                      << "Abc";
    QTest::newRow("case on alnum") << ">aaaa;0; "
                                   << "ab1"
                                   << "AB1 ";
    QTest::newRow("literals stay as typed") << ">L-L"
                                            << "ab"
                                            << "A-B";
    QTest::newRow("escape") << "\\A-00;0;_"
                            << "12"
                            << "A-12";
    QTest::newRow("escaped class char") << "0\\00;0;_"
                                        << "12"
                                        << "102";
    QTest::newRow("wrong class kept") << "000;0;_"
                                      << "1x2"
                                      << "1x2";
    QTest::newRow("any chars") << "CC:cc;0;_"
                               << "a b"
                               << "a :b_";
    QTest::newRow("tree code") << "0.00.000;0;_"
                               << "101001"
                               << "1.01.001";
    QTest::newRow("trailing backslash") << "00\\"
                                        << "12"
                                        << "12\\";
    QTest::newRow("leading-blanks directive") << "!00/00;1;_"
                                              << "12/34"
                                              << "12/34";
    QTest::newRow("non-ascii") << ">LL-L"
                               << "çãé"
                               << "ÇÃ-É";
}

void tst_Mask::format()
{
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatMaskText(mask, value), expected);
}

void tst_Mask::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("null") << QString() << true;
    QTest::newRow("blanks") << "    " << true;
    QTest::newRow("tab") << "\t" << true;
    QTest::newRow("blank date raw") << "  /  /    " << true;
    QTest::newRow("blank date stripped") << "//" << true;
    QTest::newRow("blank cpf") << "___.___.___-__" << true;
    QTest::newRow("code") << "0001" << false;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("letter") << " a " << false;
    QTest::newRow("partial date") << "1 /  /    " << false;
    QTest::newRow("pick list") << "[\"001\"]" << false;
    QTest::newRow("pick list of blank key") << "[\" \"]" << false;
    QTest::newRow("symbol") << "*" << false;
}

void tst_Mask::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(EmptyString(text), empty);
}

void tst_Mask::ajusta_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("branch 1") << "1" << 4 << "0001";
    QTest::newRow("branch letters") << "AB" << 4 << "00AB";
    QTest::newRow("full width") << "1234" << 4 << "1234";
    QTest::newRow("longer kept") << "123456" << 4 << "123456";
    QTest::newRow("trimmed") << "  12 " << 4 << "0012";
    QTest::newRow("budget") << "9" << 10 << "0000000009";
    QTest::newRow("empty stays empty") << "" << 10 << "";
    QTest::newRow("blank stays empty") << "   " << 10 << "";
    QTest::newRow("inner blank kept") << "1 2" << 4 << "01 2";
    QTest::newRow("zero width") << "7" << 0 << "7";
}

void tst_Mask::ajusta()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Ajusta(text, width), expected);
    // Normalising twice changes nothing.
    QCOMPARE(Ajusta(Ajusta(text, width), width), expected);
}

// Budget texts compare as texts: raw "9" is greater than "10", normalised it is smaller.
void tst_Mask::ajustaOrdersNumbers()
{
    QVERIFY(QString("9") > QString("10"));
    QVERIFY(Ajusta("9", 10) < Ajusta("10", 10));
    QVERIFY(Ajusta("99", 10) < Ajusta("100", 10));
    QCOMPARE(Ajusta("10", 10), Ajusta("0010", 10));
}

void tst_Mask::pictures_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("F cpf") << PictPess("F") << "52998224725"
                           << "529.982.247-25";
    QTest::newRow("J cnpj") << PictPess("J") << "11222333000181"
                            << "11.222.333/0001-81";
    QTest::newRow("padded code") << PictPess("F ") << "52998224725"
                                 << "529.982.247-25";
    QTest::newRow("lower case code") << PictPess("j") << "11222333000181"
                                     << "11.222.333/0001-81";
    QTest::newRow("F empty number") << PictPess("F") << ""
                                    << "";
    QTest::newRow("J empty number") << PictPess("J") << ""
                                    << "";
    QTest::newRow("F short number") << PictPess("F") << "5299822472"
                                    << "529.982.247-2_";
    QTest::newRow("other code") << PictPess("X") << "123/45-A"
                                << "123/45-A";
    QTest::newRow("no code") << PictPess("") << "52998224725"
                             << "52998224725";
    QTest::newRow("tree code") << DBPict(TPictType::ptArvProd) << "101001"
                               << "1.01.001";
    QTest::newRow("tree code 2") << DBPict(TPictType::ptArvProd) << "203015"
                                 << "2.03.015";
    QTest::newRow("tree code empty") << DBPict(TPictType::ptArvProd) << ""
                                     << "";
    QTest::newRow("product code") << DBPict(TPictType::ptCodProd) << "000123"
                                  << "000123";
}

void tst_Mask::pictures()
{
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatMaskText(mask, value), expected);
}

QTEST_MAIN(tst_Mask)
#include "tst_mask.moc"
