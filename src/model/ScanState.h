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

    // The page being fetched, shared by the page fetcher and page analysis.
    QString strURL;    // the URL taken from the page queue; the fetcher normalises it in place
    QString strCurUrl; // the page URL: no scheme, no trailing "/"
    QString strCurDir; // the page's directory, ending with "/": the base of relative links

    // The scan controller's own.
    qint32 lPageLimit = 0; // pages allowed per Linking Site, from "cmbAdvance"; 0 before the first
    qint16 iSkipType = 0;  // what Skip skips: 0 the current Linking Site, 1 the current Main Site
    bool bSkipClicked = false; // the advance now running was asked for by Skip
    qint16 timeout = 60;       // idle seconds allowed, from "txtTimeout"

    // Page analysis' own, reset by the controller at every Linking Site.
    qint32 lSiteLinks = 0;  // links recorded on this Linking Site
    qint32 lLinkSerial = 0; // the serial behind the "No." column
    // A page of the site was left unqueued because the page limit leaves no room for it.
    bool bPagesLeftOut = false;
    // The text being analysed was downloaded after a redirect page: redirect markers are then
    // ordinary text, so at most one redirect is followed per fetched page.
    bool bEmulate = false;
};

} // namespace corvane
