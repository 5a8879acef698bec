#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "form_fixture.h"
#include "suites.h"
#include "ui/controls/skin.h"

using tovra::TMainForm;
using tovra::ui::ComboList;
using tovra::ui::GroupBox;
using tovra::ui::NumberEdit;

namespace {

QString CaptionOf(const QWidget* w) {
    if (const auto* group = qobject_cast<const GroupBox*>(w)) {
        return group->title();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text();
    }
    if (const auto* edit = qobject_cast<const NumberEdit*>(w)) {
        return edit->text();
    }
    if (const auto* list = qobject_cast<const ComboList*>(w)) {
        return list->Text();
    }
    return {};
}

QStringList EntriesOf(const ComboList* list) {
    QStringList entries;
    for (int i = 0; i < list->Count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

const QStringList kBauds{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
const QStringList kParities{"NO", "ODD", "EVEN"};

}  // namespace

class FormLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void Window() {
        FormFixture f;
        QCOMPARE(f->windowTitle(), QStringLiteral("TOVRA RF TOOL---LORA Modem"));
        QCOMPARE(f->size(), QSize(389, 322));
        QCOMPARE(f->minimumSize(), f->maximumSize());  // fixed size
        QCOMPARE(f->objectName(), QStringLiteral("MainForm"));
        QCOMPARE(f->palette().color(QPalette::Window), QColor(251, 251, 251));
        QCOMPARE(f->font().pixelSize(), 11);
        QCOMPARE(f->suiForm1TitleBar->geometry(), QRect(0, 0, 389, 24));
        QVERIFY(!f->windowIcon().isNull());
    }

    // Every control: parent, geometry and caption (or shown text) of the layout.
    void Controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, const char* parent, QRect geometry,
                            const char* caption) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent)
                                << geometry << QString::fromLatin1(caption);
        };
        row("suiGroupBox1", "MainForm", {0, 24, 129, 81}, "Usart");
        row("suiButton_OpenPort", "suiGroupBox1", {0, 14, 57, 17}, "Open");
        row("suiComboBox_PcPort", "suiGroupBox1", {66, 10, 57, 21}, "");
        row("Label1", "suiGroupBox1", {3, 36, 57, 19}, "BaudRate");
        row("suiComboBox_PcBaudRate", "suiGroupBox1", {66, 34, 57, 21}, "9600");
        row("Label2", "suiGroupBox1", {5, 56, 49, 21}, "Parity");
        row("suiComboBox_PcParity", "suiGroupBox1", {66, 58, 57, 21}, "NO");
        row("suiGroupBox2", "MainForm", {136, 24, 113, 40}, "RF_frequency");
        row("suiNumberEdit_RfFrequency", "suiGroupBox2", {7, 17, 42, 17}, "434.00");
        row("Label3", "suiGroupBox2", {53, 18, 41, 15}, "MHz");
        row("suiGroupBox3", "MainForm", {264, 24, 121, 41}, "RF_Factor");
        row("suiComboBox_RfFactor", "suiGroupBox3", {8, 15, 57, 21}, "2048");
        row("Label4", "suiGroupBox3", {72, 16, 33, 19}, "Chips");
        row("suiGroupBox10", "MainForm", {136, 67, 113, 47}, "RF_Mode");
        row("suiComboBox_RfMode", "suiGroupBox10", {8, 17, 65, 21}, "Normal");
        row("Label9", "suiGroupBox10", {77, 19, 33, 19}, "Mode");
        row("suiGroupBox5", "MainForm", {264, 67, 121, 47}, "RF_BW");
        row("suiComboBox_RFBW", "suiGroupBox5", {10, 17, 57, 21}, "125K");
        row("Label6", "suiGroupBox5", {71, 20, 41, 19}, "Kbs");
        row("suiGroupBox4", "MainForm", {137, 117, 112, 47}, "Version");
        row("suiComboBox1", "suiGroupBox4", {8, 16, 89, 21}, "v1.7");
        row("suiGroupCtrl", "MainForm", {264, 117, 121, 47}, "Control");
        row("suiButton1", "suiGroupCtrl", {8, 15, 49, 24}, "Write");
        row("suiButton2", "suiGroupCtrl", {64, 15, 49, 24}, "Read");
        row("suiGroupBox8", "MainForm", {136, 166, 113, 41}, "Node ID");
        row("suiNumberEdit_CustID_H", "suiGroupBox8", {8, 14, 41, 19}, "0");
        row("suiNumberEdit_CustID_L", "suiGroupBox8", {64, 14, 41, 19}, "0");
        row("suiGroupBox9", "MainForm", {264, 166, 57, 41}, "Net ID");
        row("suiNumberEdit_NetID", "suiGroupBox9", {10, 14, 39, 19}, "0");
        row("suiGroupBox7", "MainForm", {328, 166, 57, 41}, "Power");
        row("suiComboBox_Power", "suiGroupBox7", {4, 16, 49, 21}, "7");
        row("suiGroupBox6", "MainForm", {136, 211, 249, 45}, "Serial Port Configuration");
        row("Label7", "suiGroupBox6", {5, 21, 54, 19}, "BaudRate");
        row("suiComboBox_McuBaudRate", "suiGroupBox6", {61, 17, 65, 21}, "9600");
        row("Label8", "suiGroupBox6", {148, 21, 41, 19}, "Parity");
        row("suiComboBox_McuParity", "suiGroupBox6", {182, 17, 49, 21}, "NO");
        row("btn_WriteAll", "MainForm", {144, 264, 97, 25}, "Write All");
        row("btn_ReadAll", "MainForm", {272, 262, 97, 27}, "Read All");
        row("img1", "MainForm", {2, 111, 131, 121}, "");
        row("img2", "MainForm", {-1, 235, 135, 61}, "");
        row("suiStatusBar1", "MainForm", {0, 301, 389, 21}, "");
    }
    void Controls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        FormFixture f;
        const auto* control = f->findChild<QWidget*>(name);
        QVERIFY2(control != nullptr, qPrintable(name));
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(CaptionOf(control), caption);
    }

    void ListEntriesAndSelection_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("editable");
        QTest::newRow("PcBaudRate") << "suiComboBox_PcBaudRate" << kBauds << 3 << false;
        QTest::newRow("PcParity") << "suiComboBox_PcParity" << kParities << 0 << false;
        QTest::newRow("RfFactor") << "suiComboBox_RfFactor"
                                  << QStringList{"128", "256", "512", "1024", "2048", "4096"} << 4
                                  << false;
        QTest::newRow("RfMode") << "suiComboBox_RfMode" << QStringList{"Normal", "Saving"} << 0
                                << false;
        QTest::newRow("RFBW") << "suiComboBox_RFBW" << QStringList{"62.5K", "125K", "250K", "500K"}
                              << 1 << false;
        QTest::newRow("Version") << "suiComboBox1" << QStringList{"v1.7", "v1.8"} << 0 << true;
        QTest::newRow("Power") << "suiComboBox_Power"
                               << QStringList{"1", "2", "3", "4", "5", "6", "7"} << 6 << false;
        QTest::newRow("McuBaudRate") << "suiComboBox_McuBaudRate" << kBauds << 3 << false;
        QTest::newRow("McuParity") << "suiComboBox_McuParity" << kParities << 0 << false;
    }
    void ListEntriesAndSelection() {
        QFETCH(QString, name);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(bool, editable);
        FormFixture f;
        const auto* list = f->findChild<ComboList*>(name);
        QVERIFY(list != nullptr);
        QCOMPARE(EntriesOf(list), entries);
        QCOMPARE(list->ItemIndex(), selected);
        QCOMPARE(list->isEditable(), editable);
        QCOMPARE(list->palette().color(QPalette::Base), QColor(0, 255, 0));
    }

    void Edits_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<double>("value");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("frequency") << "suiNumberEdit_RfFrequency"
                                   << "0.00" << 434.0 << QColor(tovra::ui::kFrequencyColour);
        for (const char* id :
             {"suiNumberEdit_CustID_H", "suiNumberEdit_CustID_L", "suiNumberEdit_NetID"}) {
            QTest::newRow(id) << id << "0" << 0.0 << QColor(tovra::ui::kIdColour);
        }
    }
    void Edits() {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QFETCH(double, value);
        QFETCH(QColor, colour);
        FormFixture f;
        const auto* edit = f->findChild<NumberEdit*>(name);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->Mask(), mask);
        QCOMPARE(edit->Value(), value);
        QVERIFY(!edit->hasFrame());
        QCOMPARE(edit->palette().color(QPalette::Base), colour);
    }

    void InitialStateBeforeShowing() {
        FormFixture f;
        QVERIFY(!f->suiGroupCtrl->isEnabled());
        QVERIFY(!f->suiButton1->isEnabled());
        QVERIFY(!f->tmr1->isActive());
        QCOMPARE(f->tmr1->interval(), 1000);
        QCOMPARE(f->ReplyTicks, -1);
        QVERIFY(f->RecvMessage != 0);
        QCOMPARE(f->RecvMessage, tovra::RegisterWindowMessage("QD530RASerial_MSG_RECV_1"));
        QCOMPARE(f->suiStatusBar1->PanelCount(), 3);
        const int widths[] = {120, 160, 60};
        const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f->suiStatusBar1->PanelAt(i).width, widths[i]);
            QCOMPARE(f->suiStatusBar1->PanelAt(i).alignment, alignments[i]);
            QCOMPARE(f->suiStatusBar1->PanelText(i), QString());
        }
        QVERIFY(!f->img1->Image().isNull());
        QVERIFY(!f->img2->Image().isNull());
        QCOMPARE(f->img1->Image().size(), QSize(500, 413));
        QCOMPARE(f->img2->Image().size(), QSize(97, 50));
    }

    void ShowingFillsPortsAndStatus() {
        FormFixture f({Port("/dev/ttyUSB0", "USB serial adapter"), Port("/dev/ttyS0", "16550A")});
        f->show();
        QCOMPARE(f->suiComboBox_PcPort->Count(), 2);
        QCOMPARE(f->suiComboBox_PcPort->ItemIndex(), 0);
        QCOMPARE(f->suiComboBox_PcPort->Text(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(f->suiComboBox_PcPort->toolTip(), QStringLiteral("USB serial adapter"));
        QCOMPARE(f->suiComboBox_PcPort->itemData(1, Qt::ToolTipRole).toString(),
                 QStringLiteral("16550A"));
        // The drop-down is wide enough for names and descriptions.
        QVERIFY(f->suiComboBox_PcPort->view()->minimumWidth() >
                f->suiComboBox_PcPort->fontMetrics().horizontalAdvance(
                    QStringLiteral("/dev/ttyUSB0 USB serial adapter")));
        QCOMPARE(f->suiStatusBar1->PanelText(0), QStringLiteral("Closed"));
        QCOMPARE(f->suiStatusBar1->PanelText(1), QString());  // empty until the first action
        QCOMPARE(f->suiStatusBar1->PanelText(2), QLocale().toString(f.now, QLocale::ShortFormat));
        QVERIFY(f->tmr1->isActive());
        QVERIFY(f->suiComboBox_PcPort->isEnabled());
        QVERIFY(!f->btn_WriteAll->isEnabled());
        QVERIFY(!f->btn_ReadAll->isEnabled());
        QCOMPARE(f->suiButton_OpenPort->text(), QStringLiteral("Open"));
        // A second show (e.g. after hiding) does not list the ports twice.
        f->hide();
        f->show();
        QCOMPARE(f->suiComboBox_PcPort->Count(), 2);
    }

    void PortListRefreshesWhenItDropsDown() {
        FormFixture f({Port("/dev/ttyS0", "16550A"), Port("/dev/ttyUSB0", "CP2102")});
        f->show();
        f->suiComboBox_PcPort->SetItemIndex(1);
        f.SetPorts({Port("/dev/ttyUSB0", "CP2102"), Port("/dev/ttyACM0", "CDC ACM")});
        f->suiComboBox_PcPort->showPopup();
        f->suiComboBox_PcPort->hidePopup();
        QCOMPARE(f->suiComboBox_PcPort->Count(), 2);
        QCOMPARE(f->suiComboBox_PcPort->Text(), QStringLiteral("/dev/ttyUSB0"));  // kept
        QCOMPARE(f->suiComboBox_PcPort->ItemIndex(), 0);
        // A typed path that is not listed stays as typed.
        f->suiComboBox_PcPort->setEditText(QStringLiteral("/tmp/my-port"));
        f->suiComboBox_PcPort->showPopup();
        f->suiComboBox_PcPort->hidePopup();
        QCOMPARE(f->suiComboBox_PcPort->Text(), QStringLiteral("/tmp/my-port"));
        QCOMPARE(f->suiComboBox_PcPort->Count(), 2);
    }
};

int RunFormLayoutTests(int argc, char** argv) {
    FormLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "form_layout_test.moc"
