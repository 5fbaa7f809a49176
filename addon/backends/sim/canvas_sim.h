// Images and drawing on the simulated desktop.
//
// Every image is a raster painted with Cairo: images loaded from PNG files,
// system icons for content types (drawn here: a blue folder for folders, a page
// with a folded corner and a short label of the type for everything else), and
// images drawn on a canvas. A canvas records each operation with its geometry
// and attributes, so tests can assert on what was drawn, and paints them (at
// kCanvasPixelsPerPoint pixels per point, so a person can see the result).
//
// Icons and canvas images are painted when their pixels are first asked for
// (png(), or drawing them into another canvas), not when they are made: a drag
// makes its image every time, and almost nothing looks at its pixels. The
// result is the same raster, painted by the same calls in the same order.
//
// The images that canvases make are kept, with an id, until clear() is called;
// every other image is known by id for as long as something holds it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/canvas.h"
#include "port/image.h"

namespace kestrovan::sim {

inline constexpr double kCanvasPixelsPerPoint = 4;

// The font the simulator renders the system font with.
inline constexpr const char* kSystemFontFace = "DejaVu Sans";

enum class SimImageKind { kFile, kIcon, kCanvas };

class SimImage;

// One rounded rectangle of the clip in effect.
struct ClipShape {
  port::Rect rect;
  double xRadius = 0;
  double yRadius = 0;
};

struct CanvasOperation {
  // "saveGraphicsState", "restoreGraphicsState", "clip", "drawImage",
  // "fillRoundedRect", "strokeRoundedRect", "measureText" or "drawText".
  std::string kind;
  port::Rect rect;  // clip, destination, path or text rectangle
  double xRadius = 0;
  double yRadius = 0;
  // drawImage: the image, and for drawInRect:fromRect:operation:fraction: the
  // source rectangle as passed (empty: the whole image), operation and fraction.
  std::shared_ptr<SimImage> image;
  bool withSource = false;
  port::Rect source;
  port::CompositingOperation operation = port::CompositingOperation::kSourceOver;
  double fraction = 1;
  port::Color color;  // fill, stroke, text
  double lineWidth = 0;
  // Text: the text, its attributes, and for measureText the measured size.
  std::string text;
  port::TextAttributes attributes;
  port::Size measured;
  // The clip in effect when the operation ran: every shape applies.
  std::vector<ClipShape> clip;
  // How many graphics states were saved when the operation ran.
  int savedStates = 0;
};

class SimImage final : public port::Image {
 public:
  // Paints the image's raster when it is first asked for.
  using Painter = std::function<cairo_surface_t*(const SimImage&)>;

  // An image whose raster is already painted (it is owned from now on).
  SimImage(SimImageKind kind, port::Size size, cairo_surface_t* surface, double pixelsPerPoint);
  // An image painted by `painter` when its raster is first asked for.
  SimImage(SimImageKind kind, port::Size size, double pixelsPerPoint, Painter painter);
  ~SimImage() override;
  SimImage(const SimImage&) = delete;
  SimImage& operator=(const SimImage&) = delete;

  const void* identity() const override { return this; }
  port::Size size() const override { return pointSize; }

  // The raster as PNG bytes.
  std::vector<unsigned char> png() const;

  // The raster (rows top to bottom), painted now if it was not yet.
  cairo_surface_t* surface() const;

  uint64_t id = 0;
  SimImageKind kind;
  port::Size pointSize;
  double pixelsPerPoint;
  std::string path;                         // kFile: where it was loaded from
  std::string typeIdentifier;               // kIcon: the content type shown
  std::vector<CanvasOperation> operations;  // kCanvas: what was drawn, in order

 private:
  mutable cairo_surface_t* surface_ = nullptr;  // owned, once painted
  mutable Painter painter_;                     // until then
};

class SimImages {
 public:
  static SimImages& instance();

  // Gives the image its id and makes it known.
  void add(const std::shared_ptr<SimImage>& image);
  // The images canvases made since the last clear(), oldest first.
  const std::vector<std::shared_ptr<SimImage>>& canvasImages() const { return canvasImages_; }
  std::shared_ptr<SimImage> find(uint64_t id) const;
  // The id of an image this desktop made, or none.
  std::optional<uint64_t> idOf(const port::Image* image) const;
  // Forgets the canvas images (images still held elsewhere stay known).
  void clear();

 private:
  SimImages() = default;
  uint64_t nextId_ = 1;
  std::vector<std::shared_ptr<SimImage>> canvasImages_;
  std::map<uint64_t, std::weak_ptr<SimImage>> known_;
};

}  // namespace kestrovan::sim
