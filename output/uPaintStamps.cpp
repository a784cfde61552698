#include "output/uPaintStamps.h"

#include <QPaintEngine>

#include <cmath>

namespace kadrel {

namespace {

bool Whole(qreal v) { return v == std::round(v); }

}  // namespace

bool TPaintStamps::Copies(const QPainter& p) {
  QPaintEngine* engine = p.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return false;
  // A widget's painter paints on its backing store: the engine's device is
  // the image the copies must match, not the widget.
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image) return false;
  const QImage& image = *static_cast<const QImage*>(device);
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) return false;
  // Above one device pixel to a unit, a one-unit pen straddles the edge of
  // its box and paints into the next, which a copy of the box cannot.
  if (image.devicePixelRatio() != 1) return false;
  const QTransform t = p.deviceTransform();
  if (t.type() > QTransform::TxTranslate || !Whole(t.dx()) || !Whole(t.dy())) return false;
  if (p.opacity() != 1.0 || p.compositionMode() != QPainter::CompositionMode_SourceOver) return false;
  const TTarget target{image.format(), p.renderHints()};
  if (!(target == target_)) {
    stamps_.clear();
    target_ = target;
  }
  return true;
}

const QImage* TPaintStamps::Find(QSize size, std::string_view key) {
  lookup_.assign(std::to_string(size.width())).append(1, 'x').append(std::to_string(size.height())).append(1, ':');
  lookup_.append(key);
  const auto it = stamps_.find(lookup_);
  return it == stamps_.end() ? nullptr : &it->second;
}

QImage TPaintStamps::Blank(QSize size) const {
  return QImage(size, target_.Format);
}

const QImage& TPaintStamps::Keep(QImage stamp) {
  if (stamps_.size() >= most_) stamps_.clear();
  return stamps_.insert_or_assign(lookup_, std::move(stamp)).first->second;
}

}  // namespace kadrel
