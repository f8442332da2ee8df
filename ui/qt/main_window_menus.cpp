// The menus after the port menu, built from the core's table, and the dialogs
// and the verdict band they lead to. What an entry does is the core's.

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardItemModel>
#include <QStandardPaths>

#include "ui/qt/main_window.h"

namespace varnox {

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

// Background and text of the band for each verdict.
std::pair<QColor, QColor> BandColours(VerdictColour colour)
{
    switch (colour) {
    case VerdictColour::Green: return {QColor(0x1b, 0x7f, 0x2a), Qt::white};
    case VerdictColour::Amber: return {QColor(0xf2, 0xa9, 0x00), Qt::black};
    case VerdictColour::Red: return {QColor(0xc6, 0x1a, 0x1a), Qt::white};
    case VerdictColour::Grey: break;
    }
    return {QColor(0x70, 0x70, 0x70), Qt::white};
}

}  // namespace

void MainWindow::CreateWindowMenus()
{
    QMenu* menu = nullptr;
    for (const MenuEntry& entry : kWindowMenus) {
        const QString title = QString::fromLatin1(entry.Menu);
        if (menu == nullptr || menu->title() != title) {
            menu = menuBar()->addMenu(title);
            menu->setObjectName(title);
        }
        QAction* item = menu->addAction(QString::fromLatin1(entry.Caption));
        item->setObjectName(QString::fromLatin1(entry.Caption));
        item->setCheckable(entry.Checkable);
        const MenuCommand command = entry.Command;
        connect(item, &QAction::triggered, this, [this, command] {
            core_.OnMenuCommand(command);
            // A refused or cancelled choice puts the check mark back.
            RefreshMenus();
        });
        menu_items_[command] = item;
    }

    VerdictBand = new QLabel(client_);
    VerdictBand->setObjectName(QStringLiteral("VerdictBand"));
    VerdictBand->setAlignment(Qt::AlignCenter);
    VerdictBand->setAutoFillBackground(true);
    QFont bold = dialog_font_;
    bold.setBold(true);
    VerdictBand->setFont(bold);
    VerdictBand->hide();
}

void MainWindow::RefreshMenus()
{
    for (const auto& [command, item] : menu_items_) {
        const MenuItemState state = core_.ItemState(command);
        item->setChecked(state.Checked);
        item->setEnabled(state.Enabled);
    }
}

std::string MainWindow::ChooseTraceFile()
{
    const QString start = QDir::home().filePath(QStringLiteral("varnox-trace.txt"));
    return boxes_
        .AskSaveFile(this, QString::fromLatin1(CaptionOf(MenuCommand::WriteTrace)), start,
                     QStringLiteral("Trace (*.txt);;All files (*)"))
        .toStdString();
}

std::optional<std::string> MainWindow::AskTechnician(const std::string& current)
{
    const auto name = boxes_.AskText(this, QString::fromLatin1(CaptionOf(MenuCommand::Technician)),
                                     QStringLiteral("Technician's name, kept for the run record and the report:"),
                                     Text(current));
    if (!name)
        return std::nullopt;
    return name->trimmed().toStdString();
}

std::string MainWindow::ChooseReportFile(const std::string& suggested_name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return boxes_
        .AskSaveFile(this, QString::fromLatin1(CaptionOf(MenuCommand::SaveReport)),
                     QDir(folder).filePath(Text(suggested_name)), QStringLiteral("Report (*.html);;All files (*)"))
        .toStdString();
}

int MainWindow::ShowHistory(const std::vector<std::string>& header,
                            const std::vector<std::vector<std::string>>& rows)
{
    QStandardItemModel table(int(rows.size()), int(header.size()));
    for (std::size_t column = 0; column < header.size(); ++column)
        table.setHorizontalHeaderItem(int(column), new QStandardItem(Text(header[column])));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column)
            table.setItem(int(row), int(column), new QStandardItem(Text(rows[row][column])));
    }
    return boxes_.ChooseRow(this, QString::fromLatin1(CaptionOf(MenuCommand::RunHistory)), table);
}

bool MainWindow::AskOpenReport(const std::string& path)
{
    return boxes_.AskYesNo(this, QString::fromLatin1(kProgramName),
                           QStringLiteral("Report saved to %1.\n\nOpen it in the browser?").arg(Text(path)));
}

void MainWindow::OpenInBrowser(const std::string& path)
{
    boxes_.OpenFile(Text(path));
}

void MainWindow::ShowAbout(const std::string& text)
{
    BoxRequest about;
    about.Icon = QMessageBox::Information;
    about.Title = QString::fromLatin1(CaptionOf(MenuCommand::About));
    about.Text = Text(text);
    boxes_.Present(this, about);
}

void MainWindow::ShowVerdictBand(VerdictColour colour, const std::string& text)
{
    const auto [background, foreground] = BandColours(colour);
    QPalette colours = VerdictBand->palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, foreground);
    VerdictBand->setPalette(colours);
    VerdictBand->setText(Text(text));
    VerdictBand->setProperty("verdict", int(colour));
    VerdictBand->setGeometry(ProgressGauge->geometry());
    ProgressGauge->hide();
    VerdictBand->show();
    VerdictBand->raise();
}

void MainWindow::HideVerdictBand()
{
    VerdictBand->hide();
}

}  // namespace varnox
