#include "ui/CommandButtons.h"

#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>

namespace corvane {

CommandButtons::CommandButtons(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("fraCommands"));
    cmdNew = makeButton(this, QStringLiteral("cmdNew"), tr("New"), tr("Start a new project"));
    cmdOpen = makeButton(this, QStringLiteral("cmdOpen"), tr("Open"), tr("Open a project file"));
    cmdSave = makeButton(this, QStringLiteral("cmdSave"), tr("Save"), tr("Save the project"));
    Command9 = makeButton(this, QStringLiteral("Command9"), tr("Options"),
                          tr("Open the options menu"));
    Command1 = makeButton(this, QStringLiteral("Command1"), tr("Start Scan"),
                          tr("Scan the Linking Sites for links to your Main Sites"));
    cmdStop = makeButton(this, QStringLiteral("cmdStop"), tr("Stop"), tr("Stop the scan"));
    cmdSkip = makeButton(this, QStringLiteral("cmdSkip"), tr("Skip"),
                         tr("Skip the current linking site"));
    Command10 = makeButton(this, QStringLiteral("Command10"), QString(), tr("Select scan type"));
    Command10->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    cmdWebsite = makeButton(this, QStringLiteral("cmdWebsite"), QString(), tr("Open Browser"));
    cmdWebsite->setAccessibleName(QString());
    // The Web tab has a Stop of its own.
    cmdStop->setAccessibleName(tr("Stop Scan"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* b : {cmdNew, cmdOpen, cmdSave, Command9})
        layout->addWidget(b);
    layout->addSpacing(16);
    for (QPushButton* b : {Command1, cmdStop, cmdSkip, Command10})
        layout->addWidget(b);
    layout->addStretch(1);
    layout->addWidget(cmdWebsite);

    Command1->setDefault(false);
    setScanning(false);
}

void CommandButtons::setScanning(bool scanning)
{
    for (QPushButton* b : {Command1, cmdNew, cmdOpen, cmdSave, Command10})
        b->setEnabled(!scanning);
    cmdStop->setEnabled(scanning);
    cmdSkip->setEnabled(scanning);
}

} // namespace corvane
