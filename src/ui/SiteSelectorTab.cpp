#include "ui/SiteSelectorTab.h"

#include "model/ProjectLists.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

SiteSelectorTab::SiteSelectorTab(const QString& frameName, const QString& title,
                                 const QString& selectorName, const QString& note, QWidget* parent)
    : QWidget(parent)
{
    m_frame = new QGroupBox(title, this);
    m_frame->setObjectName(frameName);
    m_selector = new QComboBox(m_frame);
    m_selector->setObjectName(selectorName);
    m_selector->setAccessibleName(tr("Main Site"));
    auto* form = new QFormLayout(m_frame);
    form->addRow(tr("Main Site:"), m_selector);
    auto* text = new QLabel(note, m_frame);
    text->setWordWrap(true);
    form->addRow(text);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    layout->addStretch(1);
}

void SiteSelectorTab::refill(const MainSiteList& mainSites)
{
    m_selector->clear();
    for (int i = 0; i < mainSites.count(); ++i)
        m_selector->addItem(mainSites.url(i));
}

} // namespace corvane
