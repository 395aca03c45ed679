#include "ui/PostTab.h"

#include "model/Project.h"
#include "model/ProjectLists.h"
#include "model/SettingsStore.h"
#include "output/ResultPoster.h"
#include "ui/Dialogs.h"
#include "ui/PagesTab.h"
#include "ui/PostLogWindow.h"
#include "ui/Presentation.h"
#include "ui/Widgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHash>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

PostTab::PostTab(Project& project, SettingsStore& settings, NetworkContext& network,
                 QWidget* parent)
    : QWidget(parent), m_project(project),
      m_poster(new ResultPoster(project, settings, network, this))
{
    framePost = new QGroupBox(tr("Post links to my website:"), this);
    framePost->setObjectName(QStringLiteral("framePost"));

    optScript[0] = new QRadioButton(tr("Post results to one URL only:"), framePost);
    optScript[0]->setObjectName(QStringLiteral("optScript_0"));
    txtPost = makeEntry(framePost, QStringLiteral("txtPost"), QString(), tr("Script URL"));
    optScript[1] = new QRadioButton(tr("Post results to a different URL for each Main Site:"),
                                    framePost);
    optScript[1]->setObjectName(QStringLiteral("optScript_1"));
    cmbSites = new QComboBox(framePost);
    cmbSites->setObjectName(QStringLiteral("cmbSites"));
    cmbSites->setEditable(true);
    cmbSites->setInsertPolicy(QComboBox::NoInsert);
    cmbSites->setEditText(tr("Select"));
    cmbSites->setMinimumContentsLength(20);
    txtPost2 = makeEntry(framePost, QStringLiteral("txtPost2"), QString(),
                         tr("Script URL for the Main Site"));
    txtPost2->setText(QStringLiteral("http://"));
    cmdScriptAdd = makeButton(framePost, QStringLiteral("cmdScriptAdd"), tr("Add"),
                              tr("All this Script URL"));
    cmdScriptDel = makeButton(framePost, QStringLiteral("cmdScriptDel"), tr("Del"),
                              tr("Delete the selected script URL"));
    cmdScriptAdd->setAccessibleName(tr("Add Script URL"));
    cmdScriptDel->setAccessibleName(tr("Delete Script URL"));
    lstMulti = new RecordListView(QStringLiteral("lstMulti"), tr("Script URLs by Main Site"), false,
                                  framePost);
    lstMulti->setList(&m_project.postTargets());
    lstMulti->setInitialWidths({{0.4, 3}, {0.6, 3}});
    cmdPost = makeButton(framePost, QStringLiteral("cmdPost"), tr("Post Links Now"));
    cmdExample = makeButton(framePost, QStringLiteral("cmdExample"), tr("View Example"));
    cmdVariables = makeButton(framePost, QStringLiteral("cmdVariables"), tr("View URL Variables"));

    // A combo box is read by its current text ("Select"): its label names it.
    auto* sitesLabel = makeLabel(framePost, QStringLiteral("lblSites"), tr("Main Site:"));
    sitesLabel->setBuddy(cmbSites);
    auto* perSite = new QHBoxLayout;
    perSite->addWidget(sitesLabel);
    perSite->addWidget(cmbSites, 2);
    perSite->addWidget(txtPost2, 3);
    perSite->addWidget(cmdScriptAdd);
    perSite->addWidget(cmdScriptDel);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPost);
    buttons->addStretch(1);
    buttons->addWidget(cmdExample);
    buttons->addWidget(cmdVariables);
    auto* layout = new QVBoxLayout(framePost);
    layout->addWidget(optScript[0]);
    layout->addWidget(txtPost);
    layout->addSpacing(8);
    layout->addWidget(optScript[1]);
    layout->addLayout(perSite);
    layout->addWidget(lstMulti, 1);
    layout->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(framePost);

    // The single script URL is the project's; a project that has none yet starts with "http://".
    if (m_project.postSingle().isEmpty())
        m_project.setPostSingle(QStringLiteral("http://"));
    txtPost->setText(m_project.postSingle());
    const int option = m_poster->option() == 1 ? 1 : 0;
    optScript[option]->setChecked(true);
    setOption(option);

    connect(txtPost, &QLineEdit::textChanged, &m_project, &Project::setPostSingle);
    // The script's address is saved with the project: typing it is an edit of the project.
    connect(txtPost, &QLineEdit::textEdited, this,
            [this] { m_project.state().bProjectSaved = false; });
    connect(&m_project, &Project::postSingleChanged, this, [this](const QString& url) {
        if (txtPost->text() != url)
            txtPost->setText(url);
    });
    for (int i = 0; i < 2; ++i) {
        connect(optScript[i], &QRadioButton::clicked, this, [this, i] {
            m_poster->setOption(i);
            setOption(i);
        });
    }
    connect(cmdScriptAdd, &QPushButton::clicked, this, &PostTab::addTarget);
    connect(txtPost2, &QLineEdit::returnPressed, this, &PostTab::addTarget);
    cmbSites->lineEdit()->installEventFilter(this);
    connect(cmdScriptDel, &QPushButton::clicked, this, &PostTab::deleteTarget);
    connect(lstMulti, &QAbstractItemView::pressed, this, [this] { cmdScriptDel->setEnabled(true); });

    connect(cmdPost, &QPushButton::clicked, this, [this] {
        m_sent = 0;
        m_failures.clear();
        if (m_poster->post())
            cmdPost->setEnabled(false);
    });
    connect(m_poster, &ResultPoster::logShown, this, &PostTab::showLog);
    connect(m_poster, &ResultPoster::statusChanged, this, &PostTab::statusChanged);
    connect(m_poster, &ResultPoster::logAppended, this, [this](const QString& text) {
        if (m_log)
            m_log->appendLog(text);
    });
    connect(m_poster, &ResultPoster::requestFinished, this,
            [this](const ResultPoster::Request&, const DownloadResult& result) {
                ++m_sent;
                // An error page is still an answer, but the script did not take the result.
                const QString failure = failureOf(result);
                if (failure.isEmpty())
                    return;
                m_failures << failure;
                if (m_log)
                    m_log->appendLog(tr("Failed: %1").arg(failure) + QStringLiteral("\r\n"));
            });
    connect(m_poster, &ResultPoster::postFinished, this, [this] {
        cmdPost->setEnabled(true);
        const QString summary = runSummary(m_sent, m_failures);
        if (m_log)
            m_log->appendLog(QStringLiteral("\r\n") + summary + QStringLiteral("\r\n"));
        Q_EMIT statusChanged(tr("Finished posting: %1").arg(summary));
    });
    connect(cmdExample, &QPushButton::clicked, this, [this] {
        Dialogs::information(this, ResultPoster::exampleMessage(txtPost->text()),
                             ResultPoster::kExampleTitle);
    });
    connect(cmdVariables, &QPushButton::clicked, this, [this] {
        Dialogs::information(this, ResultPoster::variablesText(), ResultPoster::kVariablesTitle);
    });
}

PostTab::~PostTab()
{
    // The log window is the main window's; it outlives the tab only until the window goes.
    delete m_log;
}

PostLogWindow* PostTab::logWindow() const
{
    return m_log;
}

void PostTab::refill(const MainSiteList& mainSites)
{
    refillSiteSelector(cmbSites, mainSites);
}

void PostTab::clearEntries()
{
    cmbSites->clear();
    cmbSites->setEditText(tr("Select"));
    txtPost2->setText(QStringLiteral("http://"));
}

QString PostTab::failureOf(const DownloadResult& result)
{
    if (!result.ok())
        return result.error;
    if (result.httpStatus < 400)
        return {};
    static const QHash<int, QString> reasons = {
        {400, QStringLiteral("Bad Request")},   {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},     {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")}, {408, QStringLiteral("Request Timeout")},
        {410, QStringLiteral("Gone")},          {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")}, {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},   {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")}};
    const QString reason = reasons.value(result.httpStatus);
    return reason.isEmpty() ? QString::number(result.httpStatus)
                            : QString::number(result.httpStatus) + u' ' + reason;
}

QString PostTab::runSummary(int sent, const QStringList& failures)
{
    QString text = tr("%1 sent").arg(sent);
    if (failures.isEmpty())
        return text;
    // Each reason once, in the order they came: "2 failed: 404 Not Found, Timeout".
    QStringList reasons;
    for (const QString& failure : failures) {
        if (!reasons.contains(failure))
            reasons << failure;
    }
    return text + tr(", %1 failed: %2").arg(failures.size()).arg(reasons.join(QStringLiteral(", ")));
}

void PostTab::setOption(int option)
{
    const ResultPoster::ControlStates states = ResultPoster::controlStates(option);
    txtPost->setEnabled(states.txtPost);
    lstMulti->setEnabled(states.lstMulti);
    cmbSites->setEnabled(states.cmbSites);
    txtPost2->setEnabled(states.txtPost2);
    cmdScriptAdd->setEnabled(states.cmdScriptAdd);
    cmdScriptDel->setEnabled(states.cmdScriptDel);
}

void PostTab::addTarget()
{
    ResultPoster::addTarget(m_project.postTargets(), cmbSites->currentText(), txtPost2->text());
}

void PostTab::deleteTarget()
{
    const int row = lstMulti->selectedRow();
    if (row >= 0)
        ResultPoster::removeTarget(m_project.postTargets(), row);
}

void PostTab::showLog()
{
    if (!m_log) {
        m_log = new PostLogWindow(window());
        m_log->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the log window discards its log.
        connect(m_log, &QObject::destroyed, m_poster, &ResultPoster::clearLog);
    }
    m_log->show();
    m_log->raise();
}

bool PostTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cmbSites->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            addTarget();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace corvane
