// Looks that a painting repeats by the thousand (a table's cells: a ground,
// a border, a short text) are painted once and copied after: shaping and
// laying out a text costs a hundred times what copying its pixels does.
//
// A copy is the same as a painting only where the painter puts pixels one to
// one: a raster image of 32 bits at one pixel to a unit, moved by whole
// pixels, neither turned nor scaled, opaque, drawing over. Anywhere else (a
// PDF, a printer, a page scaled to its paper, a screen of two pixels to a
// unit) each look is painted where it goes, so text stays text.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kadrel {

class TPaintStamps {
 public:
  // Holds at most `most` looks: past it they are all dropped and made
  // again, so that keys which never repeat cost no more than that.
  explicit TPaintStamps(std::size_t most = 4096) : most_(most) {}

  // `draw` paints the look into the rectangle it is given, on the painter it
  // is given, and must cover every pixel of it: a copy has no ground of its
  // own. `key` names the look among the others of the same size: everything
  // `draw` reads must be in it, or a copy would show a look gone stale.
  template <class Draw>
  void Paint(QPainter& p, const QRect& r, std::string_view key, Draw&& draw) {
    if (!Copies(p)) {
      draw(p, r);
      return;
    }
    const QImage* stamp = Find(r.size(), key);
    if (!stamp) {
      QImage made = Blank(r.size());
      {
        QPainter onStamp(&made);
        onStamp.setRenderHints(onStamp.renderHints(), false);
        onStamp.setRenderHints(target_.Hints);
        draw(onStamp, QRect(QPoint(), r.size()));
      }
      stamp = &Keep(std::move(made));
    }
    p.drawImage(r.topLeft(), *stamp);
  }

 private:
  // The target's pixels, as a copy must match them.
  struct TTarget {
    QImage::Format Format = QImage::Format_Invalid;
    QPainter::RenderHints Hints;
    friend bool operator==(const TTarget&, const TTarget&) = default;
  };
  struct THash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  // Whether a copy on `p` is exact; a new kind of target drops the copies
  // made for the one before.
  bool Copies(const QPainter& p);
  // Sets the key that Keep stores under.
  const QImage* Find(QSize size, std::string_view key);
  QImage Blank(QSize size) const;
  const QImage& Keep(QImage stamp);

  std::size_t most_;
  TTarget target_;
  std::string lookup_;
  std::unordered_map<std::string, QImage, THash, std::equal_to<>> stamps_;
};

}  // namespace kadrel
