#include "ui/qt/box_presenter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/core/window_menus.h"

namespace varnox {

void ModalBoxPresenter::Present(QWidget* parent, const BoxRequest& box)
{
    QMessageBox message(box.Icon, box.Title, box.Text, QMessageBox::Ok, parent);
    if (!box.Detail.isEmpty())
        message.setInformativeText(box.Detail);
    message.setWindowModality(Qt::ApplicationModal);
    message.exec();
}

QString ModalBoxPresenter::AskSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                                       const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

std::optional<QString> ModalBoxPresenter::AskText(QWidget* parent, const QString& title, const QString& label,
                                                  const QString& current)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, current, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

bool ModalBoxPresenter::AskYesNo(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int ModalBoxPresenter::ChooseRow(QWidget* parent, const QString& title, QAbstractItemModel& table)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.resize(900, 420);
    auto* view = new QTableView(&dialog);
    view->setModel(&table);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->resizeColumnsToContents();
    if (table.rowCount() > 0)
        view->selectRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* save =
        buttons->addButton(QString::fromLatin1(CaptionOf(MenuCommand::SaveReport)), QDialogButtonBox::AcceptRole);
    save->setEnabled(table.rowCount() > 0);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(view, &QTableView::doubleClicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || !view->selectionModel()->hasSelection())
        return -1;
    return view->selectionModel()->selectedRows().value(0).row();
}

void ModalBoxPresenter::OpenFile(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace varnox
