#pragma once

#include <QDialog>

class QLabel;

namespace corvane {

class WebsiteLauncher;

// "About <product>": the picture, the product name, its version (major.minor), its owner and
// its website; a click on the website opens it through the launcher. A dialog that leaves the
// main window usable; Close or Escape closes it.
class AboutWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutWindow)

public:
    explicit AboutWindow(WebsiteLauncher* launcher, QWidget* parent = nullptr);

private:
    QLabel* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    QLabel* lblWebsite = nullptr;
};

} // namespace corvane
