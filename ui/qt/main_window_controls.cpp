// The window's controls: creation in the order of the window's layout (later
// controls lie above earlier ones), dressed from the layout table: name,
// font, text colour, state, place and tab order.

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "firmware/language_selector.h"
#include "ui/core/form_layout.h"
#include "ui/core/form_texts.h"
#include "ui/qt/logo.h"
#include "ui/qt/main_window.h"

namespace varnox {
namespace {

QFont FontOf(ControlFont font, QFont dialog)
{
    switch (font) {
    case ControlFont::Dialog: break;
    case ControlFont::Bold: dialog.setBold(true); break;
    case ControlFont::Italic: dialog.setItalic(true); break;
    case ControlFont::Log:
        dialog.setPointSize(10);
        dialog.setBold(true);
        dialog.setStyleHint(QFont::SansSerif);
        break;
    }
    return dialog;
}

// The text colour holds while the control is enabled (active and inactive
// window); a disabled control keeps the system's greyed text.
void SetTextColour(QWidget* widget, const QColor& colour)
{
    QPalette colours = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            colours.setColor(group, role, colour);
    }
    widget->setPalette(colours);
}

}  // namespace

template <typename W>
W* MainWindow::Dressed(W* widget, ControlId id)
{
    const ControlPlace& place = PlaceOf(id);
    widget->setObjectName(QString::fromLatin1(place.Name));
    widget->setFont(FontOf(place.Font, dialog_font_));
    switch (place.Colour) {
    case TextColour::System: break;
    case TextColour::Red: SetTextColour(widget, Qt::red); break;
    case TextColour::Blue: SetTextColour(widget, Qt::blue); break;
    case TextColour::ActiveTitle:
        // Qt has no role for the active title bar; the selection colour is
        // its nearest relative in the palette.
        SetTextColour(widget, palette().color(QPalette::Active, QPalette::Highlight));
        break;
    }
    const QString text = QString::fromUtf8(place.Text);
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
    widget->setEnabled(place.Enabled);
    if (!place.Visible)
        widget->setVisible(false);
    return widget;
}

void MainWindow::CreateControls()
{
    // The system's sans-serif dialog font at 8 pt, on the button-face colour.
    dialog_font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    dialog_font_.setStyleHint(QFont::SansSerif);
    dialog_font_.setPointSize(8);
    setFont(dialog_font_);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    client_ = new QWidget(this);
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    // LogoFrame: white with a 1-pixel black outline.
    LogoFrame = Dressed(new QFrame(client_), kShape1);
    LogoFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    LogoFrame->setLineWidth(1);
    LogoFrame->setAutoFillBackground(true);
    QPalette shape = LogoFrame->palette();
    shape.setColor(QPalette::Window, Qt::white);
    shape.setColor(QPalette::WindowText, Qt::black);
    LogoFrame->setPalette(shape);

    ProgressGauge = Dressed(new Gauge(client_), kGauge1);

    LogoBevel = Dressed(new QFrame(client_), kBevel1);
    LogoBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);

    LogoImage = Dressed(new QLabel(client_), kImage1);
    LogoImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    LanguageLabel = Dressed(new QLabel(client_), kLabel1);
    UpdateButton = Dressed(new QPushButton(client_), kButton5);

    Log = Dressed(new QPlainTextEdit(client_), kMessaggio);
    Log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Log->setTabChangesFocus(true);
    LogLine({});  // the log starts with one empty line

    LanguageSelector = Dressed(new QComboBox(client_), kComboBox1);
    LanguageSelector->setEditable(true);
    for (const SelectorEntry& entry : kLanguageSelector)
        LanguageSelector->addItem(QString::fromLatin1(entry.Text));
    LanguageSelector->setCurrentIndex(-1);

    InfoBox = Dressed(new QGroupBox(client_), kDebugBox);
    PanelTypeLabel = Dressed(new QLabel(InfoBox), kLabel4);
    PanelTypeField = Dressed(new QLineEdit(InfoBox), kPanelTypebox);
    EepromAddressLabel = Dressed(new QLabel(InfoBox), kLabel2);
    EepromAddressField = Dressed(new QLineEdit(InfoBox), kAddress);
    FlashAddressLabel = Dressed(new QLabel(InfoBox), kLabel3);
    FlashAddressField = Dressed(new QLineEdit(InfoBox), kFlashAddress);
    ErrorsLabel = Dressed(new QLabel(InfoBox), kLabel5);
    ErrorCounterField = Dressed(new QLineEdit(InfoBox), kErrorCounter);

    std::vector<ControlPlace> tab_stops;
    std::copy_if(kControlPlaces.begin(), kControlPlaces.end(), std::back_inserter(tab_stops),
                 [](const ControlPlace& place) { return place.TabOrder > 0; });
    std::sort(tab_stops.begin(), tab_stops.end(),
              [](const ControlPlace& a, const ControlPlace& b) { return a.TabOrder < b.TabOrder; });
    for (std::size_t i = 1; i < tab_stops.size(); ++i) {
        setTabOrder(client_->findChild<QWidget*>(QString::fromLatin1(tab_stops[i - 1].Name)),
                    client_->findChild<QWidget*>(QString::fromLatin1(tab_stops[i].Name)));
    }
    UpdateButton->setFocus();

    PlaceControls();
    ShowLogo();
    setWindowIcon(WindowIcon());
}

void MainWindow::CreatePortMenu()
{
    port_menu_ = menuBar()->addMenu(QString::fromLatin1(kPortMenuTitle));
    port_menu_->setObjectName(QStringLiteral("PortMenu"));
    port_menu_->setToolTipsVisible(true);
    const auto items = PortMenuItems(core_.Engine().Opener());
    for (int port = 1; port <= kMenuPorts; ++port) {
        const PortMenuItem& model = items[port - 1];
        QAction* item = port_menu_->addAction(QString::fromStdString(model.Text));
        // The window's definition names item COMn "COMn1".
        item->setObjectName(QString::fromStdString(model.Text) + QLatin1Char('1'));
        item->setToolTip(QString::fromStdString(model.Device));
        item->setStatusTip(QString::fromStdString(model.Device));
        connect(item, &QAction::triggered, this, [this, port] { SelectPort(port); });
        port_items_[port - 1] = item;
    }
    // Probed again each time it opens: an adapter plugged in since becomes selectable.
    connect(port_menu_, &QMenu::aboutToShow, this, [this] { core_.ProbePorts(); });
}

void MainWindow::PlaceControls()
{
    for (const ControlPlace& place : kControlPlaces) {
        auto* control = client_->findChild<QWidget*>(QString::fromLatin1(place.Name));
        if (control == nullptr)
            continue;
        const int width = place.Width != 0 ? place.Width : control->sizeHint().width();
        const int height = place.Height != 0 ? place.Height : control->sizeHint().height();
        control->setGeometry(place.Left, place.Top, width, height);
    }
}

void MainWindow::ShowLogo()
{
    const QImage logo = LoadLogo(logo_error_);
    if (!logo.isNull())
        LogoImage->setPixmap(QPixmap::fromImage(FitInside(logo, QSize(kLogoWidth, kLogoHeight))));
}

}  // namespace varnox
