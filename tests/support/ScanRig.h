#pragma once

#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "scan/ScanController.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

namespace corvane::test {

// A project and a scan controller in a sandbox, with every connection of the scan routed to the
// test web server under any host name. watchdogMs: the length of a watchdog "second", so the
// idle timeouts of a test run in a fraction of real seconds.
struct ScanRig {
    Sandbox box;
    Project project;
    ScanStatistics statistics{*box.settings};
    NetworkContext network;
    TestWebServer server;
    ScanController scan{project, *box.settings, statistics, box.app, network};

    explicit ScanRig(int watchdogMs)
    {
        network.setRoute(server.route());
        scan.setWatchdogInterval(watchdogMs);
    }

    // The error list as "error | url" rows.
    QStringList errors() const
    {
        QStringList rows;
        for (int r = 0; r < project.errors().count(); ++r)
            rows.append(project.errors().entry(r).error + " | " + project.errors().entry(r).url);
        return rows;
    }

    // The result list as "status | No. | URL | notes" rows.
    QStringList results() const
    {
        QStringList rows;
        for (int r = 0; r < project.results().count(); ++r) {
            const ResultEntry e = project.results().entry(r);
            rows.append(
                QStringList{e.status, e.number, e.url, e.notes}.join(QStringLiteral(" | ")));
        }
        return rows;
    }
};

} // namespace corvane::test
