#pragma once
// How the window shows its modal boxes and dialogs. The real presenter opens
// them and waits for the user; tests put one in its place that records them
// and answers at once.

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QAbstractItemModel;

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
    // A file to write, `suggested` offered; empty when cancelled.
    virtual QString AskSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                                const QString& filter) = 0;
    // One line of text, `current` offered; std::nullopt when cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label,
                                           const QString& current) = 0;
    virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // The run history as a table; the row chosen for its report, or -1.
    virtual int ChooseRow(QWidget* parent, const QString& title, QAbstractItemModel& table) = 0;
    // Opens `path` in the user's browser.
    virtual void OpenFile(const QString& path) = 0;
};

class ModalBoxPresenter final : public BoxPresenter {
public:
    void Present(QWidget* parent, const BoxRequest& box) override;
    QString AskSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                        const QString& filter) override;
    std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label,
                                   const QString& current) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    int ChooseRow(QWidget* parent, const QString& title, QAbstractItemModel& table) override;
    void OpenFile(const QString& path) override;
};

}  // namespace varnox
