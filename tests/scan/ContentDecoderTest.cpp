#include "net/ContentDecoder.h"
#include "support/Compression.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;
using corvane::test::compressed;
using corvane::test::gzip;

namespace {

const QByteArray kPage = "<p>Friends</p><a href=\"http://www.mysite.test/\">Mine</a><p>end</p>";

} // namespace

class ContentDecoderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every coding, fed in pieces of every size from one byte up: a stream's header, a gzip
    // member's end or a raw deflate stream's first byte may arrive alone.
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("coding");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("decoded");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* name, const QByteArray& coding, const QByteArray& body,
                            const QByteArray& decoded, const QString& problem = {}) {
            QTest::newRow(name) << coding << body << decoded << problem;
        };
        const QByteArray half = kPage.left(20);
        const QByteArray rest = kPage.mid(20);
        row("no coding", QByteArray(), kPage, kPage);
        row("identity", "identity", kPage, kPage);
        row("gzip", "gzip", gzip(kPage), kPage);
        row("x-gzip, in capitals", "X-GZIP", gzip(kPage), kPage);
        row("deflate as zlib", "deflate", compressed(kPage, 15), kPage);
        row("deflate raw", "deflate", compressed(kPage, -15), kPage);
        row("gzip of several members", "gzip", gzip(half) + gzip(rest), kPage);
        row("gzip, then padding after the end", "gzip", gzip(kPage) + QByteArray(5, '\0'), kPage);
        row("gzip applied twice", "gzip, gzip", gzip(gzip(kPage)), kPage);
        row("deflate then gzip: gzip undone first", "deflate, gzip", gzip(compressed(kPage, 15)),
            kPage);
        row("identity among them", "identity, gzip", gzip(kPage), kPage);
        row("empty gzip body", "gzip", QByteArray(), QByteArray());

        row("unknown coding", "zstd", kPage, QByteArray(),
            QStringLiteral("Content-Encoding not understood: zstd"));
        row("an unknown one after a known one", "gzip, br", gzip(kPage), QByteArray(),
            QStringLiteral("Content-Encoding not understood: br"));
        row("a name that is no word", "gz|ip x", kPage, QByteArray(),
            QStringLiteral("Content-Encoding not understood: gz?ip?x"));
        row("gzip on a plain body", "gzip", kPage, QByteArray(),
            QStringLiteral("Content-Encoding did not decode: gzip"));
        row("gzip twice on a body gzipped once", "gzip, gzip", gzip(kPage), QByteArray(),
            QStringLiteral("Content-Encoding did not decode: gzip"));
        const QByteArray cut = gzip(kPage).chopped(10);
        row("gzip stream cut before its end", "gzip", cut, QByteArray(),
            QStringLiteral("Content-Encoding did not decode: gzip"));
        row("deflate of one byte", "deflate", QByteArray("x"), QByteArray(),
            QStringLiteral("Content-Encoding did not decode: deflate"));
    }
    void decodes()
    {
        QFETCH(QByteArray, coding);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, decoded);
        QFETCH(QString, problem);
        for (const qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(7), body.size()}) {
            ContentDecoder decoder(coding, 1 << 20);
            QByteArray out;
            ContentDecoder::Result r = ContentDecoder::Result::More;
            for (qsizetype at = 0; at < body.size() && r == ContentDecoder::Result::More;
                 at += std::max<qsizetype>(piece, 1))
                r = decoder.feed(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)),
                                 out);
            if (r == ContentDecoder::Result::More)
                r = decoder.finish();
            QCOMPARE(decoder.problem(), problem);
            QCOMPARE(r == ContentDecoder::Result::Broken, !problem.isEmpty());
            // A body that does not decode is no page: only what decoded whole is compared.
            if (problem.isEmpty())
                QCOMPARE(out, decoded);
        }
        const ContentDecoder::Decoded whole = ContentDecoder::decode(coding, body, 1 << 20);
        QCOMPARE(whole.problem, problem);
        if (problem.isEmpty())
            QCOMPARE(whole.body, decoded);
    }

    // A small body that inflates past the cap stops at the cap, also under a second coding: the
    // memory a page may take is bounded whatever the server sends. Reaching the cap is no fault.
    void bombsStopAtTheCap_data()
    {
        QTest::addColumn<QByteArray>("coding");
        QTest::addColumn<QByteArray>("body");
        const QByteArray huge(64 * 1024 * 1024, 'a');
        QTest::newRow("gzip") << QByteArray("gzip") << gzip(huge);
        QTest::newRow("gzip, gzip") << QByteArray("gzip, gzip") << gzip(gzip(huge));
    }
    void bombsStopAtTheCap()
    {
        QFETCH(QByteArray, coding);
        QFETCH(QByteArray, body);
        const qint64 cap = 4 * 1024 * 1024;
        QVERIFY(body.size() < 200 * 1024);
        const ContentDecoder::Decoded d = ContentDecoder::decode(coding, body, cap);
        QVERIFY(d.capped);
        QVERIFY(d.problem.isEmpty());
        QCOMPARE(d.body.size(), cap);
    }
};

CORVANE_TEST_CLASS(ContentDecoderTest);
#include "ContentDecoderTest.moc"
