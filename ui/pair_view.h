// The rows of a produced file beside its standard file, painted from the paired lines as they
// scroll into sight: differing pairs marked and their differing part highlighted, tolerated
// pairs marked with the reason. Nothing of the files is kept beyond the rows on screen.
#pragma once

#include <QAbstractScrollArea>

#include <cstdint>
#include <functional>

namespace corvala4 {

class PairedLines;
struct PairRow;

class PairView : public QAbstractScrollArea {
 public:
  explicit PairView(QWidget* parent);

  /// The lines to show and the captions above the two sides; the view starts at the top.
  void SetLines(PairedLines* lines, const QString& outputCaption, const QString& standardCaption);
  /// The pass over the files has read more rows.
  void RowsChanged();

  int64_t CurrentRow() const { return current_; }
  /// Makes a row the current one and scrolls it into sight: into the middle for a jump.
  void SetCurrentRow(int64_t row, bool jump = false);
  int VisibleRows() const;
  int64_t TopRow() const;
  /// Told whenever the current row changes.
  std::function<void(int64_t)> currentChanged;

  /// Where the differing parts of two lines lie: [begin, end) of each, UTF-16 units.
  struct Span {
    int begin = 0, output_end = 0, standard_end = 0;
  };
  static Span DifferingSpan(const QString& output, const QString& standard);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  int RowHeight() const;
  int GutterWidth() const;
  void PaintSide(QPainter& p, const QRect& cell, const std::optional<std::string>& text, int begin, int end,
                 const PairRow& row);

  PairedLines* lines_ = nullptr;
  QString output_caption_, standard_caption_;
  int64_t current_ = 0;
  int widest_ = 0;  // the widest line painted so far, for the horizontal scroll bar
};

}  // namespace corvala4
