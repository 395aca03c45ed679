#include "ui/AboutWindow.h"

#include "branding/Branding.h"
#include "ui/Artwork.h"
#include "ui/WebsiteLauncher.h"
#include "ui/Widgets.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

namespace {

QLabel* valueLabel(QWidget* parent, const QString& objectName, const QString& text,
                   const QString& what)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    showValue(label, what, text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

AboutWindow::AboutWindow(WebsiteLauncher* launcher, QWidget* parent)
    : QDialog(parent)
{
    setModal(false);
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + Branding::productName());
    setWindowIcon(Artwork::programIcon());

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Artwork::programIcon().pixmap(128, 128));
    Picture1->setAccessibleName(tr("Program icon"));

    Label1 = new QLabel(Branding::productName(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = Label1->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    Label1->setFont(titleFont);

    // The whole version, as the command line's --version says it.
    lblVersion = valueLabel(this, QStringLiteral("lblVersion"), Branding::version(), tr("Version"));
    lblCompany = valueLabel(this, QStringLiteral("lblCompany"), Branding::ownerName(),
                            tr("Owned By"));
    // The website is a link: a click (or Enter on it) opens it through the website launcher.
    lblWebsite = valueLabel(this, QStringLiteral("lblWebsite"), Branding::website(), tr("Website"));
    lblWebsite->setText(QStringLiteral("<a href=\"website\">%1</a>").arg(Branding::website().toHtmlEscaped()));
    lblWebsite->setTextFormat(Qt::RichText);
    lblWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    lblWebsite->setToolTip(tr("Open the website in your browser"));
    connect(lblWebsite, &QLabel::linkActivated, this, [launcher] {
        if (launcher)
            launcher->openWebsite();
    });

    auto* details = new QFormLayout;
    details->addRow(QStringLiteral("Version:"), lblVersion);
    details->addRow(QStringLiteral("Owned By:"), lblCompany);
    details->addRow(QStringLiteral("Website:"), lblWebsite);

    auto* text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addLayout(details);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(20);
    top->addWidget(Picture1, 0, Qt::AlignTop);
    top->addLayout(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 24, 16);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace corvane
