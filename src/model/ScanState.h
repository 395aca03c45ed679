#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

// The state shared by the scan's handlers and the editors, under its documented names. Positions
// are 1-based: iCurrentMain is the Main Site position (and the number of its Linking Site list),
// iCurrentSite the Linking Site row.
struct ScanState {
    qint16 iCurrentMain = 0;
    qint32 iCurrentSite = 0;
    qint16 iEditIndex = 0;
    bool bScanRunning = false;
    bool bProjectSaved = true;
    bool bSkipDomainChange = false;
    qint16 iScanType = 0; // 0 all Main Sites, 1 the selected Main Site, 2 the selected Linking Site
    QString strMainSite;
    QString strLinkingSite;
    qint16 iLinksExpected = 0;
    qint16 iLinksFound = 0;
    bool bLinkFound = false;
    bool bRedirectFound = false;
    QString strRedirectUrl;
    QString strProblem;
    qint32 lPagesTaken = 0;
    qint32 lPagesKnown = 0;
    QStringList aFileTypes;
};

} // namespace corvane
