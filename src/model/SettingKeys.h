#pragma once

#include <QString>

namespace corvane {

// The settings keys, spelled as the store keeps them (keys are case-insensitive). Check boxes are
// read with SettingsStore::isOn: on means the value, read as a number, is 1.
namespace SettingKey {
inline const QString txtTimeout = QStringLiteral("txtTimeout");
inline const QString cmbAdvance = QStringLiteral("cmbAdvance");
inline const QString chkAuto = QStringLiteral("chkAuto");
inline const QString chkAuto2 = QStringLiteral("chkAuto2");
inline const QString chkRedirect = QStringLiteral("chkRedirect");
inline const QString chkUpdate = QStringLiteral("chkUpdate");
inline const QString LostAfterFailures = QStringLiteral("LostAfterFailures");
inline const QString ParallelSites = QStringLiteral("ParallelSites");
inline const QString chkFileTypes = QStringLiteral("chkFileTypes");
inline const QString chkLog = QStringLiteral("chkLog");
inline const QString chkAudioEmail = QStringLiteral("chkAudioEmail");
inline const QString chkAudioNext = QStringLiteral("chkAudioNext");
inline const QString chkAudioFinished = QStringLiteral("chkAudioFinished");
inline const QString chkAutoSave = QStringLiteral("chkAutoSave");
inline const QString txtAutoSave = QStringLiteral("txtAutoSave");
inline const QString HostInterval = QStringLiteral("HostInterval");
inline const QString Proxy = QStringLiteral("Proxy");
inline const QString UserAgent = QStringLiteral("UserAgent");
inline const QString ScanType = QStringLiteral("ScanType");
inline const QString SkipType = QStringLiteral("SkipType");
inline const QString showHelp = QStringLiteral("showHelp");
inline const QString LastProject = QStringLiteral("LastProject");
inline const QString lHistWebScanned = QStringLiteral("lHistWebScanned");
inline const QString lHistEmailFound = QStringLiteral("lHistEmailFound");
inline const QString chkNewWin = QStringLiteral("chkNewWin");
inline const QString chkBullet = QStringLiteral("chkBullet");
inline const QString optAll = QStringLiteral("optAll");
inline const QString txtHTML1 = QStringLiteral("txtHTML1");
inline const QString txtHTML2 = QStringLiteral("txtHTML2");
inline const QString txtHTML3 = QStringLiteral("txtHTML3");
inline const QString optScript = QStringLiteral("optScript");
inline const QString getUrlOption = QStringLiteral("getUrlOption");
inline const QString getURL1 = QStringLiteral("getURL1");
inline const QString getURL2 = QStringLiteral("getURL2");
inline const QString getURLCombo = QStringLiteral("getURLCombo");
} // namespace SettingKey

} // namespace corvane
