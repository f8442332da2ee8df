// The window's controls: creation in the order of the window's definition
// (later controls lie above earlier ones), look, placement and tab order.

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

#include "firmware/language_selector.h"
#include "ui/form1.h"
#include "ui/form_layout.h"
#include "ui/form_texts.h"
#include "ui/logo.h"

namespace varnox {
namespace {

template <typename W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* NamedLabel(QWidget* parent, const char* name, const char* text)
{
    return Named(new QLabel(QString::fromUtf8(text), parent), name);
}

// A field the system writes and the user can neither focus nor edit.
QLineEdit* ReadOnlyField(QWidget* parent, const char* name, bool italic)
{
    auto* field = Named(new QLineEdit(parent), name);
    field->setEnabled(false);
    if (italic) {
        QFont font = field->font();
        font.setItalic(true);
        field->setFont(font);
    }
    return field;
}

QFont Emphasised(QFont font, int point_size, bool bold)
{
    font.setPointSize(point_size);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette colours = widget->palette();
    colours.setColor(role, colour);
    widget->setPalette(colours);
}

}  // namespace

void TForm1::CreateControls()
{
    // The system's sans-serif dialog font at 8 pt, on the button-face colour.
    QFont dialog_font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    dialog_font.setStyleHint(QFont::SansSerif);
    dialog_font.setPointSize(8);
    setFont(dialog_font);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    client_ = new QWidget(this);
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    Shape1 = Named(new QFrame(client_), "Shape1");
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setLineWidth(1);
    Shape1->setAutoFillBackground(true);
    SetTextColour(Shape1, QPalette::Window, Qt::white);
    SetTextColour(Shape1, QPalette::WindowText, Qt::black);

    Gauge1 = Named(new Gauge(client_), "Gauge1");
    Gauge1->setVisible(false);

    Bevel1 = Named(new QFrame(client_), "Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Image1 = Named(new QLabel(client_), "Image1");
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label1 = NamedLabel(client_, "Label1", kLanguageLabel);
    Label1->setFont(Emphasised(dialog_font, 8, true));
    SetTextColour(Label1, QPalette::WindowText, Qt::blue);
    Label1->setVisible(false);

    Button5 = Named(new QPushButton(QString::fromUtf8(kStoredButtonCaption), client_), "Button5");
    Button5->setFont(Emphasised(dialog_font, 8, true));
    // Qt has no role for the active title bar; the selection colour is its
    // nearest relative in the palette.
    SetTextColour(Button5, QPalette::ButtonText, palette().color(QPalette::Active, QPalette::Highlight));

    Messaggio = Named(new QPlainTextEdit(client_), "Messaggio");
    QFont log_font = Emphasised(dialog_font, 10, true);
    log_font.setStyleHint(QFont::SansSerif);
    Messaggio->setFont(log_font);
    SetTextColour(Messaggio, QPalette::Text, Qt::red);
    Messaggio->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Messaggio->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Messaggio->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Messaggio->setTabChangesFocus(true);
    LogLine(QString());  // the log starts with one empty line

    ComboBox1 = Named(new QComboBox(client_), "ComboBox1");
    ComboBox1->setEditable(true);
    for (const SelectorEntry& entry : kLanguageSelector)
        ComboBox1->addItem(QString::fromLatin1(entry.Text));
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setVisible(false);

    DEBUG_BOX = Named(new QGroupBox(QString::fromLatin1(kInfoBoxTitle), client_), "DEBUG_BOX");
    Label4 = NamedLabel(DEBUG_BOX, "Label4", kPanelTypeLabel);
    panelTypebox = ReadOnlyField(DEBUG_BOX, "panelTypebox", false);
    Label2 = NamedLabel(DEBUG_BOX, "Label2", kEepromAddressLabel);
    Address = ReadOnlyField(DEBUG_BOX, "Address", true);
    Label3 = NamedLabel(DEBUG_BOX, "Label3", kFlashAddressLabel);
    FlashAddress = ReadOnlyField(DEBUG_BOX, "FlashAddress", true);
    Label5 = NamedLabel(DEBUG_BOX, "Label5", kErrorsLabel);
    ErrorCounter = ReadOnlyField(DEBUG_BOX, "ErrorCounter", true);

    setTabOrder(Button5, Messaggio);
    setTabOrder(Messaggio, ComboBox1);
    setTabOrder(ComboBox1, DEBUG_BOX);
    Button5->setFocus();

    PlaceControls();
    ShowLogo();
    setWindowIcon(WindowIcon());
}

void TForm1::CreatePortMenu()
{
    static constexpr const char* kItemNames[kMenuPorts] = {"COM11", "COM21", "COM31", "COM41",
                                                           "COM51", "COM61", "COM71", "COM81"};
    port_menu_ = menuBar()->addMenu(QString::fromLatin1(kPortMenuTitle));
    port_menu_->setObjectName(QStringLiteral("PortMenu"));
    port_menu_->setToolTipsVisible(true);
    PortOpener& opener = engine_.Opener();
    for (int port = 1; port <= kMenuPorts; ++port) {
        QAction* item = port_menu_->addAction(QStringLiteral("COM%1").arg(port));
        item->setObjectName(QString::fromLatin1(kItemNames[port - 1]));
        const std::string device = opener.DeviceName(port);
        const QString shown = device.empty() ? QStringLiteral("(no device)") : QString::fromStdString(device);
        item->setToolTip(shown);
        item->setStatusTip(shown);
        connect(item, &QAction::triggered, this, [this, port] { PortItemClick(port); });
        port_items_[port - 1] = item;
    }
}

void TForm1::PlaceControls()
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

void TForm1::ShowLogo()
{
    const QImage logo = LoadLogo(logo_error_);
    if (!logo.isNull())
        Image1->setPixmap(QPixmap::fromImage(FitInside(logo, QSize(kLogoWidth, kLogoHeight))));
}

}  // namespace varnox
