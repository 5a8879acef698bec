// Draws the window's pictures and the application icon. Not part of the build: run
// scripts/artwork/make-artwork.sh when the artwork changes and commit the results.
//
//   draw_artwork OUT_DIR   writes module.jpg (500x413), logo.jpg (97x50) and
//                          icon-16.png, icon-32.png, icon-48.png

#include <cmath>
#include <cstdio>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QFont Sans(int pixels, int weight = QFont::Normal) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// A soft shadow: stacked translucent rounded rectangles, widest and faintest first.
void SoftShadow(QPainter& p, const QRectF& r, qreal radius, int steps) {
    p.setPen(Qt::NoPen);
    for (int i = steps; i > 0; --i) {
        p.setBrush(QColor(20, 30, 40, 10));
        p.drawRoundedRect(r.adjusted(-i, -i, i, i), radius + i, radius + i);
    }
}

void DrawPinHeader(QPainter& p, qreal x, qreal y, int pins, qreal pitch) {
    const QRectF body(x, y, 26, pins * pitch);
    QLinearGradient plastic(body.topLeft(), body.topRight());
    plastic.setColorAt(0, QColor(0x2A2A2A));
    plastic.setColorAt(0.5, QColor(0x3C3C3C));
    plastic.setColorAt(1, QColor(0x1C1C1C));
    p.setPen(QColor(0x111111));
    p.setBrush(plastic);
    p.drawRoundedRect(body, 2, 2);
    for (int i = 0; i < pins; ++i) {
        const QRectF pin(x + 8, y + i * pitch + pitch / 2 - 5, 10, 10);
        QLinearGradient gold(pin.topLeft(), pin.bottomRight());
        gold.setColorAt(0, QColor(0xFFE9A0));
        gold.setColorAt(0.5, QColor(0xD9A93A));
        gold.setColorAt(1, QColor(0x9C7420));
        p.setPen(QColor(0x7A5A16));
        p.setBrush(gold);
        p.drawRect(pin);
        // the pin continues off the board edge
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(x - 34, pin.top() + 2, 34, 6));
    }
}

void DrawShieldCan(QPainter& p, const QRectF& can) {
    SoftShadow(p, can.translated(3, 4), 4, 5);
    QLinearGradient metal(can.topLeft(), can.bottomRight());
    metal.setColorAt(0, QColor(0xF4F6F8));
    metal.setColorAt(0.35, QColor(0xC9CFD6));
    metal.setColorAt(0.6, QColor(0xE3E7EB));
    metal.setColorAt(1, QColor(0x9AA3AC));
    p.setPen(QPen(QColor(0x7D8790), 1.5));
    p.setBrush(metal);
    p.drawRoundedRect(can, 5, 5);
    // pressed rim
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(can.adjusted(6, 6, -6, -6), 3, 3);
    p.setPen(QPen(QColor(90, 100, 110, 120), 1.0));
    p.drawRoundedRect(can.adjusted(7.5, 7.5, -4.5, -4.5), 3, 3);
    // pick-and-place dimple and marking
    p.setPen(Qt::NoPen);
    QRadialGradient dimple(can.center() + QPointF(0, -18), 14);
    dimple.setColorAt(0, QColor(0xB3BAC2));
    dimple.setColorAt(1, QColor(0xE6E9EC));
    p.setBrush(dimple);
    p.drawEllipse(can.center() + QPointF(0, -18), 14, 14);
    p.setPen(QColor(0x4F5963));
    p.setFont(Sans(17, QFont::Bold));
    p.drawText(QRectF(can.left(), can.center().y() + 4, can.width(), 24), Qt::AlignCenter,
               QStringLiteral("TR-LM1"));
    p.setFont(Sans(11));
    p.drawText(QRectF(can.left(), can.center().y() + 28, can.width(), 18), Qt::AlignCenter,
               QStringLiteral("LoRa  433/868"));
}

void DrawSpringAntenna(QPainter& p, QPointF foot, int turns) {
    // solder pad
    p.setPen(QColor(0x8A6A20));
    p.setBrush(QColor(0xD8B050));
    p.drawEllipse(foot, 11, 8);
    const qreal turn_height = 11;
    const qreal radius = 13;
    QPen back(QColor(0x8C5A22), 4.2, Qt::SolidLine, Qt::RoundCap);
    QPen front(QColor(0xE3A55A), 4.2, Qt::SolidLine, Qt::RoundCap);
    QPen shine(QColor(255, 236, 200, 200), 1.4, Qt::SolidLine, Qt::RoundCap);
    const QPointF base = foot + QPointF(0, -6);
    // straight lead from the pad into the coil
    p.setPen(front);
    p.drawLine(foot, base);
    for (int i = 0; i < turns; ++i) {
        const qreal y = base.y() - i * turn_height;
        const QRectF ring(base.x() - radius, y - turn_height - 3, 2 * radius, 7);
        p.setPen(back);
        p.drawArc(ring, 0, 180 * 16);  // far half of the turn
    }
    for (int i = 0; i < turns; ++i) {
        const qreal y = base.y() - i * turn_height;
        const QRectF ring(base.x() - radius, y - turn_height - 3, 2 * radius, 7);
        p.setPen(front);
        p.drawArc(ring, 180 * 16, 180 * 16);  // near half
        p.setPen(shine);
        p.drawArc(ring.adjusted(4, 1, -4, -1), 200 * 16, 60 * 16);
    }
}

void DrawSmd(QPainter& p, const QRectF& r, const QColor& body) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD8DCE0));
    p.drawRect(QRectF(r.left(), r.top(), 4, r.height()));
    p.drawRect(QRectF(r.right() - 4, r.top(), 4, r.height()));
    p.setBrush(body);
    p.drawRect(r.adjusted(4, 0, -4, 0));
}

QImage DrawModule() {
    QImage image(500, 413, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient backdrop(0, 0, 0, image.height());
    backdrop.setColorAt(0, QColor(0xF7F9FB));
    backdrop.setColorAt(1, QColor(0xDCE3EA));
    p.fillRect(image.rect(), backdrop);

    const QRectF board(92, 110, 330, 236);
    SoftShadow(p, board.translated(6, 9), 10, 12);

    QLinearGradient mask(board.topLeft(), board.bottomRight());
    mask.setColorAt(0, QColor(0x2E8B50));
    mask.setColorAt(1, QColor(0x17613A));
    p.setPen(QPen(QColor(0x0F4A2A), 2));
    p.setBrush(mask);
    p.drawRoundedRect(board, 9, 9);
    p.setPen(QPen(QColor(120, 200, 150, 90), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(board.adjusted(3, 3, -3, -3), 7, 7);

    // copper traces under the mask
    p.setPen(QPen(QColor(70, 160, 100, 150), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 0; i < 7; ++i) {
        const qreal y = board.top() + 24 + i * 29;
        QPainterPath trace(QPointF(board.left() + 40, y));
        trace.lineTo(board.left() + 62 + i * 3, y);
        trace.lineTo(board.left() + 80 + i * 3, y + (i < 3 ? 14 : -14));
        trace.lineTo(board.left() + 100, y + (i < 3 ? 14 : -14));
        p.drawPath(trace);
    }
    QPainterPath feed(QPointF(board.left() + 256, board.top() + 150));
    feed.lineTo(board.left() + 276, board.top() + 130);
    feed.lineTo(board.left() + 276, board.top() + 44);
    p.setPen(QPen(QColor(80, 175, 110, 170), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(feed);

    // mounting holes (the header takes the left edge)
    for (const QPointF c :
         {board.topRight() + QPointF(-16, 16), board.bottomRight() + QPointF(-16, -16)}) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xD9B45A));
        p.drawEllipse(c, 8, 8);
        p.setBrush(QColor(0xE9EEF2));
        p.drawEllipse(c, 4.2, 4.2);
    }

    DrawPinHeader(p, board.left() + 10, board.top() + 14, 7, 29.5);
    p.setPen(QColor(0xF2F5F2));
    p.setFont(Sans(10, QFont::Bold));
    const char* pins[] = {"M0", "M1", "RXD", "TXD", "AUX", "VCC", "GND"};
    for (int i = 0; i < 7; ++i) {
        p.drawText(QRectF(board.left() + 40, board.top() + 14 + i * 29.5, 40, 29.5),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(pins[i]));
    }

    DrawShieldCan(p, QRectF(board.left() + 104, board.top() + 34, 150, 128));

    // crystal, passives and a status LED
    const QRectF crystal(board.left() + 120, board.top() + 180, 42, 20);
    p.setPen(QPen(QColor(0x8C949C), 1));
    QLinearGradient xtal(crystal.topLeft(), crystal.bottomLeft());
    xtal.setColorAt(0, QColor(0xF2F4F6));
    xtal.setColorAt(1, QColor(0xA9B1B9));
    p.setBrush(xtal);
    p.drawRoundedRect(crystal, 9, 9);
    DrawSmd(p, QRectF(board.left() + 176, board.top() + 184, 22, 11), QColor(0x2B2B2B));
    DrawSmd(p, QRectF(board.left() + 206, board.top() + 184, 22, 11), QColor(0xC9A26A));
    DrawSmd(p, QRectF(board.left() + 236, board.top() + 184, 22, 11), QColor(0x2B2B2B));
    DrawSmd(p, QRectF(board.left() + 290, board.top() + 120, 11, 22), QColor(0xC9A26A));
    QRadialGradient led(board.left() + 292, board.top() + 196, 9);
    led.setColorAt(0, QColor(0xFFF0C0));
    led.setColorAt(0.4, QColor(0xFF9A2E));
    led.setColorAt(1, QColor(0xC2561A));
    p.setPen(Qt::NoPen);
    p.setBrush(led);
    p.drawRoundedRect(QRectF(board.left() + 284, board.top() + 190, 16, 12), 3, 3);

    // silkscreen
    p.setPen(QColor(0xF2F5F2));
    p.setFont(Sans(13, QFont::Bold));
    p.drawText(QRectF(board.left() + 104, board.bottom() - 28, 200, 20),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("TOVRA  LoRa MODEM"));
    p.setFont(Sans(10));
    p.drawText(QRectF(board.left() + 298, board.top() + 30, 30, 16),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ANT"));
    p.setPen(QPen(QColor(0xF2F5F2), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(board.left() + 116, board.top() + 176, 50, 28));

    DrawSpringAntenna(p, QPointF(board.left() + 276, board.top() + 38), 9);
    return image;
}

// A signal mark: a dot with two arcs opening to the upper right.
void DrawSignal(QPainter& p, QPointF c, qreal scale, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, 2.2 * scale, 2.2 * scale);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 1.7 * scale, Qt::SolidLine, Qt::RoundCap));
    for (int i = 1; i <= 2; ++i) {
        const qreal r = (3.2 + 3.4 * i) * scale;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), -10 * 16, 110 * 16);
    }
}

QImage DrawLogo() {
    QImage image(97, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont word = Sans(21, QFont::Black);
    word.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
    p.setFont(word);
    p.setPen(QColor(0x1F3A56));
    p.drawText(QRectF(0, 7, 88, 26), Qt::AlignCenter, QStringLiteral("TOVRA"));
    DrawSignal(p, QPointF(86.5, 11), 0.75, QColor(0xE8772E));
    p.setPen(QColor(0xE8772E));
    p.drawLine(QPointF(10, 34.5), QPointF(87, 34.5));
    p.setFont(Sans(8, QFont::Bold));
    p.setPen(QColor(0x5C6B7A));
    p.drawText(QRectF(0, 36, 97, 12), Qt::AlignCenter, QStringLiteral("RADIO MODEMS"));
    return image;
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 48.0;
    const QRectF board = size >= 32 ? QRectF(2, 6, 44, 38) : QRectF(3, 6, 42, 39);
    const QRectF scaled(board.x() * s, board.y() * s, board.width() * s, board.height() * s);
    QLinearGradient mask(scaled.topLeft(), scaled.bottomRight());
    mask.setColorAt(0, QColor(0x34A05C));
    mask.setColorAt(1, QColor(0x17613A));
    p.setPen(QPen(QColor(0x0F4A2A), std::max(1.0, 1.2 * s)));
    p.setBrush(mask);
    p.drawRoundedRect(scaled, 5 * s, 5 * s);
    if (size >= 32) {
        const QRectF can(9 * s, 14 * s, 22 * s, 24 * s);
        QLinearGradient metal(can.topLeft(), can.bottomRight());
        metal.setColorAt(0, QColor(0xF4F6F8));
        metal.setColorAt(1, QColor(0x9AA3AC));
        p.setPen(QPen(QColor(0x6D7780), 1));
        p.setBrush(metal);
        p.drawRoundedRect(can, 2 * s, 2 * s);
        DrawSignal(p, QPointF(34 * s, 22 * s), 1.0 * s, QColor(0xFFB15C));
    } else {
        // At 16 px only the silhouette reads: the can and an antenna with a dot.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(0x6D7780));
        p.setBrush(QColor(0xDDE2E7));
        p.drawRect(QRect(3, 6, 6, 6));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xFFB15C));
        p.drawRect(QRect(11, 4, 2, 7));
        p.drawRect(QRect(10, 3, 4, 2));
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = DrawModule().save(out.filePath(QStringLiteral("module.jpg")), "JPG", 92);
    ok = DrawLogo().save(out.filePath(QStringLiteral("logo.jpg")), "JPG", 95) && ok;
    for (const int size : {16, 32, 48}) {
        ok =
            DrawIcon(size).save(out.filePath(QStringLiteral("icon-%1.png").arg(size)), "PNG") && ok;
    }
    return ok ? 0 : 1;
}
