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
    cmbSites->setAccessibleName(tr("Main Site"));
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
    lstMulti = new RecordListView(QStringLiteral("lstMulti"), tr("Script URLs by Main Site"), false,
                                  framePost);
    lstMulti->setList(&m_project.postTargets());
    lstMulti->setInitialWidths({{0.4, 3}, {0.6, 3}});
    cmdPost = makeButton(framePost, QStringLiteral("cmdPost"), tr("Post Links Now"));
    cmdExample = makeButton(framePost, QStringLiteral("cmdExample"), tr("View Example"));
    cmdVariables = makeButton(framePost, QStringLiteral("cmdVariables"), tr("View URL Variables"));

    auto* perSite = new QHBoxLayout;
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
        if (m_poster->post())
            cmdPost->setEnabled(false);
    });
    connect(m_poster, &ResultPoster::logShown, this, &PostTab::showLog);
    connect(m_poster, &ResultPoster::statusChanged, this, &PostTab::statusChanged);
    connect(m_poster, &ResultPoster::logAppended, this, [this](const QString& text) {
        if (m_log)
            m_log->appendLog(text);
    });
    connect(m_poster, &ResultPoster::requestFinished, this, [this] { ++m_sent; });
    connect(m_poster, &ResultPoster::postFinished, this, [this] {
        cmdPost->setEnabled(true);
        Q_EMIT statusChanged(tr("Finished posting - %n request(s) sent.", nullptr, m_sent));
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
