#pragma once

#include <QWidget>

class QPushButton;

namespace corvane {

// The row of command buttons above the frames: the project's files, the options, the scan and
// the product's website.
class CommandButtons final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandButtons)

public:
    explicit CommandButtons(QWidget* parent = nullptr);

    // Start Scan, New, Open, Save and the scan-type button are disabled while a scan runs; Skip
    // and Stop only then enabled.
    void setScanning(bool scanning);

    QPushButton* cmdNew;
    QPushButton* cmdOpen;
    QPushButton* cmdSave;
    QPushButton* Command9;
    QPushButton* Command1;
    QPushButton* cmdStop;
    QPushButton* cmdSkip;
    QPushButton* Command10;
    QPushButton* cmdWebsite;
};

} // namespace corvane
