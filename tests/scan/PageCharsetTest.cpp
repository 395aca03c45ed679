#include "net/PageCharset.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

class PageCharsetTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every label of the web names its encoding, however it is spelt.
    void labels_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QByteArray>("encoding");
        const auto row = [](const char* label, const char* encoding) {
            QTest::newRow(label) << QByteArray(label) << QByteArray(encoding);
        };
        row("latin1", "windows-1252");
        row("ISO-8859-1", "windows-1252");
        row("us-ascii", "windows-1252");
        row(" Windows-1251 ", "windows-1251");
        row("x-cp1251", "windows-1251");
        row("iso-8859-9", "windows-1254");
        row("tis-620", "windows-874");
        row("koi8-ru", "KOI8-U");
        row("gb2312", "GBK");
        row("sjis", "Shift_JIS");
        row("ks_c_5601-1987", "EUC-KR");
        row("iso-2022-kr", "replacement");
        row("unicode", "UTF-16LE");
        row("utf8", "UTF-8");
        row("x-unknown", "");
        row("", "");
    }
    void labels()
    {
        QFETCH(QByteArray, label);
        QFETCH(QByteArray, encoding);
        QCOMPARE(PageCharset::encodingOfLabel(label), encoding);
    }

    // Which of the header's charset, a byte-order mark and a <meta> decides, as in a browser.
    void encodingOfAPage_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("encoding");
        const auto row = [](const char* name, const QByteArray& contentType, const QByteArray& body,
                            const char* encoding) {
            QTest::newRow(name) << contentType << body << QByteArray(encoding);
        };
        row("header", "text/html; charset=windows-1251", "<p>", "windows-1251");
        row("UTF-16 mark beats a latin-1 header", "text/html; charset=iso-8859-1",
            QByteArray("\xff\xfe<\0p\0>\0", 8), "UTF-16LE");
        row("UTF-8 mark beats a windows-1251 header", "text/html; charset=windows-1251",
            "\xef\xbb\xbf<p>", "UTF-8");
        row("UTF-16BE mark beats a meta", {}, QByteArray("\xfe\xff\0<", 4), "UTF-16BE");
        row("header beats meta", "text/html; charset=koi8-r", "<meta charset=windows-1251>",
            "KOI8-R");
        row("unknown header label: the meta", "text/html; charset=x-unknown",
            "<meta charset=windows-1251>", "windows-1251");
        row("meta http-equiv", {},
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
            "Shift_JIS");
        row("UTF-16 in a meta is UTF-8", {}, "<meta charset=\"utf-16\">", "UTF-8");
        row("x-user-defined in a meta is windows-1252", {}, "<meta charset=x-user-defined>",
            "windows-1252");
        row("UTF-16 in the header without a mark", "text/html; charset=utf-16",
            QByteArray("<\0", 2), "UTF-16LE");
        row("nothing: windows-1252", "text/html", "<p>", "windows-1252");
    }
    void encodingOfAPage()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, encoding);
        QCOMPARE(PageCharset::encodingOf(contentType, body), encoding);
    }

    // The legacy encodings are read, each into its own letters (through Qt's ICU converters,
    // or iconv where Qt has none).
    void legacyEncodings_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const auto row
            = [](const char* name, const QByteArray& contentType, const QByteArray& body,
                 const QString& text) { QTest::newRow(name) << contentType << body << text; };
        const QString privet = QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442");
        row("windows-1251", "text/html; charset=windows-1251", "\xcf\xf0\xe8\xe2\xe5\xf2", privet);
        row("windows-1251 from a meta", "text/html",
            "<meta charset=\"cp1251\">\xcf\xf0\xe8\xe2\xe5\xf2",
            "<meta charset=\"cp1251\">" + privet);
        row("KOI8-R", "text/html; charset=koi8-r", "\xf0\xd2\xc9\xd7\xc5\xd4", privet);
        row("ISO-8859-2", "text/html; charset=latin2", "\xa3\xf3\xbf\xea\xb1",
            QStringLiteral("\u0141\u00f3\u017c\u0119\u0105"));
        row("ISO-8859-16 (iconv)", "text/html; charset=iso-8859-16", "\xaa\xba\xde\xfe",
            QStringLiteral("\u0218\u0219\u021a\u021b"));
        row("windows-1253", "text/html; charset=windows-1253", "\xe1\xe2\xe3",
            QStringLiteral("\u03b1\u03b2\u03b3"));
        row("Shift_JIS", "text/html; charset=shift_jis", "\x93\xfa\x96\x7b",
            QStringLiteral("\u65e5\u672c"));
        row("EUC-KR", "text/html; charset=euc-kr", "\xc7\xd1\xb1\xb9",
            QStringLiteral("\ud55c\uad6d"));
        row("GBK", "text/html; charset=gb2312", "\xd6\xd0\xce\xc4", QStringLiteral("\u4e2d\u6587"));
        row("x-user-defined", "text/html; charset=x-user-defined", "a\x80\xff",
            QStringLiteral("a\uf780\uf7ff"));
        row("replacement", "text/html; charset=iso-2022-kr", "<a href=x>",
            QStringLiteral("\ufffd"));
        row("UTF-16LE with a mark, declared latin-1", "text/html; charset=iso-8859-1",
            QByteArray("\xff\xfeO\0K\0", 6), QStringLiteral("OK"));
        row("windows-1252 keeps its own letters", "text/html; charset=latin1", "\x93\x80\x81",
            QStringLiteral("\u201c\u20ac\u0081"));
    }
    void legacyEncodings()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(PageCharset::decode(contentType, body), text);
    }
};

CORVANE_TEST_CLASS(PageCharsetTest);
#include "PageCharsetTest.moc"
