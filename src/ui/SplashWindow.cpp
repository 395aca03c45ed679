#include "ui/SplashWindow.h"

#include "branding/Branding.h"
#include "ui/Artwork.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane {

SplashWindow::SplashWindow(MainWindowFactory factory, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_factory(std::move(factory))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(Branding::productName());
    setWindowIcon(Artwork::programIcon());

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const QPixmap picture = Artwork::splashPicture();
    Image1->setPixmap(picture);
    Image1->setFixedSize(picture.size());
    Image1->setAccessibleName(Branding::productName());

    // The name and version are drawn over the picture, so a rebranded build shows its own name.
    auto* title = new QLabel(Image1);
    title->setText(QStringLiteral("<span style='font-size:22pt;font-weight:600'>%1</span>"
                                  "<br><span style='font-size:10pt'>%2 %3</span>")
                       .arg(Branding::productName().toHtmlEscaped(), tr("Version"),
                            Branding::version().toHtmlEscaped()));
    title->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    title->move(24, 14);
    title->adjustSize();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(kTickMs);
    connect(Timer2, &QTimer::timeout, this, &SplashWindow::onTick);
}

void SplashWindow::start()
{
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        adjustSize();
        move(area.center() - rect().center());
    }
    show();
    Timer2->start();
}

void SplashWindow::onTick()
{
    const int before = m_intTemp;
    m_intTemp += 2;
    if (before != kLastTickValue)
        return;
    Timer2->stop();
    m_mainWindow = m_factory ? m_factory() : nullptr;
    if (m_mainWindow)
        m_mainWindow->show();
    hide();
    if (m_mainWindow)
        emit mainWindowShown(m_mainWindow);
}

} // namespace corvane
