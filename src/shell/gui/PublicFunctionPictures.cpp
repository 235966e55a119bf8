#include "shell/gui/PublicFunctionPictures.h"

#include <QFile>
#include <map>

#include "shell/gui/ImageExUnit.h"
#include "shell/gui/JpegDecoder.h"

// The pictures live in the static window library; registering them here keeps
// the linker from dropping them.
static void RegisterPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace {

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

}  // namespace

QString PictureResourcePath(const std::string& type, const std::string& name) {
  static const bool registered = (RegisterPictureResources(), true);
  (void)registered;
  return QStringLiteral(":/%1/%2").arg(QString::fromStdString(type), QString::fromStdString(name));
}

QImage LoadJpegPicture(const std::string& name, const std::string& type) {
  static std::map<QString, QImage> cache;
  const QString path = PictureResourcePath(type, name);
  auto found = cache.find(path);
  if (found != cache.end()) return found->second;
  QImage picture = DecodeJpeg(ReadResource(path));
  if (!picture.isNull()) cache.emplace(path, picture);
  return picture;
}

std::shared_ptr<const GifAnimation> LoadGifAnimation(const std::string& name) {
  static std::map<QString, std::shared_ptr<const GifAnimation>> cache;
  const QString path = PictureResourcePath("GIF", name);
  auto found = cache.find(path);
  if (found != cache.end()) return found->second;
  auto animation = std::make_shared<const GifAnimation>(DecodeGif(ReadResource(path)));
  if (animation->isNull()) return nullptr;
  cache.emplace(path, animation);
  return animation;
}

bool LoadJpegResource(TImageEx* Image, const std::string& Name, const std::string& ResourceType) {
  if (!Image || Image->Tag == 1) return false;
  const QImage picture = LoadJpegPicture(Name, ResourceType);
  if (picture.isNull()) return false;
  Image->SetPicture(picture);
  return true;
}

bool LoadGifResource(const std::string& Name, TImageEx* Image) {
  if (!Image) return false;
  std::shared_ptr<const GifAnimation> animation = LoadGifAnimation(Name);
  if (!animation) return false;
  Image->SetAnimation(std::move(animation));
  return true;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const char* size : {"16", "32", "48", "256"})
    icon.addFile(PictureResourcePath("ICON", std::string("MAINICON") + size));
  return icon;
}
