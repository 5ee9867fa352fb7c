#include "ui/design.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPolygonF>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>
#include <QWidget>
#include <QtMath>

#include <exception>
#include <memory>

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
  // 宋体 first, as the windows were drawn with it; where it is missing a Ming face of the same
  // line height, then the CJK fonts of a Linux desktop, so Chinese text never shows as boxes.
  font.setFamilies({"宋体", "SimSun", "NSimSun", "AR PL UMing CN", "AR PL SungtiL GB", "Noto Serif CJK SC",
                    "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Zen Hei", "WenQuanYi Micro Hei",
                    "Droid Sans Fallback"});
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

void DesignWindow(QWidget* window, const char* name, const QString& caption, Border border) {
  window->setObjectName(name);
  window->setWindowTitle(caption);
  switch (border) {
    case Border::Sizable:
      window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
      break;
    case Border::SizableNoMinMax:
      window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint);
      break;
    case Border::Fixed:
      window->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                             Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
      break;
    case Border::Modeless: window->setWindowFlag(Qt::Window); break;
  }
  if (border != Border::Modeless) window->setWindowModality(Qt::ApplicationModal);
  StyleWindow(window);
}

bool PressFocusedButton(QWidget* window, QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
  auto* button = qobject_cast<QPushButton*>(window->focusWidget());
  if (!button || !button->isVisible() || !button->isEnabled()) return false;
  button->click();
  return true;
}

int LineSpacing(const QFont& font) {
  return QFontMetrics(font).lineSpacing();
}

int TextBoxHeight(QPlainTextEdit* box, int lines) {
  int margins = 2 * box->frameWidth() + 2 * qCeil(box->document()->documentMargin());
  return margins + lines * LineSpacing(box->font());
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

namespace {

constexpr const char* kNeverOwner = "corvala4NeverOwner";
QPointer<QWidget> run_owner;
bool run_owner_hidden = false;

bool MayOwn(QWidget* window) {
  return window && window->isVisible() && !window->property(kNeverOwner).toBool();
}

}  // namespace

void SetRunOwner(QWidget* window, bool hiddenForRun) {
  run_owner = window;
  run_owner_hidden = hiddenForRun;
}

void NeverOwner(QWidget* window) {
  window->setProperty(kNeverOwner, true);
}

QWidget* OwnerWindow() {
  if (QWidget* modal = QApplication::activeModalWidget(); MayOwn(modal)) return modal;
  // The messages of a run belong to the test window, which is hidden meanwhile: they sit
  // where it was, not on the status window the user is reading.
  if (run_owner && (run_owner->isVisible() || run_owner_hidden)) return run_owner;
  if (QWidget* active = QApplication::activeWindow(); MayOwn(active)) return active;
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

namespace {

/// Centres its window on the owner when the window is shown, once its size is settled.
class CentreOnShow : public QObject {
 public:
  CentreOnShow(QWidget* window, QWidget* owner) : QObject(window), owner_(owner) {
    window->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShowToParent) CentreOnOwner(static_cast<QWidget*>(watched), owner_);
    return false;
  }

 private:
  QPointer<QWidget> owner_;
};

}  // namespace

void CentreWhenShown(QWidget* window, QWidget* owner) {
  new CentreOnShow(window, owner);
}

QtTranslations::QtTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (app->property("corvala4QtTranslations").toBool()) {
    loaded_ = true;
    return;
  }
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load("qt_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return;
  loaded_ = QCoreApplication::installTranslator(translator.get());
  if (!loaded_) return;
  installed_ = translator.release();
  app->setProperty("corvala4QtTranslations", true);
}

QtTranslations::~QtTranslations() {
  if (!installed_) return;
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QCoreApplication::removeTranslator(installed_);
    app->setProperty("corvala4QtTranslations", false);
  }
  delete installed_;
}

void ShowCaught() {
  try {
    ShowCurrentError(std::current_exception());
  } catch (...) {
    // Showing the error failed too; the window goes on all the same.
  }
}

}  // namespace corvala4
