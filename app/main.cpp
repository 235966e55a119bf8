#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  app.setApplicationName("Fernwick");
  QLabel placeholder("Fernwick");
  placeholder.resize(731, 526);
  placeholder.show();
  return app.exec();
}
