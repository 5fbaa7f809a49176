// Handles that carry NSImage objects into the core. A handle holds its image
// strongly (ARC) for as long as it lives.
#pragma once

#import <AppKit/AppKit.h>

#include "port/image.h"

namespace kestrovan::mac {

port::ImagePtr wrapImage(NSImage* image);
// The NSImage behind a handle made by this backend, or nil.
NSImage* unwrapImage(const port::Image* image);

}  // namespace kestrovan::mac
