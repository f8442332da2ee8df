#include "ui/gauge.h"

#include <algorithm>

namespace varnox {

int GaugePercent(long long progress, long long maximum)
{
    if (maximum <= 0)
        return 0;
    progress = std::clamp(progress, 0LL, maximum);
    return static_cast<int>(progress * 100 / maximum);
}

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
    return QStringLiteral("%1%").arg(GaugePercent(progress_, maximum_));
}

void Gauge::Show()
{
    const int top = std::max(maximum_, 1);
    setRange(0, top);
    setValue(std::clamp(progress_, 0, top));
    update();
}

}  // namespace varnox
