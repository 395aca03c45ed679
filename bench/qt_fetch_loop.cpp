// The crawl's floor inside Qt: the URLs of the fetch loop (host/path, one per line on stdin)
// fetched one after another the way the scan's page fetcher does it, and nothing else: a new
// QTcpSocket per page on the application's event loop, the same request, the response read until
// the server closes, the socket dropped with deleteLater. No analysis, no page files, no status.
// It shows what the event-driven fetch itself costs beside the blocking loop of fetch_loop.
#include <QByteArray>
#include <QCoreApplication>
#include <QNetworkProxy>
#include <QStringList>
#include <QTcpSocket>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

QStringList g_urls;
qsizetype g_next = 0;
qsizetype g_fetched = 0;

void fetchNext()
{
    if (g_next >= g_urls.size()) {
        QCoreApplication::quit();
        return;
    }
    const QString url = g_urls.at(g_next++);
    const qsizetype slash = url.indexOf(u'/');
    const QString host = slash >= 0 ? url.left(slash) : url;
    const QString path = slash >= 0 ? url.mid(slash) : QStringLiteral("/");
    const QByteArray request = "GET " + path.toLatin1() + " HTTP/1.1\r\nHost: " + host.toLatin1()
        + "\r\nConnection: close\r\nAccept: */*\r\n\r\n";
    auto* socket = new QTcpSocket;
    socket->setProxy(QNetworkProxy::NoProxy);
    auto* response = new QByteArray;
    QObject::connect(socket, &QTcpSocket::connected, socket,
                     [socket, request] { socket->write(request); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     [socket, response] { *response += socket->readAll(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, response] {
        *response += socket->readAll();
        delete response;
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        socket->abort();
        socket->deleteLater();
        ++g_fetched;
        fetchNext();
    });
    socket->connectToHost(host, 80);
}

} // namespace

int main(int argc, char** argv)
{
    // The event dispatcher the command line uses.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty())
            g_urls.append(QString::fromStdString(line));
    }
    fetchNext();
    const int status = g_urls.isEmpty() ? 0 : QCoreApplication::exec();
    std::printf("%lld\n", static_cast<long long>(g_fetched));
    return status;
}
