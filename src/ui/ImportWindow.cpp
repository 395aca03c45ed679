#include "ui/ImportWindow.h"

#include "import/GetLinks.h"
#include "import/LinkExtraction.h"
#include "import/SiteImporter.h"
#include "model/Project.h"
#include "model/SettingsStore.h"
#include "ui/Artwork.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/WindowState.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace corvane {

namespace {

const QString kRadioLabel = QStringLiteral("radioLabel");

// An option whose caption is too long for one line: the caption is a wrapping label beside the
// button, and a click on the label chooses the option.
QRadioButton* makeOption(QWidget* parent, QBoxLayout* layout, const QString& objectName,
                         const QString& caption, QObject* filter)
{
    auto* radio = new QRadioButton(parent);
    radio->setObjectName(objectName);
    radio->setAccessibleName(caption);
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setProperty(qPrintable(kRadioLabel), QVariant::fromValue<QObject*>(radio));
    label->installEventFilter(filter);
    auto* row = new QHBoxLayout;
    row->addWidget(radio, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    layout->addLayout(row);
    return radio;
}

} // namespace

ImportWindow::ImportWindow(Kind kind, Project& project, SettingsStore& settings, AppFolder app,
                           NetworkContext& network, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_project(project), m_settings(settings),
      m_app(std::move(app))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowIcon(Artwork::programIcon());
    const bool linking = kind == Kind::LinkingSites;
    setObjectName(linking ? QStringLiteral("Form4") : QStringLiteral("Form4a"));
    setWindowTitle(linking ? tr("Import Linking Sites") : tr("Import Main Sites"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildFileFrame());
    if (linking) {
        m_getLinks = new GetLinks(network, this);
        layout->addWidget(buildSpiderFrame());
        auto* caption = makeLabel(this, QStringLiteral("lblResults"),
                                  tr("Results (Control + Click or Shift + Click to Select "
                                     "Multiple, Right Click to Select All):"));
        caption->setWordWrap(true);
        layout->addWidget(caption);
        ListView1 = new QTreeView(this);
        ListView1->setObjectName(QStringLiteral("ListView1"));
        ListView1->setAccessibleName(tr("Results"));
        ListView1->setRootIsDecorated(false);
        ListView1->setUniformRowHeights(true);
        ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
        ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
        ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        ListView1->header()->setStretchLastSection(true);
        ListView1->setModel(&m_getLinks->results());
        ListView1->viewport()->installEventFilter(this);
        ListView1->setMinimumHeight(140);
        layout->addWidget(ListView1, 1);
        cmdAdd = makeButton(this, QStringLiteral("cmdAdd"),
                            tr("Add Selected Links to My Link List"));
        layout->addWidget(cmdAdd, 0, Qt::AlignLeft);

        connect(cmdAdd, &QPushButton::clicked, this, &ImportWindow::addSelected);
        connect(m_getLinks, &GetLinks::statusChanged, this, &ImportWindow::setStatus);
        connect(m_getLinks, &GetLinks::messageRaised, this,
                [this](const QString& text) { Dialogs::information(this, text); });
    }
    StatusBar1 = makeLabel(this, QStringLiteral("StatusBar1"), QString());
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    showValue(StatusBar1, tr("Status"), QString());
    StatusBar1->setFixedHeight(StatusBar1->fontMetrics().height() + 8);
    if (!linking)
        layout->addStretch(1);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(m_buttons, &QDialogButtonBox::rejected, this, &ImportWindow::reject);
    layout->addWidget(m_buttons);
    layout->addWidget(StatusBar1);

    // Enter in a URL box must not press a button of the dialog (Import would ask for a file).
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);

    // Fixed size: the window takes the size its contents need and keeps it; no more than its
    // least on a small screen.
    resize(linking ? QSize(620, 640) : QSize(460, 170));
    setFixedSize(size().expandedTo(layout->minimumSize()));
}

ImportWindow::~ImportWindow() = default;

bool ImportWindow::open(const QString& name, QWidget* parent, Project& project,
                        SettingsStore& settings, const AppFolder& app, NetworkContext& network)
{
    Kind kind;
    if (name == QStringLiteral("Form4"))
        kind = Kind::LinkingSites;
    else if (name == QStringLiteral("Form4a"))
        kind = Kind::MainSites;
    else
        return false;
    // One window of each kind: a second click shows the one already open.
    auto* window = parent->findChild<ImportWindow*>(name, Qt::FindDirectChildrenOnly);
    if (window == nullptr)
        window = new ImportWindow(kind, project, settings, app, network, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

QGroupBox* ImportWindow::buildFileFrame()
{
    const bool linking = m_kind == Kind::LinkingSites;
    auto* frame = new QGroupBox(linking ? tr("Get linking sites from a file")
                                        : tr("Get main sites from a file"),
                                this);
    frame->setObjectName(QStringLiteral("Frame3"));
    auto* text = new QLabel(linking ? tr("You can import linking sites from a text (.txt) file by "
                                         "entering one URL per line.")
                                    : tr("You can import main sites from a text (.txt) file by "
                                         "entering one URL per line."),
                            frame);
    text->setWordWrap(true);
    Command4 = makeButton(frame, QStringLiteral("Command4"), tr("Import"),
                          linking ? tr("Import linking sites from a file")
                                  : tr("Import Main Sites from a file"));
    auto* row = new QHBoxLayout(frame);
    row->addWidget(text, 1);
    row->addWidget(Command4, 0, Qt::AlignVCenter);
    connect(Command4, &QPushButton::clicked, this, &ImportWindow::importFile);
    return frame;
}

QGroupBox* ImportWindow::buildSpiderFrame()
{
    auto* frame = new QGroupBox(tr("Scan my website for linking sites"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* layout = new QVBoxLayout(frame);

    Option1[0] = makeOption(frame, layout, QStringLiteral("Option1_0"),
                            tr("Simple - Spider my link page at the following URL and add my links "
                               "to be scanned:"),
                            this);
    Text1 = makeEntry(frame, QStringLiteral("Text1"), QString(), tr("Link page URL"));
    auto* form1 = new QFormLayout;
    form1->addRow(tr("URL:"), Text1);
    layout->addLayout(form1);

    Option1[1] = makeOption(
        frame, layout, QStringLiteral("Option1_1"),
        tr("Advanced - Get links to scan directly from my database.  I have created a script at "
           "the following URL that outputs all domains separated by a delimiter.  For example: ")
            + QStringLiteral("site1.com,site2.com,site3.com,site4.com") + tr(" (no HTML)"),
        this);
    Text2 = makeEntry(frame, QStringLiteral("Text2"), QString(), tr("Script URL"));
    Combo1 = new QComboBox(frame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(LinkExtraction::delimiterCaptions());
    auto* form2 = new QFormLayout;
    form2->addRow(tr("URL:"), Text2);
    form2->addRow(tr("Delimiter:"), Combo1);
    layout->addLayout(form2);

    Command1 = makeButton(frame, QStringLiteral("Command1"), tr("Get Links"),
                          tr("Import linking sites from your website"));
    layout->addWidget(Command1, 0, Qt::AlignRight);

    // The window opens as the user left it: the option, both URLs and a chosen delimiter entry.
    const GetLinksRequest stored = GetLinksRequest::fromSettings(m_settings);
    Option1[stored.option]->setChecked(true);
    Text1->setText(stored.linkPageUrl);
    Text2->setText(stored.scriptUrl);
    m_delimiterIndex = stored.delimiterIndex;
    Combo1->setCurrentIndex(stored.delimiterIndex);
    Combo1->setEditText(stored.delimiterText);

    for (int option = 0; option < 2; ++option) {
        connect(Option1[option], &QRadioButton::clicked, this,
                [this, option] { setOption(option); });
    }
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { GetLinksSettings::storeLinkPageUrl(m_settings, text); });
    connect(Text2, &QLineEdit::textChanged, this,
            [this](const QString& text) { GetLinksSettings::storeScriptUrl(m_settings, text); });
    connect(Combo1, &QComboBox::activated, this, [this](int index) {
        m_delimiterIndex = index;
        GetLinksSettings::storeDelimiterIndex(m_settings, index);
    });
    // A typed delimiter is used but not kept.
    connect(Combo1->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_delimiterIndex = -1;
        GetLinksSettings::storeDelimiterIndex(m_settings, -1);
    });
    connect(Command1, &QPushButton::clicked, this, &ImportWindow::getLinks);
    return frame;
}

QString ImportWindow::statusText() const
{
    return StatusBar1->text();
}

void ImportWindow::setStatus(const QString& text)
{
    showValue(StatusBar1, tr("Status"), text);
}

void ImportWindow::setOption(int option)
{
    GetLinksSettings::storeOption(m_settings, option);
}

void ImportWindow::importFile()
{
    const QString path = Dialogs::openFileName(this, WindowState::startFolder(m_settings),
                                               SiteImporter::FileFilter);
    WindowState::rememberFile(m_settings, path);
    if (path.isEmpty())
        return;
    const ImportOutcome outcome = m_kind == Kind::LinkingSites
                                      ? SiteImporter::importLinkingSites(m_project, path)
                                      : SiteImporter::importMainSites(m_project, path);
    if (!outcome.ok) {
        Dialogs::information(this, outcome.error, windowTitle());
        return;
    }
    setStatus(outcome.status);
}

void ImportWindow::getLinks()
{
    GetLinksRequest request;
    request.option = Option1[1]->isChecked() ? GetLinksRequest::Script : GetLinksRequest::LinkPage;
    request.linkPageUrl = Text1->text();
    request.scriptUrl = Text2->text();
    request.delimiterIndex = m_delimiterIndex;
    request.delimiterText = Combo1->currentText();
    m_getLinks->start(request);
}

void ImportWindow::addSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    const ScanState& state = m_project.state();
    if (state.iCurrentMain < 1 || m_project.linkingSites(state.iCurrentMain) == nullptr) {
        Dialogs::information(this, tr("No Main Site is selected to add Linking Sites to."),
                             windowTitle());
        return;
    }
    m_getLinks->addSelected(m_project, rows);
}

void ImportWindow::reject()
{
    // A download still running is abandoned: its answer never reaches the closed window.
    if (m_getLinks)
        m_getLinks->abort();
    QDialog::reject();
}

void ImportWindow::closeEvent(QCloseEvent* event)
{
    if (m_getLinks)
        m_getLinks->abort();
    QDialog::closeEvent(event);
}

bool ImportWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (ListView1 && watched == ListView1->viewport() && mouse->button() == Qt::RightButton) {
        ListView1->selectAll();
        return true;
    }
    if (auto* radio = qobject_cast<QRadioButton*>(
            watched->property(qPrintable(kRadioLabel)).value<QObject*>());
        radio && mouse->button() == Qt::LeftButton) {
        radio->click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvane
