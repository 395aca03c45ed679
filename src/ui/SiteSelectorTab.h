#pragma once

#include <QWidget>

class QComboBox;
class QGroupBox;

namespace corvane {

class MainSiteList;

// A tab whose work is done for one Main Site chosen in its selector: "Pages" (the page builder)
// and "Post" (posting results). The selector is refilled with the Main Sites whenever the tab is
// chosen.
class SiteSelectorTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteSelectorTab)

public:
    SiteSelectorTab(const QString& frameName, const QString& title, const QString& selectorName,
                    const QString& note, QWidget* parent = nullptr);

    // Empties the selector and fills it with the Main Sites in list order.
    void refill(const MainSiteList& mainSites);
    QComboBox* selector() const { return m_selector; }
    QGroupBox* frame() const { return m_frame; }

private:
    QGroupBox* m_frame;
    QComboBox* m_selector;
};

} // namespace corvane
