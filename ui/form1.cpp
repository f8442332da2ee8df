#include "ui/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QCoreApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>

#include <chrono>
#include <exception>

#include "ui/form_layout.h"
#include "ui/form_texts.h"
#include "ui/window_placement.h"

namespace varnox {

TForm1::TForm1(PortOpener& opener, Clock& clock, BoxPresenter& boxes, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      bridge_(*this),
      engine_(opener, clock, bridge_),
      boxes_(boxes)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kFormCaption));
    CreateControls();
    CreatePortMenu();
    // The client area keeps its size; the window is as large as it and the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            [this](int index) { bridge_.CacheSelectorIndex(index); });
    bridge_.CacheSelectorIndex(ComboBox1->currentIndex());

    FormCreate();
}

TForm1::~TForm1()
{
    // Closing is refused during a run, but the window may still be destroyed
    // under one (end of program): the engine needs the window's thread until
    // it has finished, so keep serving it.
    while (!worker_done_.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (worker_.joinable())
        worker_.join();
}

void TForm1::FormCreate()
{
    DEBUG_BOX->setVisible(true);
    engine_.SelectedPort = 1;
    ProbePorts();
    for (const char* line : kStartupInstructions)
        LogLine(QString::fromUtf8(line));
    Button5->setText(QString::fromLatin1(kButtonCaption));
}

void TForm1::ProbePorts()
{
    const auto usable = ProbeMenuPorts(engine_.Opener());
    for (int port = 1; port <= kMenuPorts; ++port)
        port_items_[port - 1]->setEnabled(usable[port - 1]);
}

void TForm1::PortItemClick(int port)
{
    // The menu is disabled during a run; this also holds for a direct call.
    if (running_)
        return;
    engine_.SelectedPort = port;
}

void TForm1::Button5Click()
{
    // A second run must never start inside the first, and a button the run
    // has disabled stays dead even to a direct call.
    if (running_ || engine_.Running() || !Button5->isEnabled())
        return;
    if (worker_.joinable())
        worker_.join();
    running_ = true;
    Button5->setEnabled(false);
    port_menu_->menuAction()->setEnabled(false);
    worker_done_ = false;
    worker_ = std::thread([this] {
        // An exception must not end the program with the window in its run
        // state; it is reported once the run has been wound up.
        QString failure;
        try {
            engine_.Run();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        } catch (...) {
            failure = QStringLiteral("unknown error");
        }
        // Queued behind every operation the run posted, so the window shows
        // the whole run before it counts as ended.
        QMetaObject::invokeMethod(this, [this, failure] { OnRunFinished(failure); }, Qt::QueuedConnection);
        worker_done_ = true;
    });
}

void TForm1::OnRunFinished(const QString& failure)
{
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    port_menu_->menuAction()->setEnabled(true);
    Button5->setEnabled(engine_button_enabled_);
    if (!failure.isEmpty())
        ShowBox({QMessageBox::Critical, QString::fromLatin1(kProgramName), QString::fromUtf8(kRunFailedText), failure});
    emit RunFinished();
}

QStringList TForm1::LogLines() const
{
    QStringList lines;
    if (!log_has_lines_)
        return lines;
    for (QTextBlock block = Messaggio->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void TForm1::LogLine(const QString& text)
{
    // An empty document already holds one empty block; the first line goes
    // into it so that an empty first line is not lost.
    QTextCursor cursor(Messaggio->document());
    cursor.movePosition(QTextCursor::End);
    if (log_has_lines_)
        cursor.insertBlock();
    cursor.insertText(text);
    log_has_lines_ = true;
    Messaggio->setTextCursor(cursor);
    Messaggio->ensureCursorVisible();
}

void TForm1::ClearLog()
{
    Messaggio->clear();
    log_has_lines_ = false;
}

void TForm1::SetFieldText(Field field, const QString& text)
{
    switch (field) {
    case Field::PanelType: panelTypebox->setText(text); break;
    case Field::Address: Address->setText(text); break;
    case Field::FlashAddress: FlashAddress->setText(text); break;
    case Field::ErrorCounter: ErrorCounter->setText(text); break;
    }
}

void TForm1::SetEngineButtonEnabled(bool enabled)
{
    engine_button_enabled_ = enabled;
    if (!running_)
        Button5->setEnabled(enabled);
}

void TForm1::ShowBox(const BoxRequest& box)
{
    boxes_.Present(this, box);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!running_) {
        event->accept();
        return;
    }
    event->ignore();
    ShowBox({QMessageBox::Warning, QString::fromLatin1(kProgramName), QString::fromUtf8(kCloseRefusedText), {}});
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    const QScreen* where = screen();
    const QSize frame = frameGeometry().size();
    move(where != nullptr ? ClampToAvailable({kFormLeft, kFormTop}, frame, where->availableGeometry())
                          : QPoint(kFormLeft, kFormTop));
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // Gauge1 keeps to the client area's bottom edge.
    Gauge1->setGeometry(0, client_->height() - kGaugeHeight, client_->width(), kGaugeHeight);
}

}  // namespace varnox
