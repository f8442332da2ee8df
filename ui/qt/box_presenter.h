#pragma once
// How the window shows its modal boxes. The real presenter opens a
// QMessageBox and waits for the user; tests put one in its place that records
// the boxes and closes them at once.

#include <QMessageBox>
#include <QString>

namespace varnox {

struct BoxRequest {
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Title;
    QString Text;
    QString Detail;  // informative text below the main text; may be empty
};

class BoxPresenter {
public:
    virtual ~BoxPresenter() = default;
    // Shows the box modally over `parent`; returns when it has been closed.
    virtual void Present(QWidget* parent, const BoxRequest& box) = 0;
};

class ModalBoxPresenter final : public BoxPresenter {
public:
    void Present(QWidget* parent, const BoxRequest& box) override;
};

}  // namespace varnox
