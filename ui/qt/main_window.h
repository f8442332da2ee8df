#pragma once
// The tool's one window, Qt 6 shell of the window core (ui/core): widgets,
// painting, and the hand-over of the engine's operations to the window's
// thread. The core decides what a click does and what is refused.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <vector>

#include "comm/serial_port.h"
#include "core/clock.h"
#include "ui/core/form_layout.h"
#include "ui/core/main_window_core.h"
#include "ui/core/main_window_view.h"
#include "ui/qt/box_presenter.h"
#include "ui/qt/gauge.h"

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

class MainWindow final : public QMainWindow, private MainWindowView {
    Q_OBJECT
public:
    // `opener` and `clock` serve the probe and every update; `boxes` shows
    // the modal boxes. All three must outlive the window.
    MainWindow(PortOpener& opener, Clock& clock, BoxPresenter& boxes, QWidget* parent = nullptr);
    // A run still under way is asked to stop; the window serves it until it has.
    ~MainWindow() override;

    // CONTINUE: the update, on the worker thread; refused during a run.
    void StartUpdate() { core_.StartUpdate(); }
    // The port menu: item n chooses port n for the next run.
    void SelectPort(int port) { core_.SelectPort(port); }

    bool RunInProgress() const { return core_.RunInProgress(); }
    MainWindowCore& Core() { return core_; }
    UpdateEngine& Engine() { return core_.Engine(); }
    int SelectedPort() { return core_.Engine().SelectedPort.load(); }
    // The log's lines; none after ClearLog.
    QStringList LogLines() const;
    QAction* PortItem(int port) const { return port_items_[port - 1]; }
    // The items after the eight: a separator, then one per port above them.
    const std::vector<QAction*>& BeyondItems() const { return beyond_items_; }
    QMenu* PortMenu() const { return port_menu_; }
    // The entry of the menus after the port menu that gives `command`.
    QAction* MenuItem(MenuCommand command) const { return menu_items_.at(command); }
    // Why the logo could not be shown; empty when it was.
    const QString& LogoError() const { return logo_error_; }

    // The controls by what they are; their object names are the layout's (ui/core/form_layout.h).
    QFrame* LogoFrame = nullptr;
    Gauge* ProgressGauge = nullptr;
    QFrame* LogoBevel = nullptr;
    QLabel* LogoImage = nullptr;
    QLabel* LanguageLabel = nullptr;
    QPushButton* UpdateButton = nullptr;
    QPlainTextEdit* Log = nullptr;
    QComboBox* LanguageSelector = nullptr;
    QGroupBox* InfoBox = nullptr;
    QLabel* PanelTypeLabel = nullptr;
    QLineEdit* PanelTypeField = nullptr;
    QLabel* EepromAddressLabel = nullptr;
    QLineEdit* EepromAddressField = nullptr;
    QLabel* FlashAddressLabel = nullptr;
    QLineEdit* FlashAddressField = nullptr;
    QLabel* ErrorsLabel = nullptr;
    QLineEdit* ErrorCounterField = nullptr;
    // How the last run ended, in the gauge's place until the next run starts.
    QLabel* VerdictBand = nullptr;

signals:
    // A run has ended and the window shows its ending.
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // MainWindowView
    void WakeWindowThread() override;
    void ServeEvents() override;
    void ShowBox(const BoxText& box) override;
    void LogLine(const std::string& text) override;
    void ClearLog() override;
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int progress) override;
    void SetGaugeMaximum(int maximum) override;
    void RepaintGauge() override;
    void SetFieldText(Field field, const std::string& text) override;
    void EnableRunControls(bool button, bool port_menu) override;
    void EnablePortItem(int port, bool enabled) override;
    void ShowPortMenu(const PortMenuModel& menu) override;
    void SetButtonText(const std::string& text) override;
    void SetInfoBoxVisible(bool visible) override;
    int SelectorIndex() const override;
    void RunEnded() override { emit RunFinished(); }
    void RefreshMenus() override;
    std::string ChooseTraceFile() override;
    std::optional<std::string> AskTechnician(const std::string& current) override;
    std::string ChooseReportFile(const std::string& suggested_name) override;
    int ShowHistory(const std::vector<std::string>& header,
                    const std::vector<std::vector<std::string>>& rows) override;
    bool AskOpenReport(const std::string& path) override;
    void OpenInBrowser(const std::string& path) override;
    void ShowAbout(const std::string& text) override;
    void ShowVerdictBand(VerdictColour colour, const std::string& text) override;
    void HideVerdictBand() override;

    // main_window_controls.cpp
    void CreateControls();
    template <typename W>
    W* Dressed(W* widget, ControlId id);
    void CreatePortMenu();
    // main_window_menus.cpp
    void CreateWindowMenus();
    void PlaceControls();
    void ShowLogo();

    MainWindowCore core_;
    BoxPresenter& boxes_;

    QWidget* client_ = nullptr;
    QFont dialog_font_;
    QMenu* port_menu_ = nullptr;
    std::array<QAction*, kMenuPorts> port_items_{};
    std::vector<QAction*> beyond_items_;  // the separator, then the ports above the eight
    std::map<MenuCommand, QAction*> menu_items_;
    QString logo_error_;
    bool log_has_lines_ = false;
    bool placed_ = false;
};

}  // namespace varnox
