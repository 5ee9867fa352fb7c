// What the windows share: places in twips, the font, the icons, the texts
// between the engine and the widgets, and the catch of every window handler.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <initializer_list>
#include <string>

class QPlainTextEdit;
class QWidget;

namespace corvala4 {

/// Windows are laid out in twips, 15 to a pixel.
constexpr int Twips(int twips) { return (twips + 7) / 15; }
inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
/// A window's outer size is its client area plus this much border and caption.
inline constexpr int kBorderWidthTwips = 120;
inline constexpr int kBorderAndCaptionHeightTwips = 375;

/// Where a control sits in the designed client area (twips), and which share of
/// the window's growth beyond that area moves its left and top edges and widens it.
struct Placement {
  QWidget* control;
  QRect twips;
  double left = 0, top = 0, width = 0, height = 0;
};
/// Puts every control at its place for a client area of the given size (pixels).
void Arrange(std::initializer_list<Placement> placements, QSize designed, QSize now);

/// A multi-line text box the user reads but cannot edit, with a vertical scroll bar, named
/// as designed; on the button-face background when `buttonFace` is set.
QPlainTextEdit* ReadOnlyTextBox(QWidget* parent, const char* name, bool buttonFace);

/// 宋体 9 pt, with the CJK fonts of this platform behind it.
QFont DesignFont();
/// The font and the module's own icon, for every window of the module.
void StyleWindow(QWidget* window);
/// A red octagonal stop sign with the white letters STOP, 32 x 32.
QPixmap StopSignPixmap();

/// A text of the engine (UTF-8, lines ended by CR LF) as a widget shows it.
QString ShownText(const std::string& text);

/// The window a new dialog belongs to: the active modal one, else the active one, else none.
QWidget* OwnerWindow();
/// Puts a window in the middle of its owner, or of the screen without one.
void CentreOnOwner(QWidget* window, QWidget* owner);

/// Runs a window handler: whatever it raises is shown in the error dialog and the
/// window stays usable; nothing may leave a handler into Qt's event loop.
void ShowCaught();
template <typename Fn>
void Handle(Fn&& fn) {
  try {
    fn();
  } catch (...) {
    ShowCaught();
  }
}

}  // namespace corvala4
