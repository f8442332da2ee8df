#pragma once
// A box presenter for window tests: records every box with what the window
// showed at that moment, and closes it at once or after a pause during which
// the window keeps running (as while a user reads the box). Dialogs get the
// answers the test has set, and the history table is kept as shown.

#include <QAbstractItemModel>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <vector>

#include "ui/qt/box_presenter.h"
#include "ui/qt/main_window.h"

namespace varnox::testing {

struct RecordedBox {
    BoxRequest Box;
    bool RunInProgress = false;
    QStringList LogAtShow;
};

class RecordingBoxes final : public BoxPresenter {
public:
    void Present(QWidget* parent, const BoxRequest& box) override
    {
        RecordedBox record{box, false, {}};
        if (auto* form = qobject_cast<MainWindow*>(parent)) {
            record.RunInProgress = form->RunInProgress();
            record.LogAtShow = form->LogLines();
        }
        shown.push_back(record);
        if (hold_ms > 0) {
            QEventLoop reading;
            QTimer::singleShot(hold_ms, &reading, &QEventLoop::quit);
            reading.exec();
        }
    }

    QString AskSaveFile(QWidget*, const QString&, const QString& suggested, const QString&) override
    {
        suggested_files << suggested;
        return save_file;
    }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&, const QString&) override
    {
        return text;
    }
    bool AskYesNo(QWidget*, const QString&, const QString& question) override
    {
        questions << question;
        return false;
    }
    int ChooseRow(QWidget*, const QString&, QAbstractItemModel& table) override
    {
        history.clear();
        for (int row = 0; row < table.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table.columnCount(); ++column)
                cells << table.index(row, column).data().toString();
            history << cells.join(QLatin1Char('|'));
        }
        return chosen_row;
    }
    void OpenFile(const QString& path) override { opened << path; }

    std::vector<RecordedBox> shown;
    int hold_ms = 0;
    // The dialogs' answers, and what they were shown.
    QString save_file;
    std::optional<QString> text;
    int chosen_row = -1;
    QStringList suggested_files, questions, history, opened;
};

}  // namespace varnox::testing
