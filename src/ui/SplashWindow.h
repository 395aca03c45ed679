#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace corvane {

// The window the program starts with: its picture for 75 ticks of a 2 ms timer, then the main
// window is created and shown and the start window hides. It stays, hidden, until the main
// window closes it at shutdown.
class SplashWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashWindow)

public:
    static constexpr int kTickMs = 2;
    static constexpr int kLastTickValue = 148; // intTemp before the 75th tick's addition

    using MainWindowFactory = std::function<QWidget*()>;
    // The factory creates the main window; the splash shows it after the last tick.
    explicit SplashWindow(MainWindowFactory factory, QWidget* parent = nullptr);

    // Enables the tick timer; the window shows itself.
    void start();
    int intTemp() const { return m_intTemp; }
    QWidget* mainWindow() const { return m_mainWindow; }

signals:
    void mainWindowShown(QWidget* mainWindow);

private:
    void onTick();

    MainWindowFactory m_factory;
    QLabel* Image1 = nullptr;
    QTimer* Timer2 = nullptr;
    int m_intTemp = 0;
    QWidget* m_mainWindow = nullptr;
};

} // namespace corvane
