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

class QKeyEvent;
class QTranslator;
class QPlainTextEdit;
class QWidget;

namespace corvala4 {

/// Windows are laid out in twips, 15 to a pixel.
constexpr int Twips(int twips) {
  return (twips + 7) / 15;
}
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

/// 宋体 9 pt, with the CJK fonts of this platform behind it: the Song and Ming faces first.
QFont DesignFont();
/// The font and the module's own icon, for every window of the module.
void StyleWindow(QWidget* window);

/// How a window's border behaves: sizable with or without minimize and maximize buttons,
/// a fixed dialog border, or a modeless window of its own.
enum class Border { Sizable, SizableNoMinMax, Fixed, Modeless };
/// What opens every window's constructor: its designed name, caption, border and the style
/// above; all but the modeless ones are modal.
void DesignWindow(QWidget* window, const char* name, const QString& caption, Border border);

/// Enter or Return on a focused button presses it, where a window has no default button;
/// true when the key was used so.
bool PressFocusedButton(QWidget* window, QKeyEvent* event);

/// Pixels from one line of text to the next in the font actually used; the windows were drawn
/// for 宋体, whose lines are 12 pixels apart at 9 pt.
int LineSpacing(const QFont& font);
inline constexpr int kDesignedLineSpacing = 12;
/// The height a read-only text box needs to show `lines` whole lines.
int TextBoxHeight(QPlainTextEdit* box, int lines);
/// A red octagonal stop sign with the white letters STOP, 32 x 32.
QPixmap StopSignPixmap();

/// A text of the engine (UTF-8, lines ended by CR LF) as a widget shows it.
QString ShownText(const std::string& text);

/// The window that owns the boxes and dialogs of a run (the test window), kept while it is
/// hidden for the run; none to forget it.
void SetRunOwner(QWidget* window, bool hiddenForRun);
/// Marks a window that never owns a box: the status window, whose lines a box must not hide.
void NeverOwner(QWidget* window);
/// The window a new dialog belongs to: the active modal one, else the test window (even
/// while it is hidden for a run), else the active one, never the status window; or none.
QWidget* OwnerWindow();
/// Puts a window in the middle of its owner, or of the screen without one.
void CentreOnOwner(QWidget* window, QWidget* owner);
/// The same once the window is shown, for a window that settles its size only then (a message box).
void CentreWhenShown(QWidget* window, QWidget* owner);

/// Qt's own Chinese texts (the file dialog's, the text boxes' menus) in the application for
/// the life of the object, unless another object has put them there already.
class QtTranslations {
 public:
  QtTranslations();
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;
  /// False where Qt's translations are not installed.
  bool Loaded() const { return loaded_; }

 private:
  QTranslator* installed_ = nullptr;
  bool loaded_ = false;
};

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
