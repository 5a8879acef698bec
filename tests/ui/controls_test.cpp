#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "suites.h"
#include "ui/controls/combo_list.h"
#include "ui/controls/group_box.h"
#include "ui/controls/number_edit.h"
#include "ui/controls/picture.h"
#include "ui/controls/status_bar.h"

using tovra::ui::ComboList;
using tovra::ui::NumberEdit;

namespace {

// An edit whose beeps and error messages are counted instead of heard or shown.
struct EditFixture {
    QWidget window;
    NumberEdit* edit = new NumberEdit(&window);
    int beeps = 0;
    QStringList errors;

    explicit EditFixture(const QString& mask, double value) {
        edit->SetMask(mask);
        edit->SetValue(value);
        edit->SetBeep([this] { ++beeps; });
        edit->SetErrorDisplay([this](const QString& message) { errors << message; });
        window.show();
        edit->setFocus();
    }

    void LeaveEdit() {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }
};

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT

  private slots:
    void TypedKeys_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("beeps");
        QTest::newRow("digits") << "0.00"
                                << "123"
                                << "123" << 0;
        QTest::newRow("one point") << "0.00"
                                   << "1.25"
                                   << "1.25" << 0;
        QTest::newRow("second point refused") << "0.00"
                                              << "1.2.5"
                                              << "1.25" << 1;
        QTest::newRow("no point without one in the mask") << "0"
                                                          << "1.2"
                                                          << "12" << 1;
        QTest::newRow("no minus") << "0.00"
                                  << "-5"
                                  << "5" << 1;
        QTest::newRow("letters") << "0"
                                 << "1a2b"
                                 << "12" << 2;
        QTest::newRow("blank") << "0"
                               << "1 2"
                               << "12" << 1;
        QTest::newRow("comma is not the point") << "0.00"
                                                << "1,5"
                                                << "15" << 1;
    }
    void TypedKeys() {
        QFETCH(QString, mask);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(int, beeps);
        EditFixture f(mask, 0);
        f.edit->clear();
        QTest::keyClicks(f.edit, keys);
        QCOMPARE(f.edit->text(), text);
        QCOMPARE(f.beeps, beeps);
        QCOMPARE(f.edit->Value(), text.toDouble());
    }

    void BackspaceAndEditingKeysPass() {
        EditFixture f(QStringLiteral("0"), 123);
        QTest::keyClick(f.edit, Qt::Key_Backspace);
        QCOMPARE(f.edit->text(), QStringLiteral("12"));
        QTest::keyClick(f.edit, Qt::Key_Home);
        QTest::keyClick(f.edit, Qt::Key_Delete);
        QCOMPARE(f.edit->text(), QStringLiteral("2"));
        QCOMPARE(f.edit->Value(), 2.0);
        QCOMPARE(f.beeps, 0);
    }

    void EveryTextChangeRereadsAndRaisesChange() {
        EditFixture f(QStringLiteral("0.00"), 434);
        QSignalSpy changed(f.edit, &NumberEdit::Changed);
        f.edit->setText(QStringLiteral("12.5"));
        QCOMPARE(f.edit->Value(), 12.5);
        f.edit->setText(QString());  // empty: the value stays
        QCOMPARE(f.edit->Value(), 12.5);
        f.edit->setText(QStringLiteral("1,000"));  // thousands separators are dropped
        QCOMPARE(f.edit->Value(), 1000.0);
        QCOMPARE(changed.count(), 3);
    }

    void ValueIsTheNumberShown() {
        EditFixture f(QStringLiteral("0.00"), 0);
        QSignalSpy changed(f.edit, &NumberEdit::Changed);
        f.edit->SetValue(434.0010986328125);
        QCOMPARE(f.edit->text(), QStringLiteral("434.00"));
        QCOMPARE(f.edit->Value(), 434.0);
        QCOMPARE(changed.count(), 1);
        // Same text already shown: no change event, but the value is still the shown one.
        f.edit->SetValue(434.004);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(f.edit->Value(), 434.0);
    }

    void PastedTextThatIsNoNumberIsReplaced_data() {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("letters") << "abc";
        QTest::newRow("two points") << "4.3.3";
        QTest::newRow("negative") << "-5";
    }
    void PastedTextThatIsNoNumberIsReplaced() {
        QFETCH(QString, pasted);
        EditFixture f(QStringLiteral("0.00"), 434);
        QApplication::clipboard()->setText(pasted);
        f.edit->selectAll();
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.edit->text(), QStringLiteral("434.00"));
        QCOMPARE(f.edit->Value(), 434.0);
        QTRY_COMPARE_WITH_TIMEOUT(f.errors.size(), 1, 5000);
        QVERIFY2(f.errors.front().contains(pasted), qPrintable(f.errors.front()));
        QCOMPARE(f.beeps, 0);
    }

    void PastedNumberIsTaken() {
        EditFixture f(QStringLiteral("0"), 0);
        QApplication::clipboard()->setText(QStringLiteral("1,024"));
        f.edit->selectAll();
        f.edit->paste();
        QCOMPARE(f.edit->Value(), 1024.0);
        QTest::qWait(50);
        QVERIFY(f.errors.isEmpty());
    }

    void LeavingEmptySetsZero_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty, two decimals") << "0.00"
                                             << ""
                                             << "0.00";
        QTest::newRow("lone minus") << "0.00"
                                    << "-"
                                    << "0.00";
        QTest::newRow("empty, integer") << "0"
                                        << ""
                                        << "0";
    }
    void LeavingEmptySetsZero() {
        QFETCH(QString, mask);
        QFETCH(QString, left);
        QFETCH(QString, shown);
        EditFixture f(mask, 434);
        f.edit->setText(left);
        QCOMPARE(f.edit->Value(), 434.0);  // still the old value while the edit is empty
        QSignalSpy changed(f.edit, &NumberEdit::Changed);
        f.LeaveEdit();
        QCOMPARE(f.edit->text(), shown);
        QCOMPARE(f.edit->Value(), 0.0);
        QCOMPARE(changed.count(), 1);
    }

    void LeavingWithNumberKeepsIt() {
        EditFixture f(QStringLiteral("0.00"), 0);
        f.edit->setText(QStringLiteral("12.345"));
        f.LeaveEdit();
        QCOMPARE(f.edit->text(), QStringLiteral("12.345"));
        QCOMPARE(f.edit->Value(), 12.345);
    }

    void ListPositions() {
        ComboList list;
        list.SetItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QCOMPARE(list.ItemIndex(), 0);
        list.SetItemIndex(2);
        QCOMPARE(list.ItemIndex(), 2);
        QCOMPARE(list.Text(), QStringLiteral("c"));
        list.SetItemIndex(3);  // beyond the list: nothing selected
        QCOMPARE(list.ItemIndex(), -1);
        QCOMPARE(list.Text(), QString());
        list.SetItemIndex(1);
        list.SetItemIndex(-5);
        QCOMPARE(list.ItemIndex(), -1);
    }

    void EditableListReadsTypedTextAsNoSelection() {
        QWidget window;
        auto* list = new ComboList(&window, true);
        list->SetItems({QStringLiteral("v1.7"), QStringLiteral("v1.8")});
        window.show();
        QCOMPARE(list->ItemIndex(), 0);
        list->lineEdit()->selectAll();
        QTest::keyClicks(list->lineEdit(), QStringLiteral("v2"));
        QCOMPARE(list->Text(), QStringLiteral("v2"));
        QCOMPARE(list->ItemIndex(), -1);
        // Selecting the entry that was current before the typing shows it again.
        list->SetItemIndex(0);
        QCOMPARE(list->Text(), QStringLiteral("v1.7"));
        QCOMPARE(list->ItemIndex(), 0);
        list->SetItemIndex(2);
        QCOMPARE(list->Text(), QString());
        QCOMPARE(list->ItemIndex(), -1);
    }

    void StatusBarPanels() {
        tovra::ui::StatusBar bar;
        bar.resize(389, 21);
        bar.AddPanel(120, Qt::AlignLeft);
        bar.AddPanel(160, Qt::AlignHCenter);
        bar.SetPanelText(1, QStringLiteral("Successful"));
        bar.SetPanelText(2, QStringLiteral("ignored"));
        bar.SetPanelText(-1, QStringLiteral("ignored"));
        QCOMPARE(bar.PanelText(1), QStringLiteral("Successful"));
        QCOMPARE(bar.PanelText(2), QString());
        QCOMPARE(bar.PanelRect(1), QRect(120, 0, 160, 21));
    }

    void GroupBoxDisablesItsControls() {
        tovra::ui::GroupBox group(QStringLiteral("Control"));
        auto* button = new QPushButton(&group);
        group.setEnabled(false);
        QVERIFY(!button->isEnabled());
        group.setEnabled(true);
        QVERIFY(button->isEnabled());
    }

    void PictureClicks() {
        tovra::ui::Picture picture;
        picture.resize(135, 61);
        picture.show();
        QSignalSpy clicked(&picture, &tovra::ui::Picture::Clicked);
        QTest::mouseClick(&picture, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicked.count(), 1);
        // Pressed inside, released outside: no click.
        QTest::mousePress(&picture, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&picture, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(clicked.count(), 1);
    }
};

int RunControlsTests(int argc, char** argv) {
    ControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "controls_test.moc"
