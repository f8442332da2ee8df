#include "ui/qt/gauge.h"

#include <algorithm>

#include "core/gauge_percent.h"

namespace varnox {

Gauge::Gauge(QWidget* parent) : QProgressBar(parent)
{
    setOrientation(Qt::Horizontal);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    // Black bar on white.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::Highlight, Qt::black);
    colours.setColor(QPalette::Text, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::black);
    colours.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(colours);
    Show();
}

void Gauge::SetProgress(int progress)
{
    progress_ = progress;
    Show();
}

void Gauge::SetMaximum(int maximum)
{
    maximum_ = maximum;
    Show();
}

QString Gauge::text() const
{
    return QString::fromStdString(GaugeText(progress_, maximum_));
}

void Gauge::Show()
{
    const int top = std::max(maximum_, 1);
    setRange(0, top);
    setValue(std::clamp(progress_, 0, top));
    update();
}

}  // namespace varnox
