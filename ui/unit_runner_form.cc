#include "ui/unit_runner_form.h"

#include <QPushButton>

#include "ui/design.h"
#include "ui/unit_runner.h"

namespace corvala4 {

frmTestRunner::frmTestRunner() {
  DesignWindow(this, "frmTestRunner", "Form1", Border::Sizable);

  UnitRunner1 = new UnitRunner(this);
  btnRun = new QPushButton("Run Tests", this);
  btnRun->setObjectName("btnRun");
  btnRun->setDefault(true);
  btnClose = new QPushButton("Close", this);
  btnClose->setObjectName("btnClose");
  btnClose->setAutoDefault(false);

  connect(btnRun, &QPushButton::clicked, this, [this] { btnRun_Click(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnClose_Click(); });

  btnRun->setGeometry(TwipsRect(8040, 5520, 1215, 495));
  btnClose->setGeometry(TwipsRect(9360, 5520, 1215, 495));
  resize(Twips(10620), Twips(6045));
  Form_Resize();
}

void frmTestRunner::ShowModal() {
  UnitRunner1->Reload();
  exec();
}

void frmTestRunner::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Form_Resize();
}

void frmTestRunner::Form_Resize() {
  // The buttons keep to the lower right corner, the runner takes the rest; a window
  // smaller than the buttons puts them at 0, never at negative places.
  int w = width(), h = height();
  UnitRunner1->setGeometry(0, 0, w, ClampToZero(h - btnClose->height() - Twips(50)));
  btnClose->move(ClampToZero(w - btnClose->width()), ClampToZero(h - btnClose->height()));
  btnRun->move(ClampToZero(w - btnClose->width() - btnRun->width() - Twips(100)),
               ClampToZero(h - btnRun->height()));
}

void frmTestRunner::btnRun_Click() {
  Handle([&] { UnitRunner1->Run(); });
}

void frmTestRunner::btnClose_Click() {
  reject();
}

}  // namespace corvala4
