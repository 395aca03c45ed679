#include "net/PageCharset.h"
#include "net/PageFetcher.h"
#include "net/ResponseReader.h"
#include "support/Compression.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;
using corvane::test::compressed;
using corvane::test::gzip;

namespace {

QByteArray chunked(const QList<QByteArray>& chunks, const QByteArray& trailer = {})
{
    QByteArray out;
    for (const QByteArray& c : chunks)
        out += QByteArray::number(c.size(), 16) + "\r\n" + c + "\r\n";
    return out + "0\r\n" + trailer + "\r\n";
}

const QByteArray kLink = "<a href=\"http://www.mysite.test/\">Mine</a>";

// Feeds the answer to a reader in pieces of the given size.
struct Read {
    QByteArray body;
    bool complete = false;
    bool reusable = false;
    bool cut = false;
    QString failure;
    QByteArray head;
    qsizetype used = 0;
};

Read readInPieces(const QByteArray& answer, qsizetype piece, bool closeAtEnd, qint64 cap = 1 << 20)
{
    ResponseReader reader(cap);
    Read r;
    for (qsizetype at = 0; at < answer.size() && !reader.complete(); at += piece)
        r.used
            += reader.feed(QByteArrayView(answer).sliced(at, std::min(piece, answer.size() - at)));
    if (closeAtEnd)
        reader.close();
    r.body = reader.body();
    r.complete = reader.complete();
    r.reusable = reader.reusable();
    r.cut = reader.cut();
    r.failure = reader.failure();
    r.head = reader.head();
    return r;
}

} // namespace

class ResponseReaderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every framing, read in pieces of every size from one byte up: a chunk boundary, or a piece
    // boundary, may fall anywhere, the link back included.
    void framing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("needsClose"); // complete only once the server closes
        QTest::addColumn<bool>("reusable");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("failure"); // empty: the answer is the page
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const auto row = [](const char* name, const QByteArray& answer, const QByteArray& body,
                            bool needsClose, bool reusable, bool cut, const QString& failure = {}) {
            QTest::newRow(name) << answer << body << needsClose << reusable << cut << failure;
        };
        const QByteArray page = "<p>Friends</p>" + kLink + "<p>end</p>";
        row("content length",
            ok + "Content-Length: " + QByteArray::number(page.size()) + "\r\n\r\n" + page, page,
            false, true, false);
        row("content length, connection close",
            ok + "Connection: close\r\nContent-Length: 3\r\n\r\nabc", QByteArray("abc"), false,
            false, false);
        row("no length: up to the close", ok + "Content-Type: text/html\r\n\r\n" + page, page, true,
            false, false);
        row("chunked, the link split over two chunks",
            ok + "Transfer-Encoding: chunked\r\n\r\n" + chunked({page.left(30), page.mid(30)}),
            page, false, true, false);
        row("chunked, sizes in upper case with extensions and a trailer",
            ok + "Transfer-Encoding: chunked\r\n\r\n" + "1A;name=x\r\n" + page.left(26) + "\r\n"
                + QByteArray::number(page.size() - 26, 16).toUpper() + "\r\n" + page.mid(26)
                + "\r\n0\r\nX-Checksum: 1\r\n\r\n",
            page, false, true, false);
        row("chunked, size with leading zeros",
            ok + "Transfer-Encoding: chunked\r\n\r\n0000000000000005\r\nhello\r\n0\r\n\r\n",
            QByteArray("hello"), false, true, false);
        row("close-delimited, LF-only head", "HTTP/1.1 200 OK\nContent-Type: text/html\n\n" + page,
            page, true, false, false);
        row("keep-alive, LF-only head",
            "HTTP/1.1 200 OK\nContent-Length: " + QByteArray::number(page.size()) + "\n\n" + page,
            page, false, true, false);
        row("empty lines before the status line", "\r\n" + ok + "Content-Length: 2\r\n\r\nok",
            QByteArray("ok"), false, true, false);
        row("gzip applied twice",
            ok + "Content-Encoding: gzip, gzip\r\nContent-Length: "
                + QByteArray::number(gzip(gzip(page)).size()) + "\r\n\r\n" + gzip(gzip(page)),
            page, false, true, false);
        row("interim 100 Continue first",
            "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nok", QByteArray("ok"),
            false, true, false);
        row("204 has no body", "HTTP/1.1 204 No Content\r\n\r\n", QByteArray(), false, true, false);
        row("HTTP/1.0 closes unless kept alive", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok",
            QByteArray("ok"), false, false, false);
        row("HTTP/1.0 keep-alive",
            "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok",
            QByteArray("ok"), false, true, false);
        row("gzip",
            ok + "Content-Encoding: gzip\r\nContent-Length: "
                + QByteArray::number(gzip(page).size()) + "\r\n\r\n" + gzip(page),
            page, false, true, false);
        row("gzip inside chunks",
            ok + "Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n"
                + chunked({gzip(page).left(7), gzip(page).mid(7)}),
            page, false, true, false);
        row("deflate as zlib", ok + "Content-Encoding: deflate\r\n\r\n" + compressed(page, 15),
            page, true, false, false);
        row("deflate raw, as some servers send it",
            ok + "Content-Encoding: deflate\r\n\r\n" + compressed(page, -15), page, true, false,
            false);

        // Broken answers: none of them is the page.
        const QString closedEarly = ResponseReader::kClosedEarly;
        const QString badChunk = ResponseReader::kBadChunk;
        row("broken gzip",
            ok + "Content-Encoding: gzip\r\nContent-Length: 20\r\n\r\n"
                + QByteArray("\x1f\x8b\x08\x00garbagegarbage!!", 20),
            {}, false, false, false, QStringLiteral("Content-Encoding did not decode: gzip"));
        row("gzip on a plain body",
            ok + "Content-Encoding: gzip\r\nContent-Length: " + QByteArray::number(page.size())
                + "\r\n\r\n" + page,
            {}, false, false, false, QStringLiteral("Content-Encoding did not decode: gzip"));
        row("gzip twice on a body gzipped once",
            ok + "Content-Encoding: gzip, gzip\r\nContent-Length: "
                + QByteArray::number(gzip(page).size()) + "\r\n\r\n" + gzip(page),
            {}, false, false, false, QStringLiteral("Content-Encoding did not decode: gzip"));
        row("gzip cut short, framed by the close",
            ok + "Content-Encoding: gzip\r\n\r\n" + gzip(page).chopped(12), {}, true, false, false,
            QStringLiteral("Content-Encoding did not decode: gzip"));
        row("unknown coding", ok + "Content-Encoding: zstd\r\nContent-Length: 4\r\n\r\n(\xb5/\xfd",
            {}, false, false, false, QStringLiteral("Content-Encoding not understood: zstd"));
        row("chunked, a bad size",
            ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nzz\r\nworld\r\n0\r\n\r\n", {},
            false, false, false, badChunk);
        row("chunked, a size of 16 hex digits",
            ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\nffffffffffffffff\r\nx", {}, false,
            false, false, badChunk);
        row("chunked, no line end after a chunk",
            ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhelloXX\r\n0\r\n\r\n", {}, false, false,
            false, badChunk);
        row("chunked, closed inside a chunk", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", {},
            true, false, false, closedEarly);
        row("chunked, closed before the last chunk",
            ok + "Transfer-Encoding: chunked\r\n\r\n" + chunked({page}).chopped(5), {}, true, false,
            false, closedEarly);
        row("chunked, closed after the head", ok + "Transfer-Encoding: chunked\r\n\r\n", {}, true,
            false, false, closedEarly);
        row("fewer bytes than the length", ok + "Content-Length: 500\r\n\r\n" + page, {}, true,
            false, false, closedEarly);
        row("closed after a head that promised a body", ok + "Content-Length: 500\r\n\r\n", {},
            true, false, false, closedEarly);
        row("closed inside the head", ok + "Content-Len", {}, true, false, false, closedEarly);
        row("closed after an interim answer", "HTTP/1.1 100 Continue\r\n\r\n", {}, true, false,
            false, closedEarly);
        row("closed without a byte", QByteArray(), {}, true, false, false,
            ResponseReader::kNoAnswer);
        row("not HTTP", "SSH-2.0-OpenSSH_9.2\r\n", {}, false, false, false,
            ResponseReader::kNotHttp);
        row("no status code", "HTTP/1.1 OK\r\nContent-Length: 2\r\n\r\nok", {}, false, false, false,
            ResponseReader::kNotHttp);
        row("a page without a head", "<html>" + page, {}, false, false, false,
            ResponseReader::kNotHttp);
    }
    void framing()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, body);
        QFETCH(bool, needsClose);
        QFETCH(bool, reusable);
        QFETCH(bool, cut);
        QFETCH(QString, failure);
        for (const qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(7), answer.size()}) {
            const Read open = readInPieces(answer, piece, false);
            QCOMPARE(open.complete, !needsClose);
            const Read r = readInPieces(answer, piece, true);
            QVERIFY(r.complete);
            QCOMPARE(r.failure, failure);
            QCOMPARE(r.reusable, reusable && !needsClose);
            QCOMPARE(r.cut, cut);
            if (!failure.isEmpty())
                continue;
            QCOMPARE(r.body, body);
            // Whatever line ends the server used, the head is read in one form.
            QVERIFY(r.head.endsWith("\r\n\r\n"));
            QVERIFY(!r.head.contains("\r\r") && r.head.count('\n') == r.head.count("\r\n"));
        }
    }

    // Bytes after a complete answer are not part of it (the next answer on the connection).
    void answerEndsWhereItsFramingSays()
    {
        ResponseReader reader(1 << 20);
        const QByteArray first = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
        const QByteArray two = first + "HTTP/1.1 404";
        QCOMPARE(reader.feed(two), first.size());
        QVERIFY(reader.complete());
        QCOMPARE(reader.body(), QByteArray("ok"));
    }

    // A small answer that inflates past the cap stops at the cap: the memory a page may take is
    // bounded whatever the server sends.
    void gzipBombStopsAtTheCap()
    {
        const qint64 cap = 4 * 1024 * 1024;
        const QByteArray bomb = gzip(QByteArray(64 * 1024 * 1024, 'a'));
        QVERIFY(bomb.size() < 200 * 1024);
        ResponseReader reader(cap);
        const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + bomb;
        reader.feed(answer);
        QVERIFY(reader.complete());
        QVERIFY(reader.cut());
        QCOMPARE(reader.body().size(), cap);
        QVERIFY(!reader.reusable());
    }

    // A server that never ends its head, or floods the client with interim answers, is given up
    // within one read of the bytes, without copying them once per interim head.
    void endlessHeadsAreBounded_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("failure");
        QByteArray flood;
        while (flood.size() < 16 * 1024 * 1024)
            flood += "HTTP/1.1 100 Continue\r\n\r\n";
        QTest::newRow("100 Continue for ever") << flood << ResponseReader::kTooManyInterim;
        QByteArray fields = "HTTP/1.1 200 OK\r\n";
        while (fields.size() < 16 * 1024 * 1024)
            fields += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
        QTest::newRow("a head without end") << fields << ResponseReader::kHeadTooLong;
    }
    void endlessHeadsAreBounded()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, failure);
        ResponseReader reader(PageFetcher::kResponseCap);
        reader.feed(answer);
        QVERIFY(reader.complete());
        QCOMPARE(reader.failure(), failure);
    }

    void charset_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        const QByteArray utf8 = "Caf\xc3\xa9 Se\xc3\xb1or \xe2\x80\x93 na\xc3\xafve";
        const QString decoded = QStringLiteral("Caf\u00e9 Se\u00f1or \u2013 na\u00efve");
        const auto row
            = [](const char* name, const QByteArray& contentType, const QByteArray& body,
                 const QString& text) { QTest::newRow(name) << contentType << body << text; };
        row("header", "text/html; charset=UTF-8", utf8, decoded);
        row("header, quoted", "text/html;charset=\"utf-8\"", utf8, decoded);
        row("header wins over meta", "text/html; charset=windows-1252", "<meta charset=utf-8>\xe9",
            QStringLiteral("<meta charset=utf-8>\u00e9"));
        row("byte-order mark", QByteArray("text/html"), "\xef\xbb\xbf" + utf8, decoded);
        row("UTF-16 byte-order mark", QByteArray(), QByteArray("\xff\xfeO\0K\0", 6),
            QStringLiteral("OK"));
        row("meta charset", QByteArray("text/html"),
            "<html><head><meta charset=\"utf-8\"></head>" + utf8,
            "<html><head><meta charset=\"utf-8\"></head>" + decoded);
        const QByteArray equiv
            = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">";
        row("meta http-equiv", QByteArray(), equiv + utf8, QString::fromLatin1(equiv) + decoded);
        row("meta past the first 1024 bytes is not read", QByteArray(),
            QByteArray(1024, ' ') + "<meta charset=utf-8>\xc3\xa9",
            QString(1024, u' ') + QStringLiteral("<meta charset=utf-8>\u00c3\u00a9"));
        row("latin-1 is read as Windows-1252", "text/html; charset=ISO-8859-1",
            "\x93quoted\x94 \xe9", QStringLiteral("\u201cquoted\u201d \u00e9"));
        row("none: Windows-1252", QByteArray(), QByteArray("\x80 \xe9"),
            QStringLiteral("\u20ac \u00e9"));
        row("unknown label: Windows-1252", "text/html; charset=x-unknown", "\xe9",
            QStringLiteral("\u00e9"));
        row("meta utf-16 means UTF-8", QByteArray(), "<meta charset=utf-16>" + utf8,
            "<meta charset=utf-16>" + decoded);
    }
    void charset()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        QCOMPARE(PageCharset::decode(contentType, body), text);
    }
};

CORVANE_TEST_CLASS(ResponseReaderTest);
#include "ResponseReaderTest.moc"
