#pragma once
// TForm1: the tool's one window. It probes the ports at start-up, lets the
// user choose the port, and runs the update of the CONTINUE button on a
// worker thread so that the window stays live throughout; while a run is
// under way the button, the port menu and closing the window are refused.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <thread>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "core/window_ops.h"
#include "ui/box_presenter.h"
#include "ui/gauge.h"
#include "ui/port_probe.h"
#include "ui/window_bridge.h"
#include "update/update_engine.h"

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace varnox {

class TForm1 final : public QMainWindow {
    Q_OBJECT
public:
    // `opener` and `clock` serve the probe and every update; `boxes` shows
    // the modal boxes. All three must outlive the window.
    TForm1(PortOpener& opener, Clock& clock, BoxPresenter& boxes, QWidget* parent = nullptr);
    // Waits for a run still under way (the window keeps being serviced).
    ~TForm1() override;

    // The update of the CONTINUE button, started on the worker thread;
    // refused while a run is under way.
    void Button5Click();
    // The port menu: item n selects port n for the next run.
    void COM11Click() { PortItemClick(1); }
    void COM21Click() { PortItemClick(2); }
    void COM31Click() { PortItemClick(3); }
    void COM41Click() { PortItemClick(4); }
    void COM51Click() { PortItemClick(5); }
    void COM61Click() { PortItemClick(6); }
    void COM71Click() { PortItemClick(7); }
    void COM81Click() { PortItemClick(8); }

    bool RunInProgress() const { return running_; }
    UpdateEngine& Engine() { return engine_; }
    int SelectedPort() const { return engine_.SelectedPort.load(); }
    // The log's lines; none after ClearLog.
    QStringList LogLines() const;
    QAction* PortItem(int port) const { return port_items_[port - 1]; }
    QMenu* PortMenu() const { return port_menu_; }
    // Why the logo could not be shown; empty when it was.
    const QString& LogoError() const { return logo_error_; }

    // Window operations of the engine, on the window's thread (WindowBridge).
    void LogLine(const QString& text);
    void ClearLog();
    void SetFieldText(Field field, const QString& text);
    void SetEngineButtonEnabled(bool enabled);
    void ShowBox(const BoxRequest& box);

    // The controls, named as in the window's definition.
    QFrame* Shape1 = nullptr;
    Gauge* Gauge1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button5 = nullptr;
    QPlainTextEdit* Messaggio = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QGroupBox* DEBUG_BOX = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* panelTypebox = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Address = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* FlashAddress = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* ErrorCounter = nullptr;

signals:
    // A run has ended and the window shows its ending.
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreatePortMenu();
    void PlaceControls();
    void ShowLogo();
    void FormCreate();
    void ProbePorts();
    void PortItemClick(int port);
    void OnRunFinished(const QString& failure);

    WindowBridge bridge_;
    UpdateEngine engine_;
    BoxPresenter& boxes_;

    QWidget* client_ = nullptr;
    QMenu* port_menu_ = nullptr;
    std::array<QAction*, kMenuPorts> port_items_{};
    QString logo_error_;
    bool log_has_lines_ = false;
    bool placed_ = false;

    bool running_ = false;
    // The button's state as the engine last set it; shown once a run ends.
    bool engine_button_enabled_ = true;
    std::thread worker_;
    std::atomic<bool> worker_done_{true};
};

}  // namespace varnox
