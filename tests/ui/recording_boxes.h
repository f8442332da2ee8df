#pragma once
// A box presenter for window tests: records every box with what the window
// showed at that moment, and closes it at once or after a pause during which
// the window keeps running (as while a user reads the box).

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

    std::vector<RecordedBox> shown;
    int hold_ms = 0;
};

}  // namespace varnox::testing
