#pragma once
// Gauge1: a horizontal progress bar that shows the whole percentage done.
// It keeps progress and maximum itself, so a maximum of 0 or a progress set
// before its maximum never confuses the bar (QProgressBar would reset or
// show its "busy" animation).

#include <QProgressBar>

namespace varnox {

class Gauge final : public QProgressBar {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    void SetProgress(int progress);
    void SetMaximum(int maximum);
    int Progress() const { return progress_; }
    int Maximum() const { return maximum_; }

    // GaugeText (core/gauge_percent.h), e.g. "37%".
    QString text() const override;

private:
    void Show();

    int progress_ = 0;
    int maximum_ = 100;
};

}  // namespace varnox
