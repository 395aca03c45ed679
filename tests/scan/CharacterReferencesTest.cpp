#include "support/TestRegistry.h"
#include "web/CharacterReferences.h"
#include "web/NamedReferenceTable.h"

#include <QTest>

#include <cstring>

using namespace corvane;
using Context = CharacterReferences::Context;

Q_DECLARE_METATYPE(Context)

class CharacterReferencesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decoding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Context>("context");
        QTest::addColumn<QString>("decoded");
        const auto row
            = [](const char* name, const char* text, Context context, const QString& decoded) {
                  QTest::newRow(name) << QString::fromUtf8(text) << context << decoded;
              };
        const Context inText = Context::Text;
        const Context inAttribute = Context::Attribute;

        // Named references: the whole table, with and without ";".
        row("a name of the full table", "www&period;mine&period;test", inAttribute,
            "www.mine.test");
        row("a name the old short list lacked", "I &hearts; Mine", inText,
            QStringLiteral("I \u2665 Mine"));
        row("letter case counts", "&AMP; &Amp;", inText, "& &Amp;");
        row("a name of two characters", "&NotEqualTilde;", inText, QStringLiteral("\u2242\u0338"));
        row("a name beyond the first plane", "&Afr;", inText, QStringLiteral("\U0001D504"));
        row("legacy name without ;", "Fish &amp chips", inText, "Fish & chips");
        row("legacy name at the end", "Tom &amp", inText, "Tom &");
        row("longest name wins", "&notin; &notit;", inText, QStringLiteral("\u2209 \u00acit;"));
        row("legacy name before letters, in text", "&copyright", inText,
            QStringLiteral("\u00a9right"));
        row("a name only with ; is not read without it", "&hearts and", inText, "&hearts and");
        row("unknown name", "&nosuchname; & alone &", inText, "&nosuchname; & alone &");
        row("no second reading", "&amp;lt;", inText, "&lt;");

        // An attribute keeps a legacy name without ";" that runs on into a query's name or "=".
        row("attribute: followed by =", "p.php?a=1&copy=2", inAttribute, "p.php?a=1&copy=2");
        row("attribute: followed by a letter", "p.php?x&notice", inAttribute, "p.php?x&notice");
        row("attribute: followed by another character", "p.php?a=1&amp-2", inAttribute,
            "p.php?a=1&-2");
        row("attribute: at the end", "p.php?a&amp", inAttribute, "p.php?a&");
        row("attribute: with ; always read", "p.php?a=1&copy;=2", inAttribute,
            QStringLiteral("p.php?a=1\u00a9=2"));
        row("text: followed by =", "&copy=2", inText, QStringLiteral("\u00a9=2"));

        // Numeric references.
        row("decimal", "&#47;x&#0047;", inAttribute, "/x/");
        row("hexadecimal, either x", "&#x2F;&#X2f;", inAttribute, "//");
        row("without ;", "&#47x &#x41B", inText, QStringLiteral("/x \u041b"));
        row("no digits: no reference", "&#; &#x; &#xZ; &#a", inText, "&#; &#x; &#xZ; &#a");
        row("beyond the first plane", "&#x1F600;", inText, QStringLiteral("\U0001F600"));
        row("0x80-0x9F as Windows-1252", "&#128;&#x92;&#x9F;", inText,
            QStringLiteral("\u20ac\u2019\u0178"));
        row("0x80-0x9F undefined in Windows-1252 stay", "&#x81;", inText, QStringLiteral("\u0081"));
        row("null", "&#0;", inText, QStringLiteral("\ufffd"));
        row("surrogate", "&#xD800;", inText, QStringLiteral("\ufffd"));
        row("beyond Unicode", "&#x110000;&#99999999999999999999;", inText,
            QStringLiteral("\ufffd\ufffd"));
    }
    void decoding()
    {
        QFETCH(QString, text);
        QFETCH(Context, context);
        QFETCH(QString, decoded);
        QCOMPARE(CharacterReferences::decode(text, context), decoded);
    }

    // The decoder looks names up by halves: the generated table must stay in byte order.
    void tableIsSortedByName()
    {
        using CharacterReferences::kNamedReferences;
        for (std::size_t i = 1; i < CharacterReferences::kNamedReferenceCount; ++i) {
            if (std::strcmp(kNamedReferences[i - 1].name, kNamedReferences[i].name) >= 0)
                QFAIL(kNamedReferences[i].name);
        }
    }
};

CORVANE_TEST_CLASS(CharacterReferencesTest);
#include "CharacterReferencesTest.moc"
