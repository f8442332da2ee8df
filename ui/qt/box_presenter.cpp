#include "ui/qt/box_presenter.h"

namespace varnox {

void ModalBoxPresenter::Present(QWidget* parent, const BoxRequest& box)
{
    QMessageBox message(box.Icon, box.Title, box.Text, QMessageBox::Ok, parent);
    if (!box.Detail.isEmpty())
        message.setInformativeText(box.Detail);
    message.setWindowModality(Qt::ApplicationModal);
    message.exec();
}

}  // namespace varnox
