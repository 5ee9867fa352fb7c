#include "ui/error_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "foundation/globals.h"
#include "foundation/run_context.h"
#include "ui/design.h"

namespace corvala4 {

namespace {

constexpr int kClientWidth = 5895;
/// Outer heights: folded below the buttons, unfolded below the details.
constexpr int kFoldedHeight = 1440 + 375 + 450;
constexpr int kUnfoldedHeight = 1980 + 1815 + 450;

}  // namespace

frm错误::frm错误() {
  DesignWindow(this, "frm错误", "错误提示", Border::Fixed);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(StopSignPixmap());
  lbl概述 = new QLabel(this);
  lbl概述->setObjectName("lbl概述");
  lbl概述->setWordWrap(true);
  lbl概述->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl概述->setTextFormat(Qt::PlainText);
  cmd确定 = new QPushButton("确定(&O)", this);
  cmd确定->setObjectName("cmd确定");
  cmd详细信息 = new QPushButton("显示细节(&D) >>", this);
  cmd详细信息->setObjectName("cmd详细信息");
  txt细节 = ReadOnlyTextBox(this, "txt细节", false);

  connect(cmd确定, &QPushButton::clicked, this, [this] { cmd确定_Click(); });
  connect(cmd详细信息, &QPushButton::clicked, this, [this] { cmd详细信息_Click(); });

  Image1->setGeometry(TwipsRect(300, 360, 480, 480));
  Form_Layout();
  setTabOrder(txt细节, cmd确定);
  setTabOrder(cmd确定, cmd详细信息);
  FoldDetails();
}

void frm错误::ShowEx(const std::string& summary, const std::string& details) {
  try {
    RunContext* tester = G().CurrentTester;
    if (!tester || !tester->ShowUI()) return;
  } catch (...) {
    return;
  }
  summary_ = summary;
  details_ = details;
  Form_Load();
  CentreOnOwner(this, OwnerWindow());
  exec();
}

void frm错误::Form_Layout() {
  // The summary keeps its designed place, and grows downwards, with all below it, until every
  // line of it shows in the font used here.
  int label = Twips(855);
  int needed = lbl概述->text().isEmpty() ? 0 : lbl概述->heightForWidth(Twips(4575));
  growth_ = qMax(0, needed - label);
  lbl概述->setGeometry(Twips(1080), Twips(360), Twips(4575), label + growth_);
  cmd确定->setGeometry(TwipsRect(3000, 1440, 1095, 375).translated(0, growth_));
  cmd详细信息->setGeometry(TwipsRect(4200, 1440, 1515, 375).translated(0, growth_));
  txt细节->setGeometry(TwipsRect(60, 1980, 5775, 1815).translated(0, growth_));
}

void frm错误::Form_Load() {
  lbl概述->setText(ShownText(summary_));
  Form_Layout();
  txt细节->setPlainText(ShownText(details_));
  FoldDetails();
  cmd确定->setFocus();
}

void frm错误::keyPressEvent(QKeyEvent* event) {
  // No button is the cancel button: Esc leaves the choice to the user. Enter presses
  // the button that has the focus, as in any dialog.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

void frm错误::cmd确定_Click() {
  accept();
}

void frm错误::cmd详细信息_Click() {
  if (!txt细节->isHidden())
    FoldDetails();
  else
    UnfoldDetails();
}

void frm错误::FoldDetails() {
  SetOuterHeight(kFoldedHeight);
  txt细节->hide();
  cmd详细信息->setText("显示细节(&D) >>");
}

void frm错误::UnfoldDetails() {
  SetOuterHeight(kUnfoldedHeight);
  txt细节->show();
  cmd详细信息->setText("隐藏细节(&D) <<");
}

void frm错误::SetOuterHeight(int twips) {
  setFixedSize(Twips(kClientWidth), Twips(twips - kBorderAndCaptionHeightTwips) + growth_);
}

}  // namespace corvala4
