// The window's controls: names, captions, entries, colours, geometry and initial values.

#include <type_traits>

#include <QGuiApplication>
#include <QScreen>

#include "protocol/units.h"
#include "ui/controls/skin.h"
#include "ui/main_form.h"
#include "ui/port_item_delegate.h"
#include "ui/port_source.h"

// Resources of a static library must be registered by name, outside any namespace.
static void RegisterFormResources() {
    Q_INIT_RESOURCE(tovra_ui);
}

namespace tovra {

namespace {

template <typename Control>
Control* Named(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

ui::GroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height) {
    return Named(new ui::GroupBox(QString::fromLatin1(caption), parent), name, left, top, width,
                 height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top,
                  int width, int height) {
    auto* label =
        Named(new QLabel(QString::fromLatin1(caption), parent), name, left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int top,
                        int width, int height) {
    auto* button = Named(new QPushButton(QString::fromLatin1(caption), parent), name, left, top,
                         width, height);
    ui::StyleButton(button);
    return button;
}

ui::ComboList* MakeList(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const QStringList& items, int selected, bool editable = false) {
    auto* list = Named(new ui::ComboList(parent, editable), name, left, top, width, height);
    list->SetItems(items);
    list->SetItemIndex(selected);
    ui::SetFieldColour(list, ui::kListColour);
    return list;
}

ui::NumberEdit* MakeNumberEdit(QWidget* parent, const char* name, int left, int top, int width,
                               int height, const char* mask, double value, QRgb colour) {
    auto* edit = Named(new ui::NumberEdit(parent), name, left, top, width, height);
    edit->setFrame(false);
    edit->SetMask(QString::fromLatin1(mask));
    edit->SetValue(value);
    ui::SetFieldColour(edit, colour);
    return edit;
}

template <typename Container>
QStringList Texts(const Container& values) {
    QStringList texts;
    for (const auto& v : values) {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(v)>>) {
            texts << QString::number(v);
        } else {
            texts << QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
        }
    }
    return texts;
}

}  // namespace

void TMainForm::BuildLayout() {
    RegisterFormResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("TOVRA RF TOOL---LORA Modem"));
    // The window draws its own title bar, as the skinned frame did; no scaling of its
    // pixel coordinates beyond what the platform applies to every window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(ui::FormFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(ui::kFormBackground));
    setPalette(palette);
    setAutoFillBackground(true);
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/tovra/icon-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);

    suiForm1TitleBar = new ui::TitleBar(this);

    const QStringList bauds = Texts(kBaudRates);
    const QStringList parities = Texts(kParityNames);
    constexpr int k9600 = 3;

    suiGroupBox1 = MakeGroup(this, "suiGroupBox1", "Usart", 0, 24, 129, 81);
    suiButton_OpenPort = MakeButton(suiGroupBox1, "suiButton_OpenPort", "Open", 0, 14, 57, 17);
    suiComboBox_PcPort =
        MakeList(suiGroupBox1, "suiComboBox_PcPort", 66, 10, 57, 21, {}, -1, PortListEditable());
    port_delegate_ = new PortItemDelegate(suiComboBox_PcPort);
    suiComboBox_PcPort->setItemDelegate(port_delegate_);
    Label1 = MakeLabel(suiGroupBox1, "Label1", "BaudRate", 3, 36, 57, 19);
    suiComboBox_PcBaudRate =
        MakeList(suiGroupBox1, "suiComboBox_PcBaudRate", 66, 34, 57, 21, bauds, k9600);
    Label2 = MakeLabel(suiGroupBox1, "Label2", "Parity", 5, 56, 49, 21);
    suiComboBox_PcParity =
        MakeList(suiGroupBox1, "suiComboBox_PcParity", 66, 58, 57, 21, parities, 0);

    suiGroupBox2 = MakeGroup(this, "suiGroupBox2", "RF_frequency", 136, 24, 113, 40);
    suiNumberEdit_RfFrequency = MakeNumberEdit(suiGroupBox2, "suiNumberEdit_RfFrequency", 7, 17, 42,
                                               17, "0.00", 434, ui::kFrequencyColour);
    Label3 = MakeLabel(suiGroupBox2, "Label3", "MHz", 53, 18, 41, 15);

    suiGroupBox3 = MakeGroup(this, "suiGroupBox3", "RF_Factor", 264, 24, 121, 41);
    suiComboBox_RfFactor =
        MakeList(suiGroupBox3, "suiComboBox_RfFactor", 8, 15, 57, 21, Texts(kChips), 4);
    Label4 = MakeLabel(suiGroupBox3, "Label4", "Chips", 72, 16, 33, 19);

    suiGroupBox10 = MakeGroup(this, "suiGroupBox10", "RF_Mode", 136, 67, 113, 47);
    suiComboBox_RfMode =
        MakeList(suiGroupBox10, "suiComboBox_RfMode", 8, 17, 65, 21, Texts(kModeNames), 0);
    Label9 = MakeLabel(suiGroupBox10, "Label9", "Mode", 77, 19, 33, 19);

    suiGroupBox5 = MakeGroup(this, "suiGroupBox5", "RF_BW", 264, 67, 121, 47);
    suiComboBox_RFBW =
        MakeList(suiGroupBox5, "suiComboBox_RFBW", 10, 17, 57, 21, Texts(kBandwidthNames), 1);
    Label6 = MakeLabel(suiGroupBox5, "Label6", "Kbs", 71, 20, 41, 19);

    suiGroupBox4 = MakeGroup(this, "suiGroupBox4", "Version", 137, 117, 112, 47);
    suiComboBox1 = MakeList(suiGroupBox4, "suiComboBox1", 8, 16, 89, 21,
                            {QStringLiteral("v1.7"), QStringLiteral("v1.8")}, 0, true);

    suiGroupCtrl = MakeGroup(this, "suiGroupCtrl", "Control", 264, 117, 121, 47);
    suiButton1 = MakeButton(suiGroupCtrl, "suiButton1", "Write", 8, 15, 49, 24);
    suiButton2 = MakeButton(suiGroupCtrl, "suiButton2", "Read", 64, 15, 49, 24);
    suiGroupCtrl->setEnabled(false);

    suiGroupBox8 = MakeGroup(this, "suiGroupBox8", "Node ID", 136, 166, 113, 41);
    suiNumberEdit_CustID_H = MakeNumberEdit(suiGroupBox8, "suiNumberEdit_CustID_H", 8, 14, 41, 19,
                                            "0", 0, ui::kIdColour);
    suiNumberEdit_CustID_L = MakeNumberEdit(suiGroupBox8, "suiNumberEdit_CustID_L", 64, 14, 41, 19,
                                            "0", 0, ui::kIdColour);

    suiGroupBox9 = MakeGroup(this, "suiGroupBox9", "Net ID", 264, 166, 57, 41);
    suiNumberEdit_NetID =
        MakeNumberEdit(suiGroupBox9, "suiNumberEdit_NetID", 10, 14, 39, 19, "0", 0, ui::kIdColour);

    suiGroupBox7 = MakeGroup(this, "suiGroupBox7", "Power", 328, 166, 57, 41);
    QStringList powers;
    for (int level = 1; level <= 7; ++level) {
        powers << QString::number(level);
    }
    suiComboBox_Power = MakeList(suiGroupBox7, "suiComboBox_Power", 4, 16, 49, 21, powers, 6);

    suiGroupBox6 = MakeGroup(this, "suiGroupBox6", "Serial Port Configuration", 136, 211, 249, 45);
    Label7 = MakeLabel(suiGroupBox6, "Label7", "BaudRate", 5, 21, 54, 19);
    suiComboBox_McuBaudRate =
        MakeList(suiGroupBox6, "suiComboBox_McuBaudRate", 61, 17, 65, 21, bauds, k9600);
    Label8 = MakeLabel(suiGroupBox6, "Label8", "Parity", 148, 21, 41, 19);
    suiComboBox_McuParity =
        MakeList(suiGroupBox6, "suiComboBox_McuParity", 182, 17, 49, 21, parities, 0);

    btn_WriteAll = MakeButton(this, "btn_WriteAll", "Write All", 144, 264, 97, 25);
    btn_ReadAll = MakeButton(this, "btn_ReadAll", "Read All", 272, 262, 97, 27);

    img1 = Named(new ui::Picture(this), "img1", 2, 111, 131, 121);
    img1->SetImage(QPixmap(QStringLiteral(":/tovra/module.jpg")));
    img2 = Named(new ui::Picture(this), "img2", -1, 235, 135, 61);
    img2->SetImage(QPixmap(QStringLiteral(":/tovra/logo.jpg")));
    img2->setToolTip(HomePageUrl().toString());

    suiStatusBar1 = Named(new ui::StatusBar(this), "suiStatusBar1", 0, 301, 389, 21);
    suiStatusBar1->AddPanel(120, Qt::AlignLeft);
    suiStatusBar1->AddPanel(160, Qt::AlignHCenter);
    suiStatusBar1->AddPanel(60, Qt::AlignHCenter);

    tmr1 = new QTimer(this);
    tmr1->setObjectName(QStringLiteral("tmr1"));
    tmr1->setInterval(1000);

    (new ui::FrameBorder(this))->raise();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TMainForm::BindEvents() {
    connect(suiButton_OpenPort, &QPushButton::clicked, this, &TMainForm::suiButton_OpenPortClick);
    connect(btn_WriteAll, &QPushButton::clicked, this, &TMainForm::btn_WriteAllClick);
    connect(btn_ReadAll, &QPushButton::clicked, this, &TMainForm::btn_ReadAllClick);
    connect(suiButton1, &QPushButton::clicked, this, &TMainForm::suiButton1Click);
    connect(suiButton2, &QPushButton::clicked, this, &TMainForm::suiButton2Click);
    connect(suiNumberEdit_RfFrequency, &ui::NumberEdit::Changed, this,
            &TMainForm::suiNumberEdit_RfFrequencyChange);
    connect(suiNumberEdit_CustID_H, &ui::NumberEdit::Changed, this,
            &TMainForm::suiNumberEdit_CustID_HChange);
    connect(suiNumberEdit_CustID_L, &ui::NumberEdit::Changed, this,
            &TMainForm::suiNumberEdit_CustID_LChange);
    connect(suiNumberEdit_NetID, &ui::NumberEdit::Changed, this,
            &TMainForm::suiNumberEdit_NetIDChange);
    connect(img2, &ui::Picture::Clicked, this, &TMainForm::img2Click);
    connect(tmr1, &QTimer::timeout, this, &TMainForm::tmr1Timer);

    for (ui::NumberEdit* edit : {suiNumberEdit_RfFrequency, suiNumberEdit_CustID_H,
                                 suiNumberEdit_CustID_L, suiNumberEdit_NetID}) {
        edit->SetBeep(services_.beep);
        edit->SetErrorDisplay(services_.show_error);
    }
    if (PortListEditable()) {
        suiComboBox_PcPort->SetBeforePopup([this] { FillPortList(true); });
    }
    connect(suiComboBox_PcPort, &QComboBox::currentIndexChanged, this,
            &TMainForm::ShowPortDescription);
}

}  // namespace tovra
