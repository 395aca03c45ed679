#include "scan/TextSearch.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <string>
#include <string_view>

using namespace corvane;

// The scan's own case-insensitive search must give the answers of Qt's general one.
class TextSearchTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesQtsCaseInsensitiveSearch_data()
    {
        QTest::addColumn<QString>("haystack");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("from");
        QTest::newRow("plain") << "www.Example.COM/x"
                               << "example.com" << 0;
        QTest::newRow("absent") << "www.example.org"
                                << ".com" << 0;
        QTest::newRow("at the end") << "page.HT"
                                    << ".ht" << 0;
        QTest::newRow("from past the first") << "http://a/http://b"
                                             << "HTTP://" << 1;
        QTest::newRow("needle longer") << "ab"
                                       << "abc" << 0;
        QTest::newRow("empty needle") << "abc"
                                      << "" << 1;
        QTest::newRow("empty haystack") << ""
                                        << "a" << 0;
        QTest::newRow("kelvin sign folds to k") << QString::fromUtf8("\u212Aey") << "key" << 0;
        QTest::newRow("non-ASCII needle")
            << QString::fromUtf8("CAFÉ au lait") << QString::fromUtf8("café") << 0;
        QTest::newRow("negative from") << "abcabc"
                                       << "ABC" << -3;
    }
    void matchesQtsCaseInsensitiveSearch()
    {
        QFETCH(QString, haystack);
        QFETCH(QString, needle);
        QFETCH(int, from);
        QCOMPARE(TextSearch::indexOfNoCase(haystack, needle, from),
                 haystack.indexOf(needle, from, Qt::CaseInsensitive));
        QCOMPARE(TextSearch::containsNoCase(haystack, needle),
                 haystack.contains(needle, Qt::CaseInsensitive));
        QCOMPARE(TextSearch::endsWithNoCase(haystack, needle),
                 haystack.endsWith(needle, Qt::CaseInsensitive));
        QString ours = haystack;
        QString qts = haystack;
        TextSearch::replaceAllNoCase(ours, needle, QStringLiteral("<x>"));
        if (!needle.isEmpty())
            qts.replace(needle, QStringLiteral("<x>"), Qt::CaseInsensitive);
        QCOMPARE(ours, qts);
    }

    // The searches look at eight characters at a time and finish one by one: a character must
    // be found at every place, inside a block of eight, at its edges and in the tail, with Qt's
    // own searches as the reference.
    void searchesFindEveryPlace()
    {
        const QList<char16_t> specials
            = {u'/', u'A', u'Z', u'a', 0x80, 0x212A /* Kelvin sign */, 0x17F /* long s */};
        for (int length = 0; length <= 26; ++length) {
            for (int at = 0; at <= length; ++at) {
                for (const char16_t special : specials) {
                    QString text(length, u'x');
                    if (at < length)
                        text[at] = QChar(special);
                    const QString where = QStringLiteral("length %1, place %2, U+%3")
                                              .arg(length)
                                              .arg(at)
                                              .arg(int(special), 4, 16, QLatin1Char('0'));
                    for (const qsizetype from : {qsizetype(0), qsizetype(3), qsizetype(9)}) {
                        QVERIFY2(TextSearch::indexOfUnit(text, special, from)
                                     == QStringView(text).indexOf(QChar(special), from),
                                 qPrintable(where));
                        for (const QString& needle : {QStringLiteral("k"), QStringLiteral("s"),
                                                      QStringLiteral("xa"), QStringLiteral("/x")}) {
                            QVERIFY2(TextSearch::indexOfNoCase(text, needle, from)
                                         == text.indexOf(needle, from, Qt::CaseInsensitive),
                                     qPrintable(where + u' ' + needle));
                        }
                    }
                    qsizetype firstUpperOrBeyond = -1;
                    for (qsizetype i = 0; i < text.size() && firstUpperOrBeyond < 0; ++i) {
                        const char16_t c = text.at(i).unicode();
                        if (c >= 0x80 || (c >= u'A' && c <= u'Z'))
                            firstUpperOrBeyond = i;
                    }
                    QVERIFY2(TextSearch::indexOfUpperOrNonAscii(text) == firstUpperOrBeyond,
                             qPrintable(where));
                    QVERIFY2(TextSearch::isAscii(text) == (at == length || special < 0x80),
                             qPrintable(where));
                }
            }
        }
    }

    // The byte searches against the standard library's, with the bytes looked for at every
    // place of texts of 0 to 40 bytes (around the vector blocks of 16), once and twice.
    void byteSearchesFindEveryPlace()
    {
        for (int length = 0; length <= 40; ++length) {
            for (int at = 0; at <= length; ++at) {
                for (int second = at; second <= length; second += 7) {
                    std::string text(std::size_t(length), 'x');
                    if (at < length)
                        text[std::size_t(at)] = '/';
                    if (second + 1 < length) {
                        text[std::size_t(second)] = '/';
                        text[std::size_t(second) + 1] = '/';
                    }
                    const std::string_view view = text;
                    const QString where = QStringLiteral("length %1, places %2 and %3")
                                              .arg(length)
                                              .arg(at)
                                              .arg(second);
                    const auto index = [](std::size_t found) {
                        return found == std::string_view::npos ? qsizetype(-1) : qsizetype(found);
                    };
                    for (const qsizetype from : {qsizetype(0), qsizetype(1), qsizetype(17)}) {
                        QVERIFY2(
                            TextSearch::indexOfByte(view, '/', from)
                                == (from <= length ? index(view.find('/', std::size_t(from))) : -1),
                            qPrintable(where));
                    }
                    QVERIFY2(TextSearch::indexOfPair(view, '/', '/') == index(view.find("//")),
                             qPrintable(where));
                    for (const std::string_view part : std::initializer_list<std::string_view>{
                             "", "/", "//", "x/", "/x", "xx//", text}) {
                        QVERIFY2(
                            TextSearch::containsBytes(view, part)
                                == (view.find(part) != std::string_view::npos),
                            qPrintable(where + u' '
                                       + QString::fromLatin1(part.data(), qsizetype(part.size()))));
                    }
                }
            }
        }
    }

    void replacementsAreNotSearchedAgain()
    {
        QString text = QStringLiteral("www.aspen.example.com/p.as");
        QCOMPARE(TextSearch::replaceAllNoCase(text, u".as", u".asp"), 2);
        QCOMPARE(text, QStringLiteral("www.asppen.example.com/p.asp"));
        QString remnants = QStringLiteral("HTTP://http://x");
        QCOMPARE(TextSearch::removeAllNoCase(remnants, u"http://"), 2);
        QCOMPARE(remnants, QStringLiteral("x"));
    }
};

CORVANE_TEST_CLASS(TextSearchTest);
#include "TextSearchTest.moc"
