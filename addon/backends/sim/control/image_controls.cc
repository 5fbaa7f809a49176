// Control functions for the image side of the simulated desktop: the images
// canvases made, with every drawing operation, and their rasters as PNG bytes.

#include <string>

#include "canvas_sim.h"
#include "control/controls.h"
#include "control/napi_util.h"
#include "desktop_sim.h"

namespace kestrovan::sim::control {

namespace {

napi_value nullValue(napi_env env) {
  napi_value n;
  napi_get_null(env, &n);
  return n;
}

const char* kindName(SimImageKind kind) {
  switch (kind) {
    case SimImageKind::kFile:
      return "file";
    case SimImageKind::kIcon:
      return "icon";
    case SimImageKind::kCanvas:
      return "canvas";
  }
  return "";
}

const char* colorName(port::ColorName name) {
  switch (name) {
    case port::ColorName::kWhite:
      return "white";
    case port::ColorName::kBlack:
      return "black";
    case port::ColorName::kControlAccent:
      return "controlAccent";
  }
  return "";
}

napi_value fromSize(napi_env env, const port::Size& size) {
  napi_value o = object(env);
  set(env, o, "width", number(env, size.width));
  set(env, o, "height", number(env, size.height));
  return o;
}

napi_value fromColor(napi_env env, const port::Color& color) {
  napi_value o = object(env);
  set(env, o, "name", string(env, colorName(color.name)));
  set(env, o, "alpha", number(env, color.alpha));
  return o;
}

napi_value fromFont(napi_env env, const port::BoldMonospacedDigitSystemFont& font) {
  napi_value o = object(env);
  set(env, o, "name", string(env, "system"));
  set(env, o, "size", number(env, font.size));
  set(env, o, "weight", string(env, "bold"));
  set(env, o, "monospacedDigits", boolean(env, true));
  set(env, o, "renderedWith", string(env, std::string(kSystemFontFace) + " Bold"));
  return o;
}

// Identity and size; where a file image came from, which type an icon shows.
napi_value imageSummary(napi_env env, const SimImage& image) {
  napi_value o = object(env);
  set(env, o, "id", number(env, static_cast<double>(image.id)));
  set(env, o, "kind", string(env, kindName(image.kind)));
  set(env, o, "size", fromSize(env, image.pointSize));
  if (image.kind == SimImageKind::kFile) set(env, o, "path", string(env, image.path));
  if (image.kind == SimImageKind::kIcon) {
    set(env, o, "typeIdentifier", string(env, image.typeIdentifier));
  }
  return o;
}

napi_value fromOperation(napi_env env, const CanvasOperation& op) {
  napi_value o = object(env);
  set(env, o, "kind", string(env, op.kind));
  const bool rounded =
      op.kind == "clip" || op.kind == "fillRoundedRect" || op.kind == "strokeRoundedRect";
  if (rounded || op.kind == "drawImage" || op.kind == "drawText") {
    set(env, o, "rect", fromRect(env, op.rect));
  }
  if (rounded) {
    set(env, o, "xRadius", number(env, op.xRadius));
    set(env, o, "yRadius", number(env, op.yRadius));
  }
  if (op.kind == "drawImage") {
    set(env, o, "image", imageSummary(env, *op.image));
    set(env, o, "method",
        string(env, op.withSource ? "drawInRect:fromRect:operation:fraction:" : "drawInRect:"));
    set(env, o, "source", op.withSource ? fromRect(env, op.source) : nullValue(env));
    set(env, o, "operation", string(env, "sourceOver"));
    set(env, o, "fraction", number(env, op.fraction));
  }
  if (op.kind == "fillRoundedRect" || op.kind == "strokeRoundedRect") {
    set(env, o, "color", fromColor(env, op.color));
  }
  if (op.kind == "strokeRoundedRect") set(env, o, "lineWidth", number(env, op.lineWidth));
  if (op.kind == "measureText" || op.kind == "drawText") {
    set(env, o, "text", string(env, op.text));
    set(env, o, "font", fromFont(env, op.attributes.font));
    set(env, o, "color", fromColor(env, op.attributes.color));
    set(env, o, "alignment", string(env, "center"));
  }
  if (op.kind == "measureText") set(env, o, "measured", fromSize(env, op.measured));
  napi_value clip = array(env);
  for (const auto& shape : op.clip) {
    napi_value c = object(env);
    set(env, c, "rect", fromRect(env, shape.rect));
    set(env, c, "xRadius", number(env, shape.xRadius));
    set(env, c, "yRadius", number(env, shape.yRadius));
    push(env, clip, c);
  }
  set(env, o, "clip", clip);
  set(env, o, "savedStates", number(env, op.savedStates));
  return o;
}

napi_value imageDescription(napi_env env, const SimImage& image) {
  napi_value o = imageSummary(env, image);
  if (image.kind == SimImageKind::kCanvas) {
    napi_value operations = array(env);
    for (const auto& op : image.operations) push(env, operations, fromOperation(env, op));
    set(env, o, "operations", operations);
  }
  return o;
}

std::shared_ptr<SimImage> imageArgument(napi_env env, napi_value value) {
  double id = toNumber(env, value, "image id");
  auto image = SimImages::instance().find(static_cast<uint64_t>(id));
  if (!image) throw ControlError{"no image " + std::to_string(static_cast<int64_t>(id))};
  return image;
}

#define CONTROL(name) napi_value name(napi_env env, napi_callback_info info)

CONTROL(images) {
  return guarded(env, [&] {
    napi_value out = array(env);
    for (const auto& image : SimImages::instance().canvasImages()) {
      push(env, out, imageDescription(env, *image));
    }
    return out;
  });
}

CONTROL(lastImage) {
  return guarded(env, [&] {
    const auto& all = SimImages::instance().canvasImages();
    return all.empty() ? nullValue(env) : imageDescription(env, *all.back());
  });
}

CONTROL(image) {
  return guarded(
      env, [&] { return imageDescription(env, *imageArgument(env, arguments(env, info, 1)[0])); });
}

CONTROL(imagePng) {
  return guarded(env, [&] {
    auto bytes = imageArgument(env, arguments(env, info, 1)[0])->png();
    napi_value buffer;
    if (napi_create_buffer_copy(env, bytes.size(), bytes.data(), nullptr, &buffer) != napi_ok) {
      throw ControlError{"cannot create the PNG buffer"};
    }
    return buffer;
  });
}

CONTROL(clearImages) {
  return guarded(env, [&] {
    SimImages::instance().clear();
    return undefinedValue(env);
  });
}

}  // namespace

void registerImageControls(napi_env env, napi_value exports) {
  defineFunction(env, exports, "images", images);
  defineFunction(env, exports, "lastImage", lastImage);
  defineFunction(env, exports, "image", image);
  defineFunction(env, exports, "imagePng", imagePng);
  defineFunction(env, exports, "clearImages", clearImages);
}

}  // namespace kestrovan::sim::control
