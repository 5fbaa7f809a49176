// sidecar-mac-probe: what the sidecar's Mac suite (dropzone_sidecar_mac.test.mjs)
// needs to see of a running sidecar from outside it, and a real drag to show
// it. Test-only, built on macOS only, never shipped; it shares no code with
// the sidecar. One command a run, its answer on standard output:
//
//   activation-policy PID     "regular", "accessory", "prohibited" or "none" (no
//                             application with that process id)
//   ignores-termination PID   "yes" when the process ignores SIGTERM and SIGINT
//                             (the sidecar's handler sets that, then watches for
//                             both through dispatch), "no", or "none" (no such
//                             process)
//   wait-exit PID SECONDS     "WATCHING" once it watches, then "EXITED <status>"
//                             or "SIGNALED <signal>" when the process ends, or
//                             "TIMEOUT" (status 1); "GONE" (status 1) when there
//                             was no such process to watch
//   can-post-events           "yes" when this process may post events
//                             (CGPreflightPostEventAccess()), else "no"
//   main-display              "x y width height" of the main display, in points
//                             with the origin at its top-left (as Electron's screen)
//   drag FILE X0,Y0 X1,Y1     a real drag of FILE: shows a window under X0,Y0,
//                             posts a left press there through the HID event tap,
//                             drags to X1,Y1 (the window begins a dragging session
//                             of the file's URL once the pointer moves), prints
//                             "AT 1" and waits for a line on standard input, drags
//                             back to X0,Y0, prints "AT 0", waits for a line,
//                             releases over its own window (no drop target: the
//                             drag is cancelled) and prints "RELEASED". At end of
//                             input, or 30 s without a line, it releases the
//                             button first. Status 3 without post-event access.
//   drag-promise NAME X0,Y0 X1,Y1
//                             the same drag of a file promised, not yet written, as
//                             Mail, Photos and Safari drag theirs: one
//                             NSFilePromiseProvider (plain text, named NAME), no
//                             file URL on the pasteboard
//
// Points are screen points with the origin at the main display's top-left.
#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include <sys/event.h>
#include <sys/sysctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void say(const char* line) {
  std::fputs(line, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool readPid(const char* text, pid_t* pid) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value <= 0) return false;
  *pid = static_cast<pid_t>(value);
  return true;
}

bool readPoint(const char* text, CGPoint* point) {
  double x = 0;
  double y = 0;
  char tail = 0;
  if (std::sscanf(text, "%lf,%lf%c", &x, &y, &tail) != 2) return false;
  *point = CGPointMake(x, y);
  return true;
}

int activationPolicy(pid_t pid) {
  NSRunningApplication* application =
      [NSRunningApplication runningApplicationWithProcessIdentifier:pid];
  if (application == nil) {
    say("none");
    return 0;
  }
  const NSApplicationActivationPolicy policy = application.activationPolicy;
  if (policy == NSApplicationActivationPolicyRegular) {
    say("regular");
  } else if (policy == NSApplicationActivationPolicyAccessory) {
    say("accessory");
  } else if (policy == NSApplicationActivationPolicyProhibited) {
    say("prohibited");
  } else {
    std::printf("unknown %ld\n", static_cast<long>(policy));
    std::fflush(stdout);
  }
  return 0;
}

int ignoresTermination(pid_t pid) {
  int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid};
  struct kinfo_proc info;
  std::memset(&info, 0, sizeof info);
  size_t size = sizeof info;
  if (sysctl(name, 4, &info, &size, nullptr, 0) != 0 || size == 0) {
    say("none");
    return 0;
  }
  const sigset_t ignored = info.kp_proc.p_sigignore;
  say(sigismember(&ignored, SIGTERM) == 1 && sigismember(&ignored, SIGINT) == 1 ? "yes" : "no");
  return 0;
}

// kqueue reports the exit status of a process this one may signal
// (NOTE_EXITSTATUS), not only of its own children.
int waitExit(pid_t pid, int seconds) {
  const int queue = kqueue();
  if (queue == -1) {
    std::perror("sidecar-mac-probe: kqueue");
    return 2;
  }
  struct kevent change;
  EV_SET(&change, static_cast<uintptr_t>(pid), EVFILT_PROC, EV_ADD | EV_ONESHOT,
         NOTE_EXIT | NOTE_EXITSTATUS, 0, nullptr);
  if (kevent(queue, &change, 1, nullptr, 0, nullptr) == -1) {
    close(queue);
    say(errno == ESRCH ? "GONE" : "ERROR");
    return 1;
  }
  say("WATCHING");
  struct kevent event;
  const struct timespec timeout = {seconds, 0};
  const int count = kevent(queue, nullptr, 0, &event, 1, &timeout);
  close(queue);
  if (count != 1) {
    say("TIMEOUT");
    return 1;
  }
  const int status = static_cast<int>(event.data);
  char line[64];
  if (WIFEXITED(status)) {
    std::snprintf(line, sizeof line, "EXITED %d", WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    std::snprintf(line, sizeof line, "SIGNALED %d", WTERMSIG(status));
  } else {
    std::snprintf(line, sizeof line, "ENDED %d", status);
  }
  say(line);
  return 0;
}

int mainDisplay() {
  const CGRect bounds = CGDisplayBounds(CGMainDisplayID());
  std::printf("%g %g %g %g\n", bounds.origin.x, bounds.origin.y, bounds.size.width,
              bounds.size.height);
  std::fflush(stdout);
  return 0;
}

void postMouse(CGEventType type, CGPoint at) {
  CGEventRef event = CGEventCreateMouseEvent(nullptr, type, at, kCGMouseButtonLeft);
  if (event == nullptr) return;
  CGEventPost(kCGHIDEventTap, event);
  CFRelease(event);
}

// Drags in small steps, as a hand would, so that every step is an event.
void dragAlong(CGPoint from, CGPoint to) {
  const int steps = 30;
  for (int step = 1; step <= steps; ++step) {
    const double t = static_cast<double>(step) / steps;
    postMouse(kCGEventLeftMouseDragged,
              CGPointMake(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t));
    usleep(15 * 1000);
  }
}

// A line on standard input, false at its end or after 30 s without one.
bool awaitLine() {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(STDIN_FILENO, &readable);
  struct timeval timeout = {30, 0};
  if (select(STDIN_FILENO + 1, &readable, nullptr, nullptr, &timeout) != 1) return false;
  char buffer[256];
  return std::fgets(buffer, sizeof buffer, stdin) != nullptr;
}

}  // namespace

// The drag's source: the window's only view, which begins a dragging session
// of the file's URL, or of a promise of the file named promisedName, at the
// first drag event after a press in it. It is the promise's delegate; no
// drop target asks for the file (the drag is cancelled), so it writes none.
@interface KestrovanProbeDragView : NSView <NSDraggingSource, NSFilePromiseProviderDelegate>
@property(nonatomic, copy) NSURL* fileURL;
@property(nonatomic, copy) NSString* promisedName;
@property(nonatomic) BOOL dragBegun;
@end

@implementation KestrovanProbeDragView

- (BOOL)acceptsFirstMouse:(NSEvent*)event {
  return YES;
}

- (void)mouseDown:(NSEvent*)event {
  self.dragBegun = NO;
}

- (void)mouseDragged:(NSEvent*)event {
  if (self.dragBegun || (self.fileURL == nil && self.promisedName == nil)) return;
  self.dragBegun = YES;
  id<NSPasteboardWriting> writer = self.fileURL;
  if (writer == nil) {
    writer = [[NSFilePromiseProvider alloc] initWithFileType:@"public.plain-text" delegate:self];
  }
  NSDraggingItem* item = [[NSDraggingItem alloc] initWithPasteboardWriter:writer];
  NSString* path = self.fileURL.path;
  NSImage* icon = path != nil ? [[NSWorkspace sharedWorkspace] iconForFile:path]
                              : [NSImage imageNamed:NSImageNameMultipleDocuments];
  [item setDraggingFrame:NSMakeRect(0, 0, 32, 32) contents:icon];
  [self beginDraggingSessionWithItems:@[ item ] event:event source:self];
}

- (NSDragOperation)draggingSession:(NSDraggingSession*)session
    sourceOperationMaskForDraggingContext:(NSDraggingContext)context {
  return NSDragOperationCopy;
}

- (NSString*)filePromiseProvider:(NSFilePromiseProvider*)filePromiseProvider
                 fileNameForType:(NSString*)fileType {
  return self.promisedName != nil ? self.promisedName : @"promised.txt";
}

- (void)filePromiseProvider:(NSFilePromiseProvider*)filePromiseProvider
          writePromiseToURL:(NSURL*)url
          completionHandler:(void (^)(NSError* _Nullable errorOrNil))completionHandler {
  completionHandler([NSError errorWithDomain:NSCocoaErrorDomain
                                        code:NSUserCancelledError
                                    userInfo:nil]);
}

@end

namespace {

// Drags the file at `file`, or a promise of a file named `promisedName` when
// that is given.
int drag(NSString* file, NSString* promisedName, CGPoint start, CGPoint target) {
  if (!CGPreflightPostEventAccess()) {
    std::fputs(
        "sidecar-mac-probe: this process may not post events (CGPreflightPostEventAccess() is "
        "false)\n",
        stderr);
    return 3;
  }
  NSApplication* application = [NSApplication sharedApplication];
  [application setActivationPolicy:NSApplicationActivationPolicyRegular];

  // A 120-point window centred under the start point; AppKit's screen space
  // has its origin at the main display's bottom-left.
  const CGFloat mainHeight = CGDisplayBounds(CGMainDisplayID()).size.height;
  const NSRect frame = NSMakeRect(start.x - 60, mainHeight - start.y - 60, 120, 120);
  NSWindow* window = [[NSWindow alloc] initWithContentRect:frame
                                                 styleMask:NSWindowStyleMaskBorderless
                                                   backing:NSBackingStoreBuffered
                                                     defer:NO];
  window.releasedWhenClosed = NO;
  window.level = NSFloatingWindowLevel;
  KestrovanProbeDragView* view =
      [[KestrovanProbeDragView alloc] initWithFrame:NSMakeRect(0, 0, 120, 120)];
  if (promisedName != nil) {
    view.promisedName = promisedName;
  } else {
    view.fileURL = [NSURL fileURLWithPath:file];
  }
  window.contentView = view;
  // Shown and activated from the running application, once it has finished
  // launching.
  dispatch_async(dispatch_get_main_queue(), ^{
    [window makeKeyAndOrderFront:nil];
    [application activateIgnoringOtherApps:YES];
  });

  // The events are posted from a thread of their own while the main thread
  // runs the application, whose dragging session follows them.
  NSThread* poster = [[NSThread alloc] initWithBlock:^{
    usleep(800 * 1000);  // the window is shown and the application active
    postMouse(kCGEventMouseMoved, start);
    usleep(100 * 1000);
    postMouse(kCGEventLeftMouseDown, start);
    usleep(100 * 1000);
    CGPoint at = start;
    bool going = true;
    dragAlong(at, CGPointMake(start.x + 8, start.y));  // the dragging session begins
    at = CGPointMake(start.x + 8, start.y);
    dragAlong(at, target);
    at = target;
    say("AT 1");
    going = awaitLine();
    if (going) {
      dragAlong(at, start);
      at = start;
      say("AT 0");
      going = awaitLine();
    }
    postMouse(kCGEventLeftMouseUp, at);
    if (going) say("RELEASED");
    usleep(500 * 1000);  // the cancelled drag slides back
    // Ended from here, whatever the main thread's run loop is doing: the
    // output is flushed line by line, and nothing else is left to finish.
    _exit(going ? 0 : 1);
  }];
  [poster start];
  [application run];
  return 0;
}

int usage() {
  std::fputs(
      "usage: sidecar-mac-probe activation-policy PID | ignores-termination PID | wait-exit PID "
      "SECONDS | can-post-events "
      "| main-display | drag FILE X0,Y0 X1,Y1 | drag-promise NAME X0,Y0 X1,Y1\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  @autoreleasepool {
    const std::string command = argc > 1 ? argv[1] : "";
    pid_t pid = 0;
    if (command == "activation-policy" && argc == 3 && readPid(argv[2], &pid)) {
      return activationPolicy(pid);
    }
    if (command == "ignores-termination" && argc == 3 && readPid(argv[2], &pid)) {
      return ignoresTermination(pid);
    }
    if (command == "wait-exit" && argc == 4 && readPid(argv[2], &pid)) {
      const int seconds = std::atoi(argv[3]);
      return waitExit(pid, seconds > 0 ? seconds : 10);
    }
    if (command == "can-post-events" && argc == 2) {
      say(CGPreflightPostEventAccess() ? "yes" : "no");
      return 0;
    }
    if (command == "main-display" && argc == 2) return mainDisplay();
    CGPoint start = CGPointZero;
    CGPoint target = CGPointZero;
    if ((command == "drag" || command == "drag-promise") && argc == 5 &&
        readPoint(argv[3], &start) && readPoint(argv[4], &target)) {
      NSString* text = [NSString stringWithUTF8String:argv[2]];
      if (text == nil) return usage();
      return command == "drag" ? drag(text, nil, start, target) : drag(nil, text, start, target);
    }
    return usage();
  }
}
