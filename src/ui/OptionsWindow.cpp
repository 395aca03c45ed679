#include "ui/OptionsWindow.h"

#include "model/ProxySetting.h"
#include "ui/ScheduleRows.h"

#include "ui/Artwork.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

QGroupBox* addGroup(QWidget* parent, QVBoxLayout* column, const QString& name, const QString& title)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(name);
    new QVBoxLayout(group);
    column->addWidget(group);
    return group;
}

QVBoxLayout* layoutOf(QWidget* group)
{
    return static_cast<QVBoxLayout*>(group->layout());
}

// A row of the group: "before [field] after", the field as narrow as its numbers.
void addNumberRow(QWidget* group, const QString& before, QLineEdit* field, const QString& after)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(before, group));
    row->addWidget(field);
    if (!after.isEmpty())
        row->addWidget(new QLabel(after, group));
    row->addStretch(1);
    layoutOf(group)->addLayout(row);
}

} // namespace

OptionsWindow::OptionsWindow(SettingsStore& settings, const QString& fileTypesPath, QWidget* parent)
    : QDialog(parent), m_options(settings), m_fileTypes(fileTypesPath)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(tr("Scanning Options"));
    setWindowIcon(Artwork::programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    // The options scroll where the screen is too small for them all; the Close button stays
    // below them, always in sight.
    auto* outer = new QVBoxLayout(this);
    auto* content = new QWidget(this);
    auto* scroll = new FittingScrollArea(content, this);
    outer->addWidget(scroll, 1);
    auto* columns = new QHBoxLayout(content);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    QGroupBox* next = addGroup(this, left, QStringLiteral("fraNext"), tr("Go to the next site:"));
    addCheckBox(next, QStringLiteral("chkAuto2"),
                tr("When the expected number of links has been found"))
        ->setToolTip(tr("Skipping to the next site as soon as the expected number of links are "
                        "found will increase the speed of your searches significantly"));
    auto* pagesRow = new QHBoxLayout;
    QCheckBox* chkAuto = addCheckBox(next, QStringLiteral("chkAuto"),
                                     tr("When this many pages have been scanned:"));
    chkAuto->setToolTip(tr("If the specified number of pages have been scaned the search will "
                           "automatically skip to the next site."));
    cmbAdvance = new QComboBox(next);
    cmbAdvance->setObjectName(QStringLiteral("cmbAdvance"));
    nameComboBox(cmbAdvance, tr("When this many pages have been scanned:"));
    cmbAdvance->addItems(ScanOptions::pageLimitCaptions());
    cmbAdvance->setCurrentIndex(m_options.openPageLimit());
    pagesRow->addWidget(chkAuto);
    pagesRow->addWidget(cmbAdvance);
    pagesRow->addStretch(1);
    layoutOf(next)->addLayout(pagesRow);

    QGroupBox* redirect
        = addGroup(this, left, QStringLiteral("fraRedirect"), tr("Redirected Links:"));
    addCheckBox(redirect, QStringLiteral("chkRedirect"),
                tr("Attempt to find links that go through a redirect script"));

    QGroupBox* audio = addGroup(this, left, QStringLiteral("fraAudio"), tr("Play Audio:"));
    auto* audioRow = new QHBoxLayout;
    audioRow->addWidget(addCheckBox(audio, QStringLiteral("chkAudioEmail"), tr("On Link Found")));
    audioRow->addWidget(addCheckBox(audio, QStringLiteral("chkAudioNext"), tr("On Next Website")));
    audioRow->addWidget(addCheckBox(audio, QStringLiteral("chkAudioFinished"), tr("On Finished")));
    audioRow->addStretch(1);
    layoutOf(audio)->addLayout(audioRow);

    QGroupBox* timeout = addGroup(this, left, QStringLiteral("fraTimeout"),
                                  tr("Timeout when pages don't respond:"));
    txtTimeout = addNumberField(timeout, QStringLiteral("txtTimeout"), QStringLiteral("txtTimeout"),
                                QStringLiteral("txtTimeout"), QStringLiteral("60"));
    txtTimeout->setAccessibleName(tr("Timeout in seconds"));
    addNumberRow(timeout, tr("After"), txtTimeout, tr("seconds"));
    // A partner may ask for a pause between requests; every fetcher of a scan keeps it.
    txtHostInterval = addNumberField(timeout, QStringLiteral("txtHostInterval"),
                                     QStringLiteral("HostInterval"), QStringLiteral("HostInterval"),
                                     QStringLiteral("0"));
    txtHostInterval->setAccessibleName(tr("Milliseconds between two requests to the same host"));
    addNumberRow(timeout, tr("Wait"), txtHostInterval,
                 tr("milliseconds between two requests to the same host"));

    QGroupBox* parallel
        = addGroup(this, left, QStringLiteral("fraParallel"), tr("Linking Sites at once:"));
    txtParallelSites = addNumberField(parallel, QStringLiteral("txtParallelSites"),
                                      QStringLiteral("ParallelSites"),
                                      QStringLiteral("ParallelSites"), QStringLiteral("4"));
    txtParallelSites->setAccessibleName(tr("Linking Sites scanned at once"));
    txtParallelSites->setToolTip(tr("1 to 32. Results come out in project order all the same; "
                                    "a server never gets two connections at once."));
    addNumberRow(parallel, tr("Scan this many linking sites at once:"), txtParallelSites, {});

    // Some partners turn away clients they do not know; the user may name another one.
    QGroupBox* identity = addGroup(this, left, QStringLiteral("fraUserAgent"), tr("Identify as:"));
    txtUserAgent = makeEntry(identity, QStringLiteral("txtUserAgent"),
                             tr("The User-Agent every request of a scan, an import and a post "
                                "sends. Empty: the program's own name."),
                             tr("Identify as"));
    txtUserAgent->setPlaceholderText(tr("the program's own name"));
    txtUserAgent->setText(m_options.fieldText(QStringLiteral("UserAgent")));
    layoutOf(identity)->addWidget(txtUserAgent);
    connect(txtUserAgent, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_options.setText(QStringLiteral("UserAgent"), text); });

    // Offices and some countries reach the web only through a proxy.
    QGroupBox* proxy = addGroup(this, left, QStringLiteral("fraProxy"), tr("Proxy:"));
    auto* proxyRow = new QHBoxLayout;
    auto* lblProxy = new QLabel(tr("Proxy:"), proxy);
    lblProxy->setObjectName(QStringLiteral("lblProxy"));
    cmbProxy = new QComboBox(proxy);
    cmbProxy->setObjectName(QStringLiteral("cmbProxy"));
    cmbProxy->addItems({tr("none"), tr("from the system"), tr("this one:")});
    cmbProxy->setToolTip(tr("How scans, imports and posts reach the web. From the system: the "
                            "http_proxy, https_proxy, all_proxy and no_proxy variables, else "
                            "the desktop's settings."));
    lblProxy->setBuddy(cmbProxy);
    txtProxy = makeEntry(proxy, QStringLiteral("txtProxy"), tr("The proxy as host:port"),
                         tr("Proxy host and port"));
    txtProxy->setPlaceholderText(tr("host:port"));
    proxyRow->addWidget(lblProxy);
    proxyRow->addWidget(cmbProxy);
    proxyRow->addWidget(txtProxy, 1);
    layoutOf(proxy)->addLayout(proxyRow);
    {
        ProxySetting current;
        ProxySetting::parse(m_options.fieldText(QStringLiteral("Proxy")), current);
        cmbProxy->setCurrentIndex(int(current.mode));
        if (current.mode == ProxySetting::Mode::Fixed)
            txtProxy->setText(m_options.fieldText(QStringLiteral("Proxy")).trimmed());
        txtProxy->setEnabled(current.mode == ProxySetting::Mode::Fixed);
    }
    const auto writeProxy = [this] {
        const auto mode = ProxySetting::Mode(cmbProxy->currentIndex());
        txtProxy->setEnabled(mode == ProxySetting::Mode::Fixed);
        QString value = mode == ProxySetting::Mode::None ? ProxySetting::kNone
                                                         : ProxySetting::kSystem;
        if (mode == ProxySetting::Mode::Fixed) {
            // Only a whole host:port is kept; until then the last good setting stands.
            ProxySetting typed;
            if (!ProxySetting::parse(txtProxy->text(), typed)
                || typed.mode != ProxySetting::Mode::Fixed)
                return;
            value = txtProxy->text().trimmed();
        }
        m_options.setText(QStringLiteral("Proxy"), value);
    };
    connect(cmbProxy, &QComboBox::currentIndexChanged, this, writeProxy);
    connect(txtProxy, &QLineEdit::textChanged, this, writeProxy);

    QGroupBox* logging = addGroup(this, left, QStringLiteral("fraLogging"), tr("Logging:"));
    addCheckBox(logging, QStringLiteral("chkLog"),
                tr("Log rules to rules.log in the program folder"));

    QGroupBox* automation
        = addGroup(this, left, QStringLiteral("fraAutomation"), tr("Automation:"));
    addCheckBox(automation, QStringLiteral("chkUpdate"),
                tr("When a link is found, automatically update the Linking Site URL in my "
                   "project."));
    addCheckBox(automation, QStringLiteral("chkAutoSave"),
                tr("Autosave project while scanning"));
    txtAutoSave = addNumberField(automation, QStringLiteral("txtAutoSave"),
                                 QStringLiteral("txtAutoSave"), QStringLiteral("txtAutosave"),
                                 QStringLiteral("5"));
    txtAutoSave->setAccessibleName(tr("Autosave minutes"));
    addNumberRow(automation, tr("Every"), txtAutoSave, tr("minutes while scanning"));
    left->addStretch(1);

    QGroupBox* types
        = addGroup(this, right, QStringLiteral("fraFileTypes"), tr("Webpage File Types:"));
    addCheckBox(types, QStringLiteral("chkFileTypes"), tr("Only scan these types of pages:"));
    auto* typeRow = new QHBoxLayout;
    txtDomain = makeEntry(types, QStringLiteral("txtDomain"), {}, tr("File type"));
    cmdAdd2 = makeButton(types, QStringLiteral("cmdAdd2"), tr("Add"),
                         tr("Add the file type you have entered to the left"));
    cmdDelete = makeButton(types, QStringLiteral("cmdDelete"), tr("Delete"),
                           tr("Delete the file type you have selected below"));
    cmdAdd2->setAccessibleName(tr("Add File Type"));
    cmdDelete->setAccessibleName(tr("Delete File Type"));
    typeRow->addWidget(txtDomain, 1);
    typeRow->addWidget(cmdAdd2);
    typeRow->addWidget(cmdDelete);
    layoutOf(types)->addLayout(typeRow);
    List1 = new QListWidget(types);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(tr("File types"));
    layoutOf(types)->addWidget(List1, 1);
    right->addWidget(types, 1);

    QGroupBox* rules = addGroup(this, right, QStringLiteral("fraGlobalRules"), tr("Global Rules:"));
    QLabel* explanation = makeLabel(
        rules, QStringLiteral("lblGlobalRules"),
        tr("Global Rules are applied to all sites when scaning, and can be used to increase the "
           "efficiency of your scans.  To edit the Global Rules list, use the button below.  To "
           "edit Main Site or Linking Site specific rules, use the edit buttons in the main "
           "window."));
    explanation->setWordWrap(true);
    layoutOf(rules)->addWidget(explanation);
    Command1 = makeButton(rules, QStringLiteral("Command1"), tr("Open Global Rules Editor"));
    layoutOf(rules)->addWidget(Command1);

    // A partner that cannot be reached says nothing of its link; only a long silence counts.
    QGroupBox* history = addGroup(this, right, QStringLiteral("fraHistory"), tr("Link history:"));
    txtLostAfterFailures = addNumberField(history, QStringLiteral("txtLostAfterFailures"),
                                          QStringLiteral("LostAfterFailures"),
                                          QStringLiteral("LostAfterFailures"), QStringLiteral("3"));
    txtLostAfterFailures->setAccessibleName(
        tr("Scans in a row that cannot reach a partner before its link counts as lost"));
    txtLostAfterFailures->setToolTip(
        tr("1 to 1000. A timeout, a server error or bot protection tells nothing of the link; "
           "after this many such scans in a row, a link last seen counts as lost."));
    addNumberRow(history, tr("Call a link lost after"), txtLostAfterFailures,
                 tr("scans in a row that miss its partner"));

    m_schedule = new ScheduleRows(settings, this);
    right->addWidget(m_schedule);

    // Every change is stored as it is made: closing is all there is left to do.
    cmdClose = makeButton(this, QStringLiteral("cmdClose"), tr("Close"),
                          tr("Close the options; every change is already stored"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(cmdClose);
    outer->addLayout(closeRow);

    m_fileTypes.load();
    showFileTypes();
    cmdAdd2->setEnabled(false);
    cmdDelete->setEnabled(false);
    // Enter belongs to the entry boxes (a file type is added with it), never to a button.
    for (QPushButton* button : {cmdAdd2, cmdDelete, Command1, cmdClose})
        button->setAutoDefault(false);

    connect(cmbAdvance, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_options.setPageLimit(index); });
    connect(txtDomain, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmdAdd2->setEnabled(!text.isEmpty()); });
    connect(txtDomain, &QLineEdit::returnPressed, this, &OptionsWindow::addFileType);
    connect(cmdAdd2, &QPushButton::clicked, this, &OptionsWindow::addFileType);
    connect(cmdDelete, &QPushButton::clicked, this, &OptionsWindow::deleteFileType);
    connect(List1, &QListWidget::itemClicked, this, [this] { cmdDelete->setEnabled(true); });
    connect(List1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            cmdDelete->setEnabled(true);
    });
    connect(Command1, &QPushButton::clicked, this, &OptionsWindow::globalRulesRequested);
    // As large as the options need, as far as the screen allows.
    const QSize wanted = content->sizeHint() + QSize(scroll->verticalScrollBar()->sizeHint().width() + 24, 24);
    resize(wanted.boundedTo(screen()->availableGeometry().size() * 9 / 10));
}

QCheckBox* OptionsWindow::addCheckBox(QWidget* parent, const QString& key, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(key);
    box->setChecked(m_options.isChecked(key));
    connect(box, &QCheckBox::clicked, this,
            [this, key](bool checked) { m_options.setChecked(key, checked); });
    if (auto* layout = qobject_cast<QVBoxLayout*>(parent->layout()))
        layout->addWidget(box);
    return box;
}

QLineEdit* OptionsWindow::addNumberField(QWidget* parent, const QString& name, const QString& key,
                                         const QString& readKey, const QString& replacement)
{
    QLineEdit* field = makeEntry(parent, name, {});
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(u'0') * 8);
    connect(field, &QLineEdit::textChanged, this,
            [this, field, key, replacement](const QString& text) {
                const QString replaced = m_options.numberFieldChanged(key, text, replacement);
                if (!replaced.isEmpty())
                    field->setText(replaced);
            });
    field->setText(m_options.fieldText(readKey));
    return field;
}

void OptionsWindow::setProjectPath(const QString& path)
{
    m_schedule->setProjectPath(path);
}

void OptionsWindow::showFileTypes()
{
    List1->clear();
    List1->addItems(m_fileTypes.entries());
}

void OptionsWindow::addFileType()
{
    const FileTypeChange change = m_fileTypes.add(txtDomain->text());
    if (!change.message.isEmpty()) {
        Dialogs::information(this, change.message);
        txtDomain->setFocus();
        return;
    }
    showFileTypes();
    List1->scrollToBottom();
    txtDomain->clear();
    txtDomain->setFocus();
}

void OptionsWindow::deleteFileType()
{
    const QList<QListWidgetItem*> chosen = List1->selectedItems();
    if (chosen.isEmpty())
        return;
    const FileTypeChange change = m_fileTypes.remove(List1->row(chosen.first()));
    if (!change.message.isEmpty())
        Dialogs::information(this, change.message);
    showFileTypes();
}

} // namespace corvane
