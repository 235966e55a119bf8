#include "shell/gui/MainWindowFactory.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

std::unique_ptr<QWidget> NewMainForm() {
  auto window = std::make_unique<QWidget>();
  window->setWindowTitle("Fernwick");
  window->resize(731, 526);
  auto* layout = new QVBoxLayout(window.get());
  layout->addWidget(new QLabel("Fernwick", window.get()), 0, Qt::AlignCenter);
  return window;
}
