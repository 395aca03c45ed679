#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace corvane;

class SettingsStoreTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshUserGetsDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("page limit index 4") << "cmbAdvance"
                                            << "4";
        QTest::newRow("timeout 60") << "txtTimeout"
                                    << "60";
        QTest::newRow("rule log off") << "chkLog"
                                      << "0";
        QTest::newRow("autosave off") << "chkAutoSave"
                                      << "0";
        QTest::newRow("chkAuto on") << "chkAuto"
                                    << "1";
        QTest::newRow("chkAuto2 on") << "chkAuto2"
                                     << "1";
        QTest::newRow("redirect on") << "chkRedirect"
                                     << "1";
        QTest::newRow("update on") << "chkUpdate"
                                   << "1";
        QTest::newRow("file types on") << "chkFileTypes"
                                       << "1";
        QTest::newRow("sounds on") << "chkAudioFinished"
                                   << "1";
        QTest::newRow("import URL") << "getURL1"
                                    << "http://";
        QTest::newRow("import combo") << "getURLCombo"
                                      << "-1";
        QTest::newRow("last project empty") << "LastProject"
                                            << "";
        QTest::newRow("unknown key") << "noSuchKey"
                                     << "";
    }
    void freshUserGetsDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        test::Sandbox box;
        QCOMPARE(box.settings->ReadSetting(key), expected);
    }

    // What each kind of setting accepts: its readers would take anything else for something else
    // (a page-limit index outside the table for no page at all).
    void acceptedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("page limit 0") << "cmbAdvance" << "0" << true;
        QTest::newRow("page limit 12") << "cmbAdvance" << "12" << true;
        QTest::newRow("page limit 13") << "cmbAdvance" << "13" << false;
        QTest::newRow("page limit -1") << "cmbAdvance" << "-1" << false;
        QTest::newRow("timeout 1") << "txtTimeout" << "1" << true;
        QTest::newRow("timeout 32767") << "txtTimeout" << "32767" << true;
        QTest::newRow("timeout 32768") << "txtTimeout" << "32768" << false;
        QTest::newRow("timeout 0") << "txtTimeout" << "0" << false;
        QTest::newRow("timeout with blanks") << "txtTimeout" << " 5" << false;
        QTest::newRow("timeout 5s") << "txtTimeout" << "5s" << false;
        QTest::newRow("timeout empty") << "txtTimeout" << "" << false;
        QTest::newRow("huge number") << "lHistWebScanned" << "99999999999999999999999" << false;
        QTest::newRow("check box 1") << "chkLog" << "1" << true;
        QTest::newRow("check box 2") << "chkLog" << "2" << false;
        QTest::newRow("check box, key in capitals") << "CHKLOG" << "0" << true;
        QTest::newRow("combo none") << "getURLCombo" << "-1" << true;
        QTest::newRow("text") << "txtHTML1" << "<b>anything</b>" << true;
        QTest::newRow("unknown key") << "noSuchKey" << "1" << false;
    }
    void acceptedValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        QCOMPARE(SettingsStore::isAccepted(key, value), accepted);
    }

    void storedValuesNotAcceptedAreFound()
    {
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("cmbAdvance"), QStringLiteral("99"));
        box.settings->WriteSetting(QStringLiteral("chkLog"), QStringLiteral("1"));
        box.settings->setOverride(QStringLiteral("txtTimeout"), QStringLiteral("abc"));
        const QList<std::pair<QString, QString>> expected = {{QStringLiteral("cmbAdvance"), QStringLiteral("99")}};
        QCOMPARE(box.settings->storedValuesNotAccepted(), expected);
    }

    void keysIgnoreLetterCase()
    {
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("txtAutoSave"), QStringLiteral("9"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("txtAutosave"), QStringLiteral("5")),
                 QStringLiteral("9"));
        box.settings->WriteSetting(QStringLiteral("TXTAUTOSAVE"), QStringLiteral("7"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("txtAutoSave")), QStringLiteral("7"));
    }

    void valuesPersistAcrossInstances()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("s.ini"));
        {
            SettingsStore s(ini);
            s.WriteSetting(QStringLiteral("chkLog"), QStringLiteral("1"));
            s.WriteSetting(QStringLiteral("myKey"), QStringLiteral("x|y"));
        }
        SettingsStore s(ini);
        QVERIFY(s.isOn(QStringLiteral("chklog")));
        QCOMPARE(s.ReadSetting(QStringLiteral("MYKEY"), QString()), QStringLiteral("x|y"));
    }

    // Writes are held in memory and reach the file shortly after, without a sync() call, so a
    // program that is killed loses at most the last moment of counting.
    void writesReachTheFileWithoutSync()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("s.ini"));
        SettingsStore writer(ini);
        writer.WriteSetting(QStringLiteral("lHistWebScanned"), QStringLiteral("17"));
        QCOMPARE(writer.ReadSetting(QStringLiteral("lHistWebScanned")), QStringLiteral("17"));
        QTRY_COMPARE_WITH_TIMEOUT(SettingsStore(ini).ReadSetting(QStringLiteral("lhistwebscanned")),
                                  QStringLiteral("17"), 5000);
    }

    void readerDefaultWinsForUnwrittenKey()
    {
        test::Sandbox box;
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("txtTimeout"), QStringLiteral("5")),
                 QStringLiteral("5"));
    }

    void overrideHoldsForThisRunOnly()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("s.ini"));
        {
            SettingsStore s(ini);
            s.setOverride(QStringLiteral("txtTimeout"), QStringLiteral("5"));
            QCOMPARE(s.readInt(QStringLiteral("TxtTimeout")), 5);
            s.WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("6"));
            QCOMPARE(s.readInt(QStringLiteral("txtTimeout")), 6);
        }
        SettingsStore s(ini);
        QCOMPARE(s.readInt(QStringLiteral("txtTimeout")), 60);
    }

    void numbersConvertLikeTheReaders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("blanks and trailing text") << "  7 sec" << 7;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("not a number") << "abc" << 42;
        QTest::newRow("empty") << "" << 42;
    }
    void numbersConvertLikeTheReaders()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("n"), text);
        QCOMPARE(box.settings->readInt(QStringLiteral("n"), 42), expected);
    }
};

CORVANE_TEST_CLASS(SettingsStoreTest);
#include "SettingsStoreTest.moc"
