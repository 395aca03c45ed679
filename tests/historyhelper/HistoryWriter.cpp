// A second program for the history tests: holds a project's lock, or writes a scan's history
// partner by partner, until it is killed.
//   corvane-history-writer lock PROJECT    takes the lock, prints "locked", waits
//   corvane-history-writer scan PROJECT    records partner 1, 2, ... of one scan, printing "recorded N"
//                                  after each one's transaction, until killed

#include "history/HistoryStore.h"
#include "model/ProjectLock.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

using namespace corvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    const QString project = args.at(2);
    ProjectLock lock(project);
    if (!lock.tryLock()) {
        std::fprintf(stdout, "refused %s\n", qPrintable(lock.error()));
        return 1;
    }
    if (args.at(1) == QLatin1String("lock")) {
        std::fprintf(stdout, "locked\n");
        std::fflush(stdout);
        for (;;)
            QThread::msleep(1000);
    }
    HistoryStore store;
    if (!store.open(HistoryStore::pathFor(project), HistoryStore::Mode::Write)) {
        std::fprintf(stdout, "failed %s\n", qPrintable(store.error()));
        return 1;
    }
    const qint64 scan = store.beginScan(QDateTime::currentDateTime(), QStringLiteral("test"));
    for (int n = 1;; ++n) {
        PartnerCheck check;
        check.outcome = PartnerCheck::Outcome::Found;
        check.status = QStringLiteral("Direct Link");
        check.foundOn = QStringLiteral("p%1.test/links.html").arg(n);
        check.links = 1;
        check.checked = QDateTime::currentDateTime();
        if (!store.recordCheck(scan, QStringLiteral("main.test"), QStringLiteral("p%1.test").arg(n),
                               {}, check, 3))
            return 1;
        std::fprintf(stdout, "recorded %d\n", n);
        std::fflush(stdout);
        QThread::msleep(5);
    }
}
