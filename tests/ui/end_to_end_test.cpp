// The window against the simulated module on a pseudo-terminal.

#include <vector>

#include <QTest>

#include "form_fixture.h"
#include "protocol/frame.h"
#include "protocol/frequency.h"
#include "protocol/units.h"
#include "sim/simulated_module.h"
#include "suites.h"

using tovra::ModuleSettings;
using tovra::sim::Faults;
using tovra::sim::SimulatedModule;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kWaitMs = 5000;

// A frequency in MHz that the module stores as exactly this register.
double MhzForRegister(std::uint32_t reg) {
    return (reg + 0.5) * 61.035 / 1e6;
}

// Frames are compared as hex text, so that a failure shows both byte sequences.
QString Hex(const Bytes& bytes) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<qsizetype>(bytes.size()))
                                   .toHex(' ')
                                   .toUpper());
}

template <std::size_t N>
QString Hex(const std::array<std::uint8_t, N>& frame) {
    return Hex(Bytes(frame.begin(), frame.end()));
}

// A simulated module and a window that has opened it.
class Bench {
  public:
    explicit Bench(const ModuleSettings& settings = tovra::InitialWindowSettings(),
                   const Faults& faults = {})
        : sim(settings, faults) {
        started = sim.Start();
        if (started) {
            f.SetPorts({Port(sim.PortPath().c_str(), "simulated module")});
        }
        f->show();
        f->tmr1->stop();  // ticks are driven by hand where a test needs them
    }

    bool Open() {
        if (!started) {
            return false;
        }
        f->suiButton_OpenPortClick();
        return f->Link()->IsOpen();
    }

    QString Panel(int index) const { return f->suiStatusBar1->PanelText(index); }

    // The bytes the module has received since the given count.
    Bytes ReceivedSince(std::size_t from) const {
        const Bytes all = sim.Received();
        return from < all.size() ? Bytes(all.begin() + static_cast<std::ptrdiff_t>(from), all.end())
                                 : Bytes();
    }

    SimulatedModule sim;
    bool started = false;
    FormFixture f;
};

ModuleSettings NonDefaultSettings() {
    ModuleSettings s;
    s.McuBaudCode = 0;  // 115200
    s.McuParity = 2;
    s.RfFrequency = 868.0;
    s.RfFactor = 7;
    s.RfMode = 1;
    s.RfBw = 9;
    s.CustID_H = 0x12;
    s.CustID_L = 0x34;
    s.NetID = 200;
    s.Power = 3;
    return s;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

  private slots:
    void OpenAndClose() {
        Bench b;
        QVERIFY(b.Open());
        QCOMPARE(b.Panel(0), QStringLiteral("Opened"));
        QCOMPARE(b.f->suiButton_OpenPort->text(), QStringLiteral("Close"));
        QVERIFY(!b.f->suiComboBox_PcPort->isEnabled());
        QVERIFY(!b.f->suiComboBox_PcBaudRate->isEnabled());
        QVERIFY(!b.f->suiComboBox_PcParity->isEnabled());
        QVERIFY(b.f->btn_ReadAll->isEnabled());
        QVERIFY(b.f->btn_WriteAll->isEnabled());
        QVERIFY(b.f->suiGroupCtrl->isEnabled());
        QVERIFY(b.f->suiButton1->isEnabled());
        QVERIFY(b.f->suiStatusBar1->toolTip().isEmpty());

        b.f->suiButton_OpenPortClick();
        QVERIFY(!b.f->Link()->IsOpen());
        QCOMPARE(b.Panel(0), QStringLiteral("Closed"));
        QCOMPARE(b.Panel(1), QStringLiteral(" "));
        QCOMPARE(b.f->suiButton_OpenPort->text(), QStringLiteral("Open"));
        QVERIFY(b.f->suiComboBox_PcPort->isEnabled());
        QVERIFY(!b.f->btn_ReadAll->isEnabled());
        QVERIFY(!b.f->suiGroupCtrl->isEnabled());
    }

    void ReadAllLoadsEveryControl() {
        Bench b(NonDefaultSettings());
        QVERIFY(b.Open());
        QTest::mouseClick(b.f->btn_ReadAll, Qt::LeftButton);
        QCOMPARE(b.Panel(1), QStringLiteral("......"));
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->ReplyTicks, -1);
        QCOMPARE(Hex(b.ReceivedSince(0)), Hex(tovra::BuildReadAllFrame()));
        QCOMPARE(b.f->suiComboBox_McuBaudRate->Text(), QStringLiteral("115200"));
        QCOMPARE(b.f->suiComboBox_McuParity->Text(), QStringLiteral("EVEN"));
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->text(), QStringLiteral("868.00"));
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->Value(), 868.0);
        QCOMPARE(b.f->suiComboBox_RfFactor->Text(), QStringLiteral("128"));
        QCOMPARE(b.f->suiComboBox_RfMode->Text(), QStringLiteral("Saving"));
        QCOMPARE(b.f->suiComboBox_RFBW->Text(), QStringLiteral("500K"));
        QCOMPARE(b.f->suiNumberEdit_CustID_H->text(), QStringLiteral("18"));
        QCOMPARE(b.f->suiNumberEdit_CustID_L->text(), QStringLiteral("52"));
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("200"));
        QCOMPARE(b.f->suiComboBox_Power->Text(), QStringLiteral("3"));
        QCOMPARE(b.f->suiComboBox1->Text(), QStringLiteral("v1.7"));  // not a version reply
    }

    // A reply value outside its guard leaves its list as it stood before the reply.
    void ReplyGuardsOnLists_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("list");
        QTest::newRow("power 0") << "Power" << 0 << "suiComboBox_Power";
        QTest::newRow("power 8") << "Power" << 8 << "suiComboBox_Power";
        QTest::newRow("factor 6") << "RfFactor" << 6 << "suiComboBox_RfFactor";
        QTest::newRow("factor 13") << "RfFactor" << 13 << "suiComboBox_RfFactor";
        QTest::newRow("mode 2") << "RfMode" << 2 << "suiComboBox_RfMode";
        QTest::newRow("bandwidth 5") << "RfBw" << 5 << "suiComboBox_RFBW";
        QTest::newRow("bandwidth 10") << "RfBw" << 10 << "suiComboBox_RFBW";
        QTest::newRow("baud code 8") << "McuBaudCode" << 8 << "suiComboBox_McuBaudRate";
        QTest::newRow("parity 3") << "McuParity" << 3 << "suiComboBox_McuParity";
    }
    void ReplyGuardsOnLists() {
        QFETCH(QString, field);
        QFETCH(int, value);
        QFETCH(QString, list);
        ModuleSettings s = tovra::InitialWindowSettings();
        s.NetID = 99;  // shows that the reply was loaded
        const auto byte = static_cast<std::uint8_t>(value);
        if (field == u"Power")
            s.Power = byte;
        if (field == u"RfFactor")
            s.RfFactor = byte;
        if (field == u"RfMode")
            s.RfMode = byte;
        if (field == u"RfBw")
            s.RfBw = byte;
        if (field == u"McuBaudCode")
            s.McuBaudCode = byte;
        if (field == u"McuParity")
            s.McuParity = byte;
        Bench b(s);
        QVERIFY(b.Open());
        auto* control = b.f->findChild<tovra::ui::ComboList*>(list);
        control->SetItemIndex(1);  // not the initial entry, so "unchanged" is visible
        b.f->btn_ReadAllClick();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->suiNumberEdit_NetID->Value(), 99.0);
        QCOMPARE(control->ItemIndex(), 1);
    }

    void ReplyFrequencyThroughTheEditGuard_data() {
        QTest::addColumn<std::uint32_t>("reg");
        QTest::addColumn<QString>("shown");
        QTest::newRow("FF FF FF shows 1024.00") << 0xFFFFFFu << "433.00";
        QTest::newRow("120 MHz") << 1966080u << "433.00";  // 120.0 MHz exactly
        QTest::newRow("990.0018 shows 990.00") << 16220191u << "990.00";
        QTest::newRow("140 MHz") << 2293760u << "140.00";
        QTest::newRow("99.99 MHz") << 1638236u << "99.99";
    }
    void ReplyFrequencyThroughTheEditGuard() {
        QFETCH(std::uint32_t, reg);
        QFETCH(QString, shown);
        ModuleSettings s = tovra::InitialWindowSettings();
        s.RfFrequency = MhzForRegister(reg);
        QCOMPARE(tovra::EncodeFrequency(s.RfFrequency), reg);
        Bench b(s);
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->text(), shown);
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->Value(), shown.toDouble());
    }

    void WriteAllSendsTheWorkedFrame() {
        Bench b;
        QVERIFY(b.Open());
        QTest::mouseClick(b.f->btn_WriteAll, Qt::LeftButton);
        QCOMPARE(b.Panel(1), QStringLiteral("......"));
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        const Bytes expected{0xAF, 0xAF, 0x00, 0x00, 0xAF, 0x80, 0x01, 0x0C, 0x04, 0x00, 0x6C, 0x80,
                             0x12, 0x0B, 0x00, 0x07, 0x00, 0x00, 0x00, 0x07, 0xB5, 0x0D, 0x0A};
        QCOMPARE(Hex(b.ReceivedSince(0)), Hex(expected));
    }

    void WriteAllFromEditedControls() {
        Bench b;
        QVERIFY(b.Open());
        b.f->suiComboBox_McuBaudRate->SetItemIndex(7);  // 115200 goes out as code 0
        b.f->suiComboBox_McuParity->SetItemIndex(1);
        b.f->suiNumberEdit_RfFrequency->setText(QStringLiteral("470"));
        b.f->suiComboBox_RfFactor->SetItemIndex(5);
        b.f->suiComboBox_RfMode->SetItemIndex(1);
        b.f->suiComboBox_RFBW->SetItemIndex(0);
        b.f->suiNumberEdit_CustID_H->setText(QStringLiteral("1"));
        b.f->suiNumberEdit_CustID_L->setText(QStringLiteral("2.9"));  // truncated
        b.f->suiNumberEdit_NetID->setText(QStringLiteral("300"));     // capped at 255
        b.f->suiComboBox_Power->SetItemIndex(0);
        b.f->btn_WriteAllClick();
        QVERIFY(b.sim.WaitForRequests(1, std::chrono::milliseconds(kWaitMs)));
        ModuleSettings s{};
        s.McuBaudCode = 0;
        s.McuParity = 1;
        s.RfFrequency = 470.0;
        s.RfFactor = 12;
        s.RfMode = 1;
        s.RfBw = 6;
        s.CustID_H = 1;
        s.CustID_L = 2;
        s.NetID = 255;
        s.Power = 1;
        const Bytes sent = b.ReceivedSince(0);
        QCOMPARE(Hex(sent), Hex(tovra::BuildWriteAllFrame(s)));
        QCOMPARE(Hex(sent).mid(30, 8), QStringLiteral("75 80 13"));  // 470.00 MHz, truncated
    }

    void ReadWriteCyclesKeepTheFrequency() {
        Bench b;
        QVERIFY(b.Open());
        for (int cycle = 0; cycle < 2; ++cycle) {
            std::size_t before = b.sim.Received().size();
            b.f->btn_ReadAllClick();
            QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
            QCOMPARE(b.f->suiNumberEdit_RfFrequency->text(), QStringLiteral("434.00"));
            QCOMPARE(b.f->suiNumberEdit_RfFrequency->Value(), 434.0);
            before = b.sim.Received().size();
            b.f->ShowStatus(QString(), 1);
            b.f->btn_WriteAllClick();
            QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
            const Bytes sent = b.ReceivedSince(before);
            QCOMPARE(Hex(sent).mid(0, 38),
                     QStringLiteral("AF AF 00 00 AF 80 01 0C 04 00 6C 80 12"));
            b.f->ShowStatus(QString(), 1);
        }
    }

    void VersionWrite_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("code");
        QTest::newRow("v1.7") << 0 << "" << 0;
        QTest::newRow("v1.8") << 1 << "" << 1;
        QTest::newRow("typed text") << 0 << "v9" << 1;
    }
    void VersionWrite() {
        QFETCH(int, position);
        QFETCH(QString, typed);
        QFETCH(int, code);
        ModuleSettings s = tovra::InitialWindowSettings();
        s.VersionCode = code == 0 ? 1 : 0;  // the module starts with the other code
        Bench b(s);
        QVERIFY(b.Open());
        b.f->suiComboBox1->SetItemIndex(position);
        if (!typed.isEmpty()) {
            b.f->suiComboBox1->setEditText(typed);
        }
        QTest::mouseClick(b.f->suiButton1, Qt::LeftButton);
        QCOMPARE(b.Panel(1), QStringLiteral("......"));
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(Hex(b.ReceivedSince(0)),
                 Hex(tovra::BuildVersionWriteFrame(static_cast<std::uint8_t>(code))));
        QCOMPARE(int{b.sim.Settings().VersionCode}, code);
        QCOMPARE(b.f->suiComboBox1->ItemIndex(), code);  // the reply selects its code
        QCOMPARE(b.f->Link()->Decoded().VersionReady, std::uint8_t{0});  // taken
    }

    void VersionReadChangesOnlyTheVersion() {
        ModuleSettings s = NonDefaultSettings();
        s.VersionCode = 1;
        Bench b(s);
        QVERIFY(b.Open());
        QTest::mouseClick(b.f->suiButton2, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(Hex(b.ReceivedSince(0)), Hex(tovra::BuildVersionReadFrame()));
        QCOMPARE(b.f->suiComboBox1->Text(), QStringLiteral("v1.8"));
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->text(), QStringLiteral("434.00"));
        QCOMPARE(b.f->suiComboBox_Power->ItemIndex(), 6);
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("0"));

        // The next settings reply is loaded: the version was taken once.
        b.f->ShowStatus(QString(), 1);
        b.f->btn_ReadAllClick();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("200"));
        QCOMPARE(b.f->suiComboBox1->Text(), QStringLiteral("v1.8"));
    }

    void VersionCodeBeyondTheListSelectsNothing() {
        ModuleSettings s = tovra::InitialWindowSettings();
        s.VersionCode = 2;
        Bench b(s);
        QVERIFY(b.Open());
        b.f->suiButton2Click();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->suiComboBox1->ItemIndex(), -1);
    }

    void LateReplyStillLoads() {
        Bench b(NonDefaultSettings());
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        // Three ticks before the window thread gets to the reply's notification.
        b.f->tmr1Timer();
        b.f->tmr1Timer();
        b.f->tmr1Timer();
        QCOMPARE(b.Panel(1), QStringLiteral("Error:TimeOut!"));
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Successful"), kWaitMs);
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("200"));
        QCOMPARE(b.f->ReplyTicks, -1);
    }

    void ClosingDoesNotStopTheCount() {
        Faults silent;
        silent.no_reply = true;
        Bench b(tovra::InitialWindowSettings(), silent);
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        b.f->tmr1Timer();
        b.f->suiButton_OpenPortClick();  // close
        QCOMPARE(b.Panel(1), QStringLiteral(" "));
        QCOMPARE(b.f->ReplyTicks, 1);
        b.f->tmr1Timer();
        QCOMPARE(b.Panel(1), QStringLiteral(" "));
        b.f->tmr1Timer();
        QCOMPARE(b.Panel(1), QStringLiteral("Error:TimeOut!"));
    }

    void ChecksumFailureLoadsNothing() {
        Faults corrupt;
        corrupt.bad_checksum = true;
        Bench b(NonDefaultSettings(), corrupt);
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Error:CheckSum!"), kWaitMs);
        QCOMPARE(b.f->ReplyTicks, -1);
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("0"));
        QCOMPARE(b.f->suiNumberEdit_RfFrequency->text(), QStringLiteral("434.00"));
    }

    void LostPortClosesTheWindowState() {
        Faults silent;
        silent.no_reply = true;
        Bench b(tovra::InitialWindowSettings(), silent);
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        QVERIFY(b.sim.WaitForRequests(1, std::chrono::milliseconds(kWaitMs)));
        b.sim.Stop();  // the module's end of the line goes away
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(1), QStringLiteral("Error:PortLost!"), kWaitMs);
        QVERIFY(!b.f->Link()->IsOpen());
        QCOMPARE(b.f->ReplyTicks, -1);
        QCOMPARE(b.Panel(0), QStringLiteral("Closed"));
        QCOMPARE(b.f->suiButton_OpenPort->text(), QStringLiteral("Open"));
        QVERIFY(b.f->suiComboBox_PcPort->isEnabled());
        QVERIFY(!b.f->btn_ReadAll->isEnabled());
        QVERIFY(!b.f->suiGroupCtrl->isEnabled());
        b.f->tmr1Timer();
        b.f->tmr1Timer();
        b.f->tmr1Timer();
        QCOMPARE(b.Panel(1), QStringLiteral("Error:PortLost!"));  // no time-out after it
    }

    void LostAfterAReply() {
        Faults lose;
        lose.lose_after = 1;
        Bench b(NonDefaultSettings(), lose);
        QVERIFY(b.Open());
        b.f->btn_ReadAllClick();
        QTRY_COMPARE_WITH_TIMEOUT(b.Panel(0), QStringLiteral("Closed"), kWaitMs);
        QCOMPARE(b.Panel(1), QStringLiteral("Error:PortLost!"));
        QCOMPARE(b.f->suiNumberEdit_NetID->text(), QStringLiteral("200"));  // the reply came first
    }
};

int RunEndToEndTests(int argc, char** argv) {
    EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "end_to_end_test.moc"
