#include "drag_recording.h"

#import <objc/runtime.h>

namespace kestrovan::appkit_driver {

namespace {

using BeginDragging = NSDraggingSession* (*)(id, SEL, NSArray<NSDraggingItem*>*, NSEvent*, id<NSDraggingSource>);

BeginDragging originalBeginDragging = nullptr;
NSData* _Nullable latestPng = nil;
NSInteger begun = 0;

CGImageRef _Nullable cgImageOf(id contents) {
  if ([contents isKindOfClass:[NSImage class]]) {
    return [static_cast<NSImage*>(contents) CGImageForProposedRect:nullptr context:nil hints:nil];
  }
  if (contents && CFGetTypeID((__bridge CFTypeRef)contents) == CGImageGetTypeID()) {
    return (__bridge CGImageRef)contents;
  }
  return nullptr;
}

NSData* _Nullable pngOfFirstItem(NSArray<NSDraggingItem*>* items) {
  NSDraggingItem* first = items.firstObject;
  NSArray<NSDraggingImageComponent*>* components = first.imageComponents;
  NSDraggingImageComponent* chosen = components.firstObject;
  for (NSDraggingImageComponent* component in components) {
    if ([component.key isEqualToString:NSDraggingImageComponentIconKey]) chosen = component;
  }
  CGImageRef image = cgImageOf(chosen.contents);
  if (!image) return nil;
  NSBitmapImageRep* bitmap = [[NSBitmapImageRep alloc] initWithCGImage:image];
  return [bitmap representationUsingType:NSBitmapImageFileTypePNG properties:@{}];
}

NSDraggingSession* recordingBeginDragging(id view, SEL selector, NSArray<NSDraggingItem*>* items, NSEvent* event,
                                          id<NSDraggingSource> source) {
  // Reading the image must not change what the drag itself does or raises.
  NSData* _Nullable png = nil;
  @try {
    png = pngOfFirstItem(items);
  } @catch (id) {
    png = nil;
  }
  NSDraggingSession* session = originalBeginDragging(view, selector, items, event, source);
  // Counted once begun: a drag AppKit refused by raising never ends.
  begun += 1;
  latestPng = png;
  return session;
}

}  // namespace

void startDragRecording() {
  if (originalBeginDragging) return;
  Method method =
      class_getInstanceMethod([NSView class], @selector(beginDraggingSessionWithItems:event:source:));
  if (!method) return;
  originalBeginDragging =
      reinterpret_cast<BeginDragging>(method_setImplementation(method, reinterpret_cast<IMP>(recordingBeginDragging)));
}

NSData* _Nullable latestDragImagePng() { return latestPng; }

NSInteger dragsBegun() { return begun; }

}  // namespace kestrovan::appkit_driver
