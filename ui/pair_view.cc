#include "ui/pair_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "results/paired_lines.h"

namespace corvala4 {

namespace {

const QColor kDiffers(0xff, 0xe0, 0xe0), kDiffersPart(0xff, 0x9e, 0x9e);
const QColor kTolerated(0xff, 0xf4, 0xc8), kToleratedPart(0xf2, 0xd2, 0x6e);
const QColor kMissing(0xe8, 0xe8, 0xe8), kCurrent(0x3d, 0x7e, 0xd6);
constexpr int kMarkWidth = 16;

QString Shown(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace('\t', "    ");
  return shown;
}

}  // namespace

PairView::PairView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
}

void PairView::SetLines(PairedLines* lines, const QString& outputCaption, const QString& standardCaption) {
  lines_ = lines;
  output_caption_ = outputCaption;
  standard_caption_ = standardCaption;
  current_ = 0;
  widest_ = 0;
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  RowsChanged();
}

void PairView::RowsChanged() {
  UpdateScrollBars();
  viewport()->update();
}

int PairView::RowHeight() const {
  return fontMetrics().lineSpacing() + 2;
}

int PairView::GutterWidth() const {
  int64_t rows = lines_ ? std::max<int64_t>(lines_->Rows(), 99999) : 99999;
  return fontMetrics().horizontalAdvance(QString::number(rows)) + 10;
}

int PairView::VisibleRows() const {
  return std::max(1, (viewport()->height() - RowHeight() - 2) / RowHeight());
}

int64_t PairView::TopRow() const {
  return verticalScrollBar()->value();
}

void PairView::UpdateScrollBars() {
  int64_t rows = lines_ ? lines_->Rows() : 0;
  int visible = VisibleRows();
  int64_t top_max = std::max<int64_t>(0, rows - visible);
  verticalScrollBar()->setRange(0, static_cast<int>(std::min<int64_t>(top_max, INT32_MAX)));
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
  int pane = std::max(1, (viewport()->width() - GutterWidth() - kMarkWidth) / 2);
  horizontalScrollBar()->setRange(0, std::max(0, widest_ + 8 - pane));
  horizontalScrollBar()->setPageStep(pane);
}

void PairView::SetCurrentRow(int64_t row, bool jump) {
  if (!lines_ || lines_->Rows() == 0) return;
  row = std::clamp<int64_t>(row, 0, lines_->Rows() - 1);
  current_ = row;
  int64_t visible = VisibleRows(), top = TopRow();
  if (row < top || row >= top + visible) {
    if (jump)
      top = row - visible / 2;
    else
      top = row < top ? row : row - visible + 1;
    UpdateScrollBars();
    verticalScrollBar()->setValue(static_cast<int>(std::max<int64_t>(0, top)));
  }
  viewport()->update();
  if (currentChanged) currentChanged(current_);
}

PairView::Span PairView::DifferingSpan(const QString& output, const QString& standard) {
  int n = static_cast<int>(std::min(output.size(), standard.size()));
  int prefix = 0;
  while (prefix < n && output[prefix] == standard[prefix]) ++prefix;
  int suffix = 0;
  while (suffix < n - prefix && output[output.size() - 1 - suffix] == standard[standard.size() - 1 - suffix])
    ++suffix;
  return {prefix, static_cast<int>(output.size()) - suffix, static_cast<int>(standard.size()) - suffix};
}

void PairView::PaintSide(QPainter& p, const QRect& cell, const std::optional<std::string>& text, int begin,
                         int end, const PairRow& row) {
  if (!text) {
    p.fillRect(cell, kMissing);
    return;
  }
  QString shown = Shown(*text);
  int x = cell.left() + 4 - horizontalScrollBar()->value();
  QFontMetrics fm = fontMetrics();
  widest_ = std::max(widest_, fm.horizontalAdvance(shown));
  p.save();
  p.setClipRect(cell);
  if (row.state != RowState::Equal && begin < end) {
    int from = x + fm.horizontalAdvance(shown.left(begin));
    int to = x + fm.horizontalAdvance(shown.left(end));
    p.fillRect(QRect(from, cell.top(), std::max(2, to - from), cell.height()),
               row.state == RowState::Differs ? kDiffersPart : kToleratedPart);
  }
  p.setPen(palette().color(QPalette::Text));
  p.drawText(QRect(x, cell.top(), cell.right() - x + horizontalScrollBar()->value() + widest_, cell.height()),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown + (row.cut ? " …" : ""));
  p.restore();
}

void PairView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  int h = RowHeight(), width = viewport()->width();
  int gutter = GutterWidth();
  int pane = std::max(1, (width - gutter - kMarkWidth) / 2);
  int left = gutter + kMarkWidth, right = left + pane;
  // The captions stay on top, whatever is scrolled.
  QRect head(0, 0, width, h + 2);
  p.fillRect(head, palette().color(QPalette::Button));
  p.setPen(palette().color(QPalette::ButtonText));
  p.drawText(QRect(4, 0, gutter + kMarkWidth - 4, h + 2), Qt::AlignVCenter | Qt::AlignLeft, "行");
  p.drawText(QRect(left + 4, 0, pane - 8, h + 2), Qt::AlignVCenter | Qt::AlignLeft,
             fontMetrics().elidedText(output_caption_, Qt::ElideMiddle, pane - 8));
  p.drawText(QRect(right + 4, 0, pane - 8, h + 2), Qt::AlignVCenter | Qt::AlignLeft,
             fontMetrics().elidedText(standard_caption_, Qt::ElideMiddle, pane - 8));
  if (!lines_) return;

  int64_t top = TopRow(), rows = lines_->Rows();
  int visible = VisibleRows() + 1;
  for (int i = 0; i < visible && top + i < rows; ++i) {
    int64_t index = top + i;
    PairRow row = lines_->Row(index);
    int y = head.bottom() + 1 + i * h;
    QRect line(0, y, width, h);
    if (row.state == RowState::Differs) p.fillRect(line, kDiffers);
    if (row.state == RowState::Tolerated) p.fillRect(line, kTolerated);
    Span span;
    if (row.output && row.standard && row.state != RowState::Equal)
      span = DifferingSpan(Shown(*row.output), Shown(*row.standard));
    PaintSide(p, QRect(left, y, pane, h), row.output, span.begin, span.output_end, row);
    PaintSide(p, QRect(right, y, width - right, h), row.standard, span.begin, span.standard_end, row);
    p.setPen(palette().color(QPalette::PlaceholderText));
    p.drawText(QRect(0, y, gutter - 4, h), Qt::AlignVCenter | Qt::AlignRight, QString::number(row.number));
    const char* mark = row.state == RowState::Differs ? "≠" : row.state == RowState::Tolerated ? "≈" : "";
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(gutter, y, kMarkWidth, h), Qt::AlignCenter, mark);
    if (index == current_) {
      p.setPen(QPen(kCurrent, 1));
      p.drawRect(line.adjusted(0, 0, -1, -1));
    }
  }
  p.setPen(palette().color(QPalette::Mid));
  p.drawLine(right, 0, right, viewport()->height());
  p.drawLine(left, 0, left, viewport()->height());
  UpdateScrollBars();
}

void PairView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void PairView::scrollContentsBy(int, int) {
  viewport()->update();
}

void PairView::keyPressEvent(QKeyEvent* event) {
  int64_t page = VisibleRows();
  int64_t rows = lines_ ? lines_->Rows() : 0;
  switch (event->key()) {
    case Qt::Key_Down: SetCurrentRow(current_ + 1); break;
    case Qt::Key_Up: SetCurrentRow(current_ - 1); break;
    case Qt::Key_PageDown: SetCurrentRow(current_ + page); break;
    case Qt::Key_PageUp: SetCurrentRow(current_ - page); break;
    case Qt::Key_Home: SetCurrentRow(0); break;
    case Qt::Key_End: SetCurrentRow(rows - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
}

void PairView::mousePressEvent(QMouseEvent* event) {
  int y = event->position().toPoint().y() - RowHeight() - 2;
  if (y >= 0) SetCurrentRow(TopRow() + y / RowHeight());
  QAbstractScrollArea::mousePressEvent(event);
}

}  // namespace corvala4
