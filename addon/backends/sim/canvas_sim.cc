// Images and drawing on the simulated desktop, painted with Cairo.
//
// Canvases draw in points with AppKit's orientation (origin at the bottom
// left, y up); the raster behind them is stored top row first, as PNG wants.

#include "canvas_sim.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "desktop_sim.h"
#include "port/canvas.h"
#include "port/file_types.h"
#include "port/image.h"

namespace kestrovan::sim {

SimImage::SimImage(SimImageKind kind, port::Size size, cairo_surface_t* surface,
                   double pixelsPerPoint)
    : kind(kind), pointSize(size), pixelsPerPoint(pixelsPerPoint), surface_(surface) {}

SimImage::SimImage(SimImageKind kind, port::Size size, double pixelsPerPoint, Painter painter)
    : kind(kind), pointSize(size), pixelsPerPoint(pixelsPerPoint), painter_(std::move(painter)) {}

SimImage::~SimImage() {
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

cairo_surface_t* SimImage::surface() const {
  if (surface_ == nullptr) {
    surface_ = painter_(*this);
    painter_ = nullptr;
  }
  return surface_;
}

std::vector<unsigned char> SimImage::png() const {
  std::vector<unsigned char> bytes;
  cairo_surface_write_to_png_stream(
      surface(),
      [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<unsigned char>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
      },
      &bytes);
  return bytes;
}

SimImages& SimImages::instance() {
  static SimImages* images = new SimImages();
  return *images;
}

void SimImages::add(const std::shared_ptr<SimImage>& image) {
  for (auto it = known_.begin(); it != known_.end();) {
    it = it->second.expired() ? known_.erase(it) : std::next(it);
  }
  image->id = nextId_++;
  known_[image->id] = image;
  if (image->kind == SimImageKind::kCanvas) canvasImages_.push_back(image);
}

std::shared_ptr<SimImage> SimImages::find(uint64_t id) const {
  auto it = known_.find(id);
  return it == known_.end() ? nullptr : it->second.lock();
}

std::optional<uint64_t> SimImages::idOf(const port::Image* image) const {
  if (image == nullptr) return std::nullopt;
  for (const auto& [id, weak] : known_) {
    auto held = weak.lock();
    if (held && held.get() == image) return id;
  }
  return std::nullopt;
}

void SimImages::clear() { canvasImages_.clear(); }

namespace {

void setColor(cairo_t* cr, const port::Color& color) {
  switch (color.name) {
    case port::ColorName::kWhite:
      cairo_set_source_rgba(cr, 1, 1, 1, color.alpha);
      break;
    case port::ColorName::kBlack:
      cairo_set_source_rgba(cr, 0, 0, 0, color.alpha);
      break;
    case port::ColorName::kControlAccent:  // macOS's default blue accent, #007AFF
      cairo_set_source_rgba(cr, 0, 0x7A / 255.0, 1, color.alpha);
      break;
  }
}

void setRgb(cairo_t* cr, unsigned rgb, double alpha = 1) {
  cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                        (rgb & 0xFF) / 255.0, alpha);
}

// NSBezierPath bezierPathWithRoundedRect:xRadius:yRadius:: the radii are
// limited to half the width and half the height.
void roundedRectPath(cairo_t* cr, const port::Rect& rect, double xRadius, double yRadius) {
  const double x0 = rect.minX(), y0 = rect.minY(), x1 = rect.maxX(), y1 = rect.maxY();
  const double rx = std::clamp(xRadius, 0.0, (x1 - x0) / 2);
  const double ry = std::clamp(yRadius, 0.0, (y1 - y0) / 2);
  cairo_new_path(cr);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    return;
  }
  auto corner = [&](double cx, double cy, double from, double to) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, from, to);
    cairo_restore(cr);
  };
  corner(x1 - rx, y0 + ry, -M_PI / 2, 0);
  corner(x1 - rx, y1 - ry, 0, M_PI / 2);
  corner(x0 + rx, y1 - ry, M_PI / 2, M_PI);
  corner(x0 + rx, y0 + ry, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// The system font with monospaced digits, bold. DejaVu Sans' digits all have
// one advance, so the digits are monospaced as the system font's are. Metrics
// are unhinted, so a measurement does not depend on the scale drawn at.
void selectSystemFont(cairo_t* cr, double size) {
  cairo_select_font_face(cr, kSystemFontFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

struct TextMetrics {
  double advance;
  double ascent;
  double descent;
};

// Measured in points on an unscaled context.
TextMetrics measureOnScratch(const std::string& text, double fontSize) {
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  selectSystemFont(cr, fontSize);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_font_extents_t font;
  cairo_font_extents(cr, &font);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return {extents.x_advance, font.ascent, font.descent};
}

// As measureOnScratch, each text and size measured once: every drag measures
// its badge, and the badges repeat.
TextMetrics measure(const std::string& text, double fontSize) {
  static auto* mutex = new std::mutex();
  static auto* measured = new std::map<std::pair<std::string, double>, TextMetrics>();
  std::lock_guard<std::mutex> lock(*mutex);
  auto key = std::make_pair(text, fontSize);
  if (auto found = measured->find(key); found != measured->end()) return found->second;
  if (measured->size() >= 4096) measured->clear();  // bounded, whatever is measured
  return measured->emplace(std::move(key), measureOnScratch(text, fontSize)).first->second;
}

// One line of text whose top is at `top`, starting at `left`, on a context
// whose user space has y up.
void showText(cairo_t* cr, const std::string& text, double fontSize, double left, double top) {
  TextMetrics metrics = measure(text, fontSize);
  cairo_save(cr);
  cairo_translate(cr, left, top - metrics.ascent);
  cairo_scale(cr, 1, -1);
  selectSystemFont(cr, fontSize);
  cairo_move_to(cr, 0, 0);
  cairo_show_text(cr, text.c_str());
  cairo_restore(cr);
}

// Paints `image` into `destination` (y-up user space). `source` is in the
// image's points, y up from its bottom edge.
void paintImage(cairo_t* cr, const SimImage& image, const port::Rect& destination,
                const port::Rect& source, double fraction) {
  const port::Size size = image.pointSize;
  if (size.width <= 0 || size.height <= 0) return;
  if (destination.width == 0 || destination.height == 0) return;
  if (source.width <= 0 || source.height <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, destination.x, destination.y, destination.width, destination.height);
  cairo_clip(cr);
  cairo_translate(cr, destination.x, destination.y + destination.height);
  cairo_scale(cr, destination.width / source.width, -destination.height / source.height);
  cairo_translate(cr, -source.x, -(size.height - source.y - source.height));
  cairo_scale(cr, 1 / image.pixelsPerPoint, 1 / image.pixelsPerPoint);
  cairo_set_source_surface(cr, image.surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_paint_with_alpha(cr, fraction);
  cairo_restore(cr);
}

std::shared_ptr<SimImage> asSimImage(const port::ImagePtr& image) {
  if (!image) return nullptr;
  auto id = SimImages::instance().idOf(image.get());
  if (!id) {
    Desktop::instance().violation("drawing an image that is not an NSImage of this desktop");
    return nullptr;
  }
  return SimImages::instance().find(*id);
}

// Paints a canvas image's operations, as recorded, on a raster of its size.
cairo_surface_t* paintOperations(const SimImage& image) {
  const int width =
      std::max(1, static_cast<int>(std::ceil(image.pointSize.width * kCanvasPixelsPerPoint)));
  const int height =
      std::max(1, static_cast<int>(std::ceil(image.pointSize.height * kCanvasPixelsPerPoint)));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_translate(cr, 0, height);
  cairo_scale(cr, kCanvasPixelsPerPoint, -kCanvasPixelsPerPoint);
  for (const CanvasOperation& op : image.operations) {
    if (op.kind == "saveGraphicsState") {
      cairo_save(cr);
    } else if (op.kind == "restoreGraphicsState") {
      cairo_restore(cr);
    } else if (op.kind == "clip") {
      roundedRectPath(cr, op.rect, op.xRadius, op.yRadius);
      cairo_clip(cr);
    } else if (op.kind == "drawImage") {
      const port::Rect whole{0, 0, op.image->pointSize.width, op.image->pointSize.height};
      // An empty source rectangle (NSZeroRect) stands for the whole image.
      const bool empty = !op.withSource || op.source.width <= 0 || op.source.height <= 0;
      paintImage(cr, *op.image, op.rect, empty ? whole : op.source,
                 op.withSource ? op.fraction : 1);
    } else if (op.kind == "fillRoundedRect") {
      roundedRectPath(cr, op.rect, op.xRadius, op.yRadius);
      setColor(cr, op.color);
      cairo_fill(cr);
    } else if (op.kind == "strokeRoundedRect") {
      roundedRectPath(cr, op.rect, op.xRadius, op.yRadius);
      setColor(cr, op.color);
      cairo_set_line_width(cr, op.lineWidth);
      cairo_stroke(cr);
    } else if (op.kind == "drawText") {
      TextMetrics metrics = measure(op.text, op.attributes.font.size);
      double left = op.rect.x;
      if (op.attributes.alignment == port::TextAlignment::kCentered) {
        left += (op.rect.width - metrics.advance) / 2;
      }
      setColor(cr, op.attributes.color);
      showText(cr, op.text, op.attributes.font.size, left, op.rect.y + op.rect.height);
    }
    // measureText paints nothing.
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

// Records what is drawn and checks it as AppKit would; the pixels are painted
// from the record once they are asked for (paintOperations).
class SimCanvas final : public port::Canvas {
 public:
  explicit SimCanvas(port::Size size) : size_(size) {}

  ~SimCanvas() override {
    if (open_) {
      Desktop::instance().violation("an image was left with its focus locked (no unlockFocus)");
    }
  }

  SimCanvas(const SimCanvas&) = delete;
  SimCanvas& operator=(const SimCanvas&) = delete;

  void saveGraphicsState() override {
    if (!drawing("saveGraphicsState")) return;
    record(operationOf("saveGraphicsState"));
    saved_.push_back(clip_);
  }

  void restoreGraphicsState() override {
    if (!drawing("restoreGraphicsState")) return;
    if (saved_.empty()) {
      Desktop::instance().violation("restoreGraphicsState without a saved graphics state");
      return;
    }
    clip_ = saved_.back();
    saved_.pop_back();
    record(operationOf("restoreGraphicsState"));
  }

  void clipToRoundedRect(const port::Rect& rect, double xRadius, double yRadius) override {
    if (!drawing("addClip")) return;
    CanvasOperation op = operationOf("clip");
    op.rect = rect;
    op.xRadius = xRadius;
    op.yRadius = yRadius;
    record(std::move(op));
    clip_.push_back({rect, xRadius, yRadius});
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination) override {
    if (!drawing("drawInRect:")) return;
    auto simImage = asSimImage(image);
    if (!simImage) return;  // a message to nil draws nothing
    CanvasOperation op = operationOf("drawImage");
    op.rect = destination;
    op.image = simImage;
    record(std::move(op));
  }

  void drawImage(const port::ImagePtr& image, const port::Rect& destination,
                 const port::Rect& source, port::CompositingOperation operation,
                 double fraction) override {
    if (!drawing("drawInRect:fromRect:operation:fraction:")) return;
    auto simImage = asSimImage(image);
    if (!simImage) return;
    CanvasOperation op = operationOf("drawImage");
    op.rect = destination;
    op.image = simImage;
    op.withSource = true;
    op.source = source;
    op.operation = operation;
    op.fraction = fraction;
    record(std::move(op));
  }

  void fillRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                       const port::Color& color) override {
    if (!drawing("fill")) return;
    CanvasOperation op = operationOf("fillRoundedRect");
    op.rect = rect;
    op.xRadius = xRadius;
    op.yRadius = yRadius;
    op.color = color;
    record(std::move(op));
  }

  void strokeRoundedRect(const port::Rect& rect, double xRadius, double yRadius,
                         const port::Color& color, double lineWidth) override {
    if (!drawing("stroke")) return;
    CanvasOperation op = operationOf("strokeRoundedRect");
    op.rect = rect;
    op.xRadius = xRadius;
    op.yRadius = yRadius;
    op.color = color;
    op.lineWidth = lineWidth;
    record(std::move(op));
  }

  port::Size measureText(const std::string& text, const port::TextAttributes& attributes) override {
    TextMetrics metrics = measure(text, attributes.font.size);
    port::Size size{metrics.advance, metrics.ascent + metrics.descent};
    if (open_) {
      CanvasOperation op = operationOf("measureText");
      op.color = attributes.color;
      op.text = text;
      op.attributes = attributes;
      op.measured = size;
      record(std::move(op));
    }
    return size;
  }

  void drawText(const std::string& text, const port::Rect& rect,
                const port::TextAttributes& attributes) override {
    if (!drawing("drawInRect:withAttributes:")) return;
    CanvasOperation op = operationOf("drawText");
    op.rect = rect;
    op.color = attributes.color;
    op.text = text;
    op.attributes = attributes;
    record(std::move(op));
  }

  port::ImagePtr end() override {
    if (!drawing("unlockFocus")) return nullptr;
    if (!saved_.empty()) {
      Desktop::instance().violation("unlockFocus with " + std::to_string(saved_.size()) +
                                    " graphics state(s) still saved");
    }
    open_ = false;
    auto image = std::make_shared<SimImage>(SimImageKind::kCanvas, size_, kCanvasPixelsPerPoint,
                                            paintOperations);
    image->operations = std::move(operations_);
    SimImages::instance().add(image);
    return image;
  }

 private:
  static CanvasOperation operationOf(const char* kind) {
    CanvasOperation operation;
    operation.kind = kind;
    return operation;
  }

  bool drawing(const char* what) {
    if (open_) return true;
    Desktop::instance().violation(std::string(what) + " after unlockFocus");
    return false;
  }

  void record(CanvasOperation operation) {
    operation.clip = clip_;
    operation.savedStates = static_cast<int>(saved_.size());
    operations_.push_back(std::move(operation));
  }

  port::Size size_;
  bool open_ = true;  // until unlockFocus
  std::vector<ClipShape> clip_;
  std::vector<std::vector<ClipShape>> saved_;
  std::vector<CanvasOperation> operations_;
};

// System icons: 32 x 32 points, painted at 8 pixels per point.
constexpr double kIconPoints = 32;
constexpr double kIconPixelsPerPoint = 8;

// A short label for a document icon: a known type's usual extension, else the
// last part of the identifier.
std::string iconLabel(const std::string& identifier) {
  static const auto* labels = new std::map<std::string, std::string>{
      {"com.adobe.pdf", "PDF"},
      {"public.plain-text", "TXT"},
      {"public.zip-archive", "ZIP"},
      {"org.gnu.gnu-zip-archive", "GZ"},
      {"org.gnu.gnu-zip-tar-archive", "TGZ"},
      {"public.tar-archive", "TAR"},
      {"public.png", "PNG"},
      {"public.jpeg", "JPG"},
      {"public.json", "JSON"},
      {"public.html", "HTML"},
      {"public.mpeg-4", "MP4"},
      {"org.openxmlformats.wordprocessingml.document", "DOCX"},
      {"org.openxmlformats.spreadsheetml.sheet", "XLSX"},
      {"org.openxmlformats.presentationml.presentation", "PPTX"},
      {"net.daringfireball.markdown", "MD"},
      {"public.comma-separated-values-text", "CSV"},
      {"com.apple.quicktime-movie", "MOV"},
      {"com.compuserve.gif", "GIF"},
  };
  if (auto it = labels->find(identifier); it != labels->end()) return it->second;
  std::string last = identifier.substr(identifier.rfind('.') + 1);
  last = last.substr(0, std::min<size_t>(last.find('-'), 4));
  for (char& c : last) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return last;
}

// Paints in a 32-point space with y down.
void paintFolder(cairo_t* cr) {
  auto rounded = [&](double x, double y, double w, double h, double r) {
    roundedRectPath(cr, {x, y, w, h}, r, r);  // symmetric: orientation does not matter
  };
  rounded(3, 5.5, 11, 6, 1.5);  // the tab
  setRgb(cr, 0x3C8FD9);
  cairo_fill(cr);
  rounded(2, 8, 28, 19, 2);  // the back
  setRgb(cr, 0x4A9FE8);
  cairo_fill(cr);
  rounded(2, 11, 28, 16, 2);  // the front
  setRgb(cr, 0x74BDF6);
  cairo_fill_preserve(cr);
  setRgb(cr, 0x3C8FD9);
  cairo_set_line_width(cr, 0.5);
  cairo_stroke(cr);
}

void paintDocument(cairo_t* cr, const std::string& label) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cr, 6.5, 2);
  cairo_line_to(cr, 19.5, 2);
  cairo_line_to(cr, 26, 8.5);
  cairo_line_to(cr, 26, 30);
  cairo_line_to(cr, 6.5, 30);
  cairo_close_path(cr);
  setRgb(cr, 0xFFFFFF);
  cairo_fill_preserve(cr);
  setRgb(cr, 0x8E8E93);
  cairo_set_line_width(cr, 0.75);
  cairo_stroke(cr);
  // The folded corner.
  cairo_move_to(cr, 19.5, 2);
  cairo_line_to(cr, 19.5, 8.5);
  cairo_line_to(cr, 26, 8.5);
  cairo_close_path(cr);
  setRgb(cr, 0xD8D8DC);
  cairo_fill_preserve(cr);
  setRgb(cr, 0x8E8E93);
  cairo_stroke(cr);
  if (label.empty()) return;
  double size = 6;
  double width = measure(label, size).advance;
  if (width > 17) {
    size *= 17 / width;
    width = 17;
  }
  TextMetrics metrics = measure(label, size);
  cairo_select_font_face(cr, kSystemFontFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  setRgb(cr, 0x5A5A60);
  cairo_move_to(cr, 16.25 - width / 2, 23 + metrics.ascent / 2);
  cairo_show_text(cr, label.c_str());
}

std::shared_ptr<SimImage> makeIcon(const std::string& identifier) {
  auto icon = std::make_shared<SimImage>(
      SimImageKind::kIcon, port::Size{kIconPoints, kIconPoints}, kIconPixelsPerPoint,
      [](const SimImage& image) {
        const int pixels = static_cast<int>(kIconPoints * kIconPixelsPerPoint);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, kIconPixelsPerPoint, kIconPixelsPerPoint);
        const std::string& type = image.typeIdentifier;
        if (type == port::folderTypeIdentifier() || type == "public.directory") {
          paintFolder(cr);
        } else {
          // The generic data type, and a dynamic type, show a blank page, as
          // macOS's generic document icon does.
          const bool generic = type == port::dataTypeIdentifier() || type.rfind("dyn.", 0) == 0;
          paintDocument(cr, generic ? "" : iconLabel(type));
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        return surface;
      });
  icon->typeIdentifier = identifier;
  return icon;
}

}  // namespace

}  // namespace kestrovan::sim

namespace kestrovan::port {

std::unique_ptr<Canvas> beginCanvas(const Size& size) {
  if (sim::Desktop::instance().raises("lockFocus")) return nullptr;
  return std::make_unique<sim::SimCanvas>(size);
}

ImagePtr loadImage(const std::string& path) {
  if (sim::Desktop::instance().raises("initWithContentsOfFile:")) return nullptr;
  // Cairo reads PNG files only; anything else counts as unreadable here.
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  Size size{static_cast<double>(cairo_image_surface_get_width(surface)),
            static_cast<double>(cairo_image_surface_get_height(surface))};
  auto image = std::make_shared<sim::SimImage>(sim::SimImageKind::kFile, size, surface, 1);
  image->path = path;
  sim::SimImages::instance().add(image);
  return image;
}

ImagePtr iconForContentType(const std::string& typeIdentifier) {
  if (sim::Desktop::instance().raises("iconForContentType:")) return nullptr;
  auto icon =
      sim::makeIcon(isKnownTypeIdentifier(typeIdentifier) ? typeIdentifier : dataTypeIdentifier());
  sim::SimImages::instance().add(icon);
  return icon;
}

}  // namespace kestrovan::port
