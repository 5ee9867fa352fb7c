#include "ui/design.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPolygonF>
#include <QScreen>
#include <QWidget>
#include <QtMath>

#include <exception>

#include "foundation/errors.h"

namespace corvala4 {

void Arrange(std::initializer_list<Placement> placements, QSize designed, QSize now) {
  int dw = now.width() - designed.width();
  int dh = now.height() - designed.height();
  for (const Placement& p : placements) {
    QRect r = TwipsRect(p.twips.x(), p.twips.y(), p.twips.width(), p.twips.height());
    r.moveTo(r.x() + qRound(dw * p.left), r.y() + qRound(dh * p.top));
    r.setSize(QSize(qMax(0, r.width() + qRound(dw * p.width)), qMax(0, r.height() + qRound(dh * p.height))));
    p.control->setGeometry(r);
  }
}

QPlainTextEdit* ReadOnlyTextBox(QWidget* parent, const char* name, bool buttonFace) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setTabChangesFocus(true);
  box->setUndoRedoEnabled(false);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if (buttonFace) {
    box->setBackgroundRole(QPalette::Button);
    box->viewport()->setBackgroundRole(QPalette::Button);
  }
  return box;
}

QFont DesignFont() {
  QFont font;
  // 宋体 first, as the windows were drawn with it; where it is missing the CJK fonts
  // of a Linux desktop take over, so Chinese text never shows as boxes.
  font.setFamilies({"宋体", "SimSun", "NSimSun", "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Zen Hei",
                    "WenQuanYi Micro Hei", "AR PL UMing CN", "Droid Sans Fallback"});
  font.setPointSize(9);
  return font;
}

namespace {

QIcon ModuleIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x5f, 0xa8));
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
  // A tick on a page: the build checks itself.
  p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(8, 16.5), QPointF(13.5, 22), QPointF(24, 10)}));
  return QIcon(pixmap);
}

}  // namespace

void StyleWindow(QWidget* window) {
  window->setFont(DesignFont());
  static const QIcon icon = ModuleIcon();
  window->setWindowIcon(icon);
}

QPixmap StopSignPixmap() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QPolygonF octagon;
  for (int i = 0; i < 8; ++i) {
    double angle = qDegreesToRadians(22.5 + 45.0 * i);
    octagon << QPointF(16 + 15.5 * qCos(angle), 16 + 15.5 * qSin(angle));
  }
  p.setPen(QPen(QColor(0x80, 0, 0), 1));
  p.setBrush(QColor(0xd0, 0x10, 0x10));
  p.drawPolygon(octagon);
  // A white rim inside the edge, as on a road sign.
  QTransform inner = QTransform().translate(16, 16).scale(0.84, 0.84).translate(-16, -16);
  p.setPen(QPen(Qt::white, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawPolygon(inner.map(octagon));
  QFont font("DejaVu Sans");
  font.setBold(true);
  font.setPixelSize(8);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, "STOP");
  return pixmap;
}

QString ShownText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace("\r\n", "\n");
  return shown;
}

QWidget* OwnerWindow() {
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) return modal;
  if (QWidget* active = QApplication::activeWindow(); active && active->isVisible()) return active;
  return nullptr;
}

void CentreOnOwner(QWidget* window, QWidget* owner) {
  QRect area;
  if (owner)
    area = owner->window()->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  else
    return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(area.center());
  window->move(frame.topLeft());
}

void ShowCaught() {
  try {
    ShowCurrentError(std::current_exception());
  } catch (...) {
    // Showing the error failed too; the window goes on all the same.
  }
}

}  // namespace corvala4
