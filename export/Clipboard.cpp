#include "export/Clipboard.h"

namespace {

bool AddPicture(QMimeData& data, const TPicture& picture, TPictureFormat format,
                std::string& error) {
  QByteArray bytes;
  if (!EncodePicture(picture, {format, kMinExportScale, false}, bytes, error)) return false;
  data.setData(QString::fromLatin1(InfoOf(format).MimeType), bytes);
  return true;
}

}  // namespace

std::unique_ptr<QMimeData> MakeClipboardData(const TPicture& picture, std::string& error) {
  auto data = std::make_unique<QMimeData>();
  // Qt encodes the image for programs that ask for a format of their
  // choice; its PNG then describes itself as ours does.
  QImage image = picture.Bitmap;
  image.setText(kPictureDescriptionKey,
                QString::fromStdU16String(PictureDescription(picture.Text)));
  data->setImageData(image);
  if (!AddPicture(*data, picture, TPictureFormat::Png, error) ||
      !AddPicture(*data, picture, TPictureFormat::Svg, error)) {
    return nullptr;
  }
  if (!picture.Document.empty()) {
    data->setData(kDocumentMimeType,
                  QByteArray(reinterpret_cast<const char*>(picture.Document.data()),
                             static_cast<qsizetype>(picture.Document.size())));
  }
  return data;
}
