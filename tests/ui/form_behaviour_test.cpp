#include <thread>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "form_fixture.h"
#include "suites.h"
#include "ui/qt_message_target.h"

using tovra::TMainForm;
using tovra::ui::NumberEdit;

namespace {

QString Panel(const FormFixture& f, int index) {
    return f->suiStatusBar1->PanelText(index);
}

// Clears the edit and types keys one by one, recording the text after each.
QStringList TypeInto(NumberEdit* edit, const QString& keys) {
    edit->setFocus();
    edit->clear();
    QStringList after_each;
    for (const QChar key : keys) {
        QTest::keyClicks(edit, QString(key));
        after_each << edit->text();
    }
    return after_each;
}

}  // namespace

class FormBehaviourTest : public QObject {
    Q_OBJECT

  private slots:
    void FrequencyGuardWhileTyping_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<double>("value");
        QTest::newRow("120 at the third digit")
            << "120" << QStringList{"1", "12", "433.00"} << 433.0;
        QTest::newRow("150 stays") << "150" << QStringList{"1", "15", "150"} << 150.0;
        QTest::newRow("1000 once 100 stands")
            << "1000" << QStringList{"1", "10", "433.00", "433.000"} << 433.0;
        QTest::newRow("139 at the third digit")
            << "139" << QStringList{"1", "13", "433.00"} << 433.0;
        QTest::newRow("140 stays") << "140" << QStringList{"1", "14", "140"} << 140.0;
        QTest::newRow("below 100 stays") << "99.5" << QStringList{"9", "99", "99.", "99.5"} << 99.5;
        QTest::newRow("990 stays") << "990" << QStringList{"9", "99", "990"} << 990.0;
        QTest::newRow("above 990")
            << "990.5" << QStringList{"9", "99", "990", "990.", "433.00"} << 433.0;
    }
    void FrequencyGuardWhileTyping() {
        QFETCH(QString, keys);
        QFETCH(QStringList, shown);
        QFETCH(double, value);
        FormFixture f;
        f->show();
        QCOMPARE(TypeInto(f->suiNumberEdit_RfFrequency, keys), shown);
        QCOMPARE(f->suiNumberEdit_RfFrequency->Value(), value);
    }

    void IdGuardsCapAt255_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("node id high") << "suiNumberEdit_CustID_H";
        QTest::newRow("node id low") << "suiNumberEdit_CustID_L";
        QTest::newRow("net id") << "suiNumberEdit_NetID";
    }
    void IdGuardsCapAt255() {
        QFETCH(QString, name);
        FormFixture f;
        f->show();
        auto* edit = f->findChild<NumberEdit*>(name);
        QCOMPARE(TypeInto(edit, QStringLiteral("300")), (QStringList{"3", "30", "255"}));
        QCOMPARE(edit->Value(), 255.0);
        QCOMPARE(TypeInto(edit, QStringLiteral("255")), (QStringList{"2", "25", "255"}));
        edit->setText(QStringLiteral("1e6"));  // also when set by program
        QCOMPARE(edit->text(), QStringLiteral("255"));
    }

    void PastedFrequencyIsGuarded() {
        FormFixture f;
        f->show();
        QApplication::clipboard()->setText(QStringLiteral("1000"));
        f->suiNumberEdit_RfFrequency->selectAll();
        f->suiNumberEdit_RfFrequency->paste();
        QCOMPARE(f->suiNumberEdit_RfFrequency->text(), QStringLiteral("433.00"));
    }

    void RefusedKeysBeepAndPasteErrorsAreShown() {
        FormFixture f;
        f->show();
        f->suiNumberEdit_NetID->setFocus();
        QTest::keyClicks(f->suiNumberEdit_NetID, QStringLiteral("x"));
        QCOMPARE(f.beeps, 1);
        QApplication::clipboard()->setText(QStringLiteral("net"));
        f->suiNumberEdit_NetID->selectAll();
        f->suiNumberEdit_NetID->paste();
        QCOMPARE(f->suiNumberEdit_NetID->text(), QStringLiteral("0"));
        QTRY_COMPARE_WITH_TIMEOUT(f.errors.size(), 1, 5000);
    }

    void RequestsWithThePortClosed() {
        FormFixture f;
        f->show();
        f->btn_ReadAllClick();
        QCOMPARE(Panel(f, 1), QStringLiteral("Fail!"));
        QCOMPARE(f->ReplyTicks, -1);
        f->ShowStatus(QStringLiteral("x"), 1);
        f->btn_WriteAllClick();
        QCOMPARE(Panel(f, 1), QStringLiteral("Fail!"));
        QCOMPARE(f->ReplyTicks, -1);
        f->ShowStatus(QStringLiteral("ignored"), 3);  // no such panel
        QCOMPARE(Panel(f, 1), QStringLiteral("Fail!"));
    }

    void NoPortToOpen() {
        FormFixture f;  // no ports listed
        f->show();
        QCOMPARE(f->suiComboBox_PcPort->Count(), 0);
        QCOMPARE(f->suiComboBox_PcPort->ItemIndex(), -1);
        f->suiButton_OpenPortClick();
        QVERIFY(!f->Link()->IsOpen());
        QCOMPARE(Panel(f, 0), QStringLiteral("Closed"));
        QCOMPARE(Panel(f, 1), QStringLiteral(" "));
        QCOMPARE(f->suiButton_OpenPort->text(), QStringLiteral("Open"));
        QVERIFY(!f->suiStatusBar1->toolTip().isEmpty());  // why the open failed
        QVERIFY(!f->suiGroupCtrl->isEnabled());
    }

    void OpenFailureShowsTheReason() {
        FormFixture f;
        f->show();
        f->suiComboBox_PcPort->setEditText(QStringLiteral("/dev/no-such-port"));
        f->suiButton_OpenPortClick();
        QCOMPARE(Panel(f, 0), QStringLiteral("Closed"));
        QVERIFY2(f->suiStatusBar1->toolTip().contains(QStringLiteral("no-such-port")),
                 qPrintable(f->suiStatusBar1->toolTip()));
    }

    // The timer handler is driven directly; a version request needs no open port.
    void TimeOutOnTheThirdTick() {
        FormFixture f;
        f->show();
        f->tmr1->stop();
        f->suiButton2Click();
        QCOMPARE(f->ReplyTicks, 0);
        QCOMPARE(Panel(f, 1), QStringLiteral("......"));
        f->tmr1Timer();
        f->tmr1Timer();
        QCOMPARE(f->ReplyTicks, 2);
        QCOMPARE(Panel(f, 1), QStringLiteral("......"));
        f->tmr1Timer();
        QCOMPARE(f->ReplyTicks, -1);
        QCOMPARE(Panel(f, 1), QStringLiteral("Error:TimeOut!"));
        f->tmr1Timer();  // idle: nothing more happens
        QCOMPARE(f->ReplyTicks, -1);
        QCOMPARE(Panel(f, 1), QStringLiteral("Error:TimeOut!"));
    }

    void SecondPressRestartsTheCount() {
        FormFixture f;
        f->show();
        f->tmr1->stop();
        f->suiButton2Click();
        f->tmr1Timer();
        f->tmr1Timer();
        f->suiButton1Click();
        f->tmr1Timer();
        f->tmr1Timer();
        QCOMPARE(Panel(f, 1), QStringLiteral("......"));
        f->tmr1Timer();
        QCOMPARE(Panel(f, 1), QStringLiteral("Error:TimeOut!"));
    }

    void EveryTickShowsTheTime() {
        FormFixture f;
        f->show();
        f.now = QTime(23, 59);
        f->tmr1Timer();
        QCOMPARE(Panel(f, 2), QLocale().toString(QTime(23, 59), QLocale::ShortFormat));
    }

    void NotificationsWithoutSettings_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("checksum failure") << 1 << "Error:CheckSum!";
        QTest::newRow("acknowledged") << 2 << "Successful";
    }
    void NotificationsWithoutSettings() {
        QFETCH(int, code);
        QFETCH(QString, shown);
        FormFixture f;
        f->show();
        f->suiButton2Click();
        f->OnModuleReply(static_cast<std::uintptr_t>(code));
        QCOMPARE(f->ReplyTicks, -1);
        QCOMPARE(Panel(f, 1), shown);
        // Nothing loaded: the link's decoded record is all zeros here.
        QCOMPARE(f->suiNumberEdit_RfFrequency->text(), QStringLiteral("434.00"));
        QCOMPARE(f->suiComboBox_Power->ItemIndex(), 6);
    }

    void UnknownNotificationKeepsTheCount() {
        FormFixture f;
        f->show();
        f->suiButton2Click();
        f->OnModuleReply(9);
        QCOMPARE(f->ReplyTicks, 0);
        QCOMPARE(Panel(f, 1), QStringLiteral("......"));
    }

    // Posted from another thread through the message target, as the reader does.
    void NotificationsArriveQueuedOnTheWindowThread() {
        FormFixture f;
        f->show();
        tovra::QtMessageTarget target(f.form.get());
        const std::uint32_t other = tovra::RegisterWindowMessage("some other message");
        std::thread reader([&] {
            target.Post(other, tovra::kNotifyAcknowledged, 0);
            target.Post(0, tovra::kNotifyAcknowledged, 0);
            target.Post(f->RecvMessage, tovra::kNotifyChecksumError, 0);
        });
        reader.join();
        QCOMPARE(Panel(f, 1), QString());  // nothing until the window thread runs its queue
        QTRY_COMPARE_WITH_TIMEOUT(Panel(f, 1), QStringLiteral("Error:CheckSum!"), 5000);
    }

    void LogoOpensTheHomePage() {
        FormFixture f;
        f->show();
        QTest::mouseClick(f->img2, Qt::LeftButton, {}, QPoint(60, 30));
        QCOMPARE(f.urls.size(), 1);
        QCOMPARE(f.urls.front(), tovra::HomePageUrl());
        QVERIFY(f.urls.front().isValid());
        QTest::mouseClick(f->img1, Qt::LeftButton, {}, QPoint(60, 30));
        QCOMPARE(f.urls.size(), 1);
    }

    void DestroyStopsTheTimer() {
        FormFixture f;
        f->show();
        QVERIFY(f->tmr1->isActive());
        f->FormDestroy();
        QVERIFY(!f->tmr1->isActive());
        QVERIFY(f->Link() == nullptr);
        f->OnModuleReply(0);  // a notification still queued finds no link and is dropped
    }
};

int RunFormBehaviourTests(int argc, char** argv) {
    FormBehaviourTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "form_behaviour_test.moc"
