#include "ui/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>

#include "ui/core/form_texts.h"
#include "ui/core/window_placement.h"

namespace varnox {

MainWindow::MainWindow(PortOpener& opener, Clock& clock, BoxPresenter& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint),
      core_(*this, opener, clock),
      boxes_(boxes)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kFormCaption));
    CreateControls();
    CreatePortMenu();
    CreateWindowMenus();
    core_.Libraries.push_back("Qt 6 (GNU LGPL version 3)");
    core_.Libraries.push_back("libjpeg-turbo (IJG licence and modified BSD licence)");
    // The client area keeps its size; the window is as large as it and the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(UpdateButton, &QPushButton::clicked, this, [this] { StartUpdate(); });

    core_.Start();
}

MainWindow::~MainWindow()
{
    // Closing is refused during a run, but the program may still end under
    // one; the widgets must outlive the run's last operation.
    core_.EndRun();
}

void MainWindow::WakeWindowThread()
{
    QMetaObject::invokeMethod(
        this, [this] { core_.ServeOperations(); }, Qt::QueuedConnection);
}

void MainWindow::ServeEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void MainWindow::ShowBox(const BoxText& box)
{
    BoxRequest request;
    switch (box.Icon) {
    case BoxIcon::None: request.Icon = QMessageBox::NoIcon; break;
    case BoxIcon::Warning: request.Icon = QMessageBox::Warning; break;
    case BoxIcon::Error: request.Icon = QMessageBox::Critical; break;
    }
    request.Title = QString::fromStdString(box.Title);
    request.Text = QString::fromStdString(box.Text);
    request.Detail = QString::fromStdString(box.Detail);
    boxes_.Present(this, request);
}

QStringList MainWindow::LogLines() const
{
    QStringList lines;
    if (!log_has_lines_)
        return lines;
    for (QTextBlock block = Log->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void MainWindow::LogLine(const std::string& text)
{
    // An empty document already holds one empty block; the first line goes
    // into it so that an empty first line is not lost.
    QTextCursor cursor(Log->document());
    cursor.movePosition(QTextCursor::End);
    if (log_has_lines_)
        cursor.insertBlock();
    cursor.insertText(QString::fromStdString(text));
    log_has_lines_ = true;
    Log->setTextCursor(cursor);
    Log->ensureCursorVisible();
}

void MainWindow::ClearLog()
{
    Log->clear();
    log_has_lines_ = false;
}

void MainWindow::SetGaugeVisible(bool visible)
{
    ProgressGauge->setVisible(visible);
}

void MainWindow::SetGaugeProgress(int progress)
{
    ProgressGauge->SetProgress(progress);
}

void MainWindow::SetGaugeMaximum(int maximum)
{
    ProgressGauge->SetMaximum(maximum);
}

void MainWindow::RepaintGauge()
{
    // The window repaints on its own thread; asking is enough.
    ProgressGauge->update();
}

void MainWindow::SetFieldText(Field field, const std::string& text)
{
    const QString value = QString::fromStdString(text);
    switch (field) {
    case Field::PanelType: PanelTypeField->setText(value); break;
    case Field::Address: EepromAddressField->setText(value); break;
    case Field::FlashAddress: FlashAddressField->setText(value); break;
    case Field::ErrorCounter: ErrorCounterField->setText(value); break;
    }
}

void MainWindow::EnableRunControls(bool button, bool port_menu)
{
    UpdateButton->setEnabled(button);
    port_menu_->menuAction()->setEnabled(port_menu);
}

void MainWindow::EnablePortItem(int port, bool enabled)
{
    port_items_[port - 1]->setEnabled(enabled);
}

void MainWindow::ShowPortMenu(const PortMenuModel& menu)
{
    for (int port = 1; port <= kMenuPorts; ++port) {
        const QString device = QString::fromStdString(menu.Items[port - 1].Device);
        port_items_[port - 1]->setToolTip(device);
        port_items_[port - 1]->setStatusTip(device);
    }
    for (QAction* item : beyond_items_) {
        port_menu_->removeAction(item);
        item->deleteLater();
    }
    beyond_items_.clear();
    if (menu.Beyond.empty())
        return;
    beyond_items_.push_back(port_menu_->addSeparator());
    for (const PortMenuItem& model : menu.Beyond) {
        QAction* item = port_menu_->addAction(QString::fromStdString(model.Text));
        item->setObjectName(QString::fromStdString(model.Text));
        item->setToolTip(QString::fromStdString(model.Device));
        item->setStatusTip(QString::fromStdString(model.Device));
        const int port = model.Port;
        connect(item, &QAction::triggered, this, [this, port] { SelectPort(port); });
        beyond_items_.push_back(item);
    }
}

void MainWindow::SetButtonText(const std::string& text)
{
    UpdateButton->setText(QString::fromStdString(text));
}

void MainWindow::SetInfoBoxVisible(bool visible)
{
    InfoBox->setVisible(visible);
}

int MainWindow::SelectorIndex() const
{
    return LanguageSelector->currentIndex();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (core_.MayClose())
        event->accept();
    else
        event->ignore();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    const QScreen* where = screen();
    const QSize frame = frameGeometry().size();
    if (where == nullptr) {
        move(kFormLeft, kFormTop);
        return;
    }
    const QRect area = where->availableGeometry();
    const ScreenRect place =
        PlaceFrame(frame.width(), frame.height(), {area.left(), area.top(), area.width(), area.height()});
    move(place.Left, place.Top);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // The gauge, and the verdict band in its place, keep to the client area's bottom edge.
    ProgressGauge->setGeometry(0, client_->height() - kGaugeHeight, client_->width(), kGaugeHeight);
    VerdictBand->setGeometry(ProgressGauge->geometry());
}

}  // namespace varnox
