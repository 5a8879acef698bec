#include <QTest>

#include "suites.h"
#include "ui/controls/number_format.h"

using tovra::ui::FormatWithMask;
using tovra::ui::NumberMask;
using tovra::ui::NumberSymbols;
using tovra::ui::ParsedNumber;
using tovra::ui::ParseNumber;

namespace {
const NumberSymbols kC{u'.', u','};
const NumberSymbols kGerman{u',', u'.'};
}  // namespace

class NumberFormatTest : public QObject {
    Q_OBJECT

  private slots:
    void MaskPatterns() {
        const NumberMask two = NumberMask::FromPattern(QStringLiteral("0.00"));
        QCOMPARE(two.decimals, 2);
        QVERIFY(two.has_point);
        QVERIFY(!two.allows_minus);
        const NumberMask none = NumberMask::FromPattern(QStringLiteral("0"));
        QCOMPARE(none.decimals, 0);
        QVERIFY(!none.has_point);
        QVERIFY(NumberMask::FromPattern(QStringLiteral("-0.0")).allows_minus);
    }

    void Format_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("shown");
        QTest::newRow("read-back 434") << 434.0010986328125 << "0.00"
                                       << "434.00";
        QTest::newRow("register FF FF FF") << 1023.99993896484375 << "0.00"
                                           << "1024.00";
        QTest::newRow("990.0018 stays") << 990.0018 << "0.00"
                                        << "990.00";
        QTest::newRow("half goes up") << 433.125 << "0.00"
                                      << "433.13";
        QTest::newRow("carry into whole") << 99.995 << "0.00"
                                          << "100.00";
        QTest::newRow("below half") << 0.004 << "0.00"
                                    << "0.00";
        QTest::newRow("integer mask") << 255.0 << "0"
                                      << "255";
        QTest::newRow("integer mask rounds") << 12.5 << "0"
                                             << "13";
        QTest::newRow("zero") << 0.0 << "0.00"
                              << "0.00";
        QTest::newRow("negative") << -1.5 << "0.00"
                                  << "-1.50";
        QTest::newRow("negative rounds to zero") << -0.001 << "0.00"
                                                 << "0.00";
        QTest::newRow("large") << 1e20 << "0"
                               << "100000000000000000000";
    }
    void Format() {
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, shown);
        QCOMPARE(FormatWithMask(value, NumberMask::FromPattern(mask), kC), shown);
    }

    void FormatUsesLocalePoint() {
        QCOMPARE(FormatWithMask(434.0, NumberMask::FromPattern(QStringLiteral("0.00")), kGerman),
                 QStringLiteral("434,00"));
    }

    void Parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("value");
        const int blank = static_cast<int>(ParsedNumber::Kind::Blank);
        const int number = static_cast<int>(ParsedNumber::Kind::Number);
        const int invalid = static_cast<int>(ParsedNumber::Kind::Invalid);
        QTest::newRow("empty") << "" << blank << 0.0;
        QTest::newRow("blanks") << "  " << blank << 0.0;
        QTest::newRow("lone minus") << "-" << blank << 0.0;
        QTest::newRow("plain") << "434.00" << number << 434.0;
        QTest::newRow("trailing point") << "434." << number << 434.0;
        QTest::newRow("leading point") << ".5" << number << 0.5;
        QTest::newRow("group separators") << "1,000.5" << number << 1000.5;
        QTest::newRow("surrounding blanks") << " 12 " << number << 12.0;
        QTest::newRow("exponent") << "1e3" << number << 1000.0;
        QTest::newRow("plus sign") << "+7" << number << 7.0;
        QTest::newRow("negative") << "-5" << number << -5.0;
        QTest::newRow("letters") << "abc" << invalid << 0.0;
        QTest::newRow("two points") << "1.2.3" << invalid << 0.0;
        QTest::newRow("trailing letters") << "12abc" << invalid << 0.0;
        QTest::newRow("inner blank") << "1 2" << invalid << 0.0;
        QTest::newRow("nan") << "nan" << invalid << 0.0;
        QTest::newRow("beyond double") << "1e999" << invalid << 0.0;
        QTest::newRow("other script digits") << QString::fromUtf8("\u0661\u0662") << invalid << 0.0;
    }
    void Parse() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(double, value);
        const ParsedNumber parsed = ParseNumber(text, kC);
        QCOMPARE(static_cast<int>(parsed.kind), kind);
        if (parsed.kind == ParsedNumber::Kind::Number) {
            QCOMPARE(parsed.value, value);
        }
    }

    void ParseWithDecimalComma() {
        const ParsedNumber comma = ParseNumber(QStringLiteral("1.234,5"), kGerman);
        QCOMPARE(static_cast<int>(comma.kind), static_cast<int>(ParsedNumber::Kind::Number));
        QCOMPARE(comma.value, 1234.5);
    }
};

int RunNumberFormatTests(int argc, char** argv) {
    NumberFormatTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "number_format_test.moc"
