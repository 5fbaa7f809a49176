// kestrovan-promise-receiver: the drop target's side of a file-promise drag,
// run as its own process as the Finder is, for the AppKit desktop driver of
// the addon's node suites (test-only, macOS only, never shipped).
//
//   kestrovan-promise-receiver receive --destination DIR [--timeout SECONDS]
//                              [--release-at X,Y [--release-after SECONDS]] [--wait-for FILE]
//     Reads the NSFilePromiseReceivers of the drag pasteboard, asks each for
//     its files in DIR (receivePromisedFilesAtDestination:...), and prints one
//     JSON line per answer the reader gets. With --release-at, when the
//     answers stall for --release-after seconds (default 2), the real mouse
//     is dragged to X,Y (global
//     display points from the main display's top left) and released there:
//     the drop, which ends a drag whose loop runs nested in the source's main
//     thread, where nothing of the source's JavaScript runs until it ends.
//     With --wait-for it first waits (up to 5 s) for FILE to exist (a
//     progress watcher's sign that it subscribed). Prints the
//     progress published on DIR's files as the Finder sees it. Exits 0 once
//     every promise was answered (and a short grace for second answers has
//     passed), 3 on the timeout (default 20 s) naming the unanswered ones, 4
//     when the drag pasteboard holds no file promises (naming the types it
//     holds), 5 when AppKit raised, 2 on a bad command line.
//
//     --wait-for may be given more than once.
//
//   kestrovan-promise-receiver list
//     Prints what the drag pasteboard holds (the "promises" line with each
//     promise's file types, or "noPromises") and receives nothing.
//
//   kestrovan-promise-receiver watch-progress --path PATH [--timeout SECONDS] [--ready-file FILE]
//     Subscribes to the progress published on PATH (or on the files directly
//     in it) and prints each publication, each fraction and each withdrawal,
//     until the timeout (default 120 s) or SIGTERM; once subscribed it
//     creates FILE, if given.
//
//   kestrovan-promise-receiver source --items JSON --start X,Y --points X,Y[;X,Y...]
//                              [--drop yes|no] [--timeout SECONDS]
//     Another application's drag into a window (promise_source.h): begins a
//     drag of the items (JSON: [{"kind":"file","path":...} |
//     {"kind":"promise","name":...,"contents":...,"delayMs":...,"error":...,
//     "never":true}]) from a small window of its own at X,Y, drags the real
//     mouse along the points (global display points from the main display's
//     top left) and drops there, or with --drop no takes it back to its own
//     window and releases it there. Then writes the promises as they are
//     called in, until each was answered (a never-answered one is held until
//     the timeout, default 120 s). 0 done, 3 timed out, 6 when it may not
//     post events or the drag did not begin.
//
// Every mode also ends when the process that started it is gone.
//
// Output: one JSON object per line on standard output, each with "event":
//   {"event":"subscribed"}
//   {"event":"promises","count":N,"fileTypes":[[...],...]}
//   {"event":"noPromises","message":"the drag pasteboard holds no file promises","types":[...],"itemTypes":[[...],...]}
//   {"event":"answer","index":I,"fileName":...,"path":...|null,"error":...|null}
//   {"event":"released","x":X,"y":Y} / {"event":"releaseSkipped","message":...}
//   {"event":"progressPublished","path":...,"fraction":F}
//   {"event":"progress","path":...,"fraction":F}
//   {"event":"progressWithdrawn","path":...,"fraction":F}
//   {"event":"timeout","unanswered":[I,...]} / {"event":"failed","message":...} / {"event":"done"}

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "json_lines.h"
#include "promise_source.h"

namespace {

// The grace after the last expected answer in which a second answer to a
// promise is still seen.
constexpr double answerGraceSeconds = 0.3;

void printLine(NSDictionary<NSString*, id>* object) { kestrovan::appkit_driver::printJsonLine(object); }

id orNull(id _Nullable value) { return value ?: [NSNull null]; }

NSString* pathOf(NSURL* _Nullable url) { return url.path ?: @""; }

struct Options {
  std::string mode;
  std::string destination;
  std::string path;
  double timeout = 0;
  bool release = false;
  CGPoint releasePoint = CGPointZero;
  double releaseAfter = 2;
  std::vector<std::string> waitFor;
  std::string readyFile;
  kestrovan::appkit_driver::SourceOptions source;
};

[[noreturn]] void usage(const char* problem) {
  fprintf(stderr, "kestrovan-promise-receiver: %s\n"
                  "usage: kestrovan-promise-receiver receive --destination DIR [--timeout S] [--release-at X,Y\n"
                  "                                  [--release-after S]] [--wait-for FILE]\n"
                  "       kestrovan-promise-receiver list\n"
                  "       kestrovan-promise-receiver watch-progress --path PATH [--timeout S] [--ready-file FILE]\n"
                  "       kestrovan-promise-receiver source --items JSON --start X,Y --points X,Y[;X,Y...] [--drop yes|no]\n"
                  "                                  [--timeout S]\n",
          problem);
  exit(2);
}

Options parse(int argc, const char* argv[]) {
  Options options;
  if (argc < 2) usage("no mode given");
  options.mode = argv[1];
  if (options.mode != "receive" && options.mode != "list" && options.mode != "watch-progress" &&
      options.mode != "source") {
    usage("unknown mode");
  }
  options.timeout = options.mode == "receive" ? 20 : 120;
  for (int i = 2; i < argc; ++i) {
    std::string name = argv[i];
    if (i + 1 >= argc) usage("an option lacks its value");
    const char* value = argv[++i];
    if (name == "--destination") {
      options.destination = value;
    } else if (name == "--path") {
      options.path = value;
    } else if (name == "--timeout") {
      char* end = nullptr;
      options.timeout = strtod(value, &end);
      if (!end || *end != '\0' || !(options.timeout > 0)) usage("--timeout takes a positive number of seconds");
    } else if (name == "--release-after") {
      char* end = nullptr;
      options.releaseAfter = strtod(value, &end);
      if (!end || *end != '\0' || !(options.releaseAfter >= 0)) usage("--release-after takes a number of seconds");
    } else if (name == "--wait-for") {
      options.waitFor.push_back(value);
    } else if (name == "--ready-file") {
      options.readyFile = value;
    } else if (name == "--release-at") {
      double x = 0, y = 0;
      char tail = 0;
      if (sscanf(value, "%lf,%lf%c", &x, &y, &tail) != 2) usage("--release-at takes X,Y");
      options.release = true;
      options.releasePoint = CGPointMake(x, y);
    } else if (name == "--items") {
      NSData* json = [NSData dataWithBytes:value length:strlen(value)];
      id items = [NSJSONSerialization JSONObjectWithData:json options:0 error:nil];
      if (![items isKindOfClass:[NSArray class]]) usage("--items takes a JSON array");
      options.source.items = items;
    } else if (name == "--start") {
      double x = 0, y = 0;
      char tail = 0;
      if (sscanf(value, "%lf,%lf%c", &x, &y, &tail) != 2) usage("--start takes X,Y");
      options.source.start = CGPointMake(x, y);
    } else if (name == "--points") {
      for (const char* at = value; *at != '\0';) {
        double x = 0, y = 0;
        int used = 0;
        if (sscanf(at, "%lf,%lf%n", &x, &y, &used) != 2) usage("--points takes X,Y[;X,Y...]");
        options.source.path.push_back(CGPointMake(x, y));
        at += used;
        if (*at == ';') ++at;
      }
    } else if (name == "--drop") {
      if (strcmp(value, "yes") != 0 && strcmp(value, "no") != 0) usage("--drop takes yes or no");
      options.source.drop = strcmp(value, "yes") == 0;
    } else {
      usage("unknown option");
    }
  }
  options.source.timeout = options.timeout;
  if (options.mode == "source" && (options.source.items == nil || options.source.path.empty())) {
    usage("source needs --items, --start and --points");
  }
  if (options.mode == "receive" && options.destination.empty()) usage("receive needs --destination");
  if (options.mode == "list") options.destination = "/";
  if (options.mode == "watch-progress" && options.path.empty()) usage("watch-progress needs --path");
  return options;
}

// The process that started this one: when it is gone (a test run that
// crashed), this one ends too.
pid_t parent = getppid();

// Runs the main run loop (where the reader and the progress handlers are
// called) until `done` says so or the deadline passes: whether `done` said so.
bool runUntil(NSDate* deadline, bool (^done)(void)) {
  while (!done()) {
    if ([deadline timeIntervalSinceNow] <= 0) return false;
    if (getppid() != parent) exit(0);
    @autoreleasepool {
      [[NSRunLoop currentRunLoop] runMode:NSDefaultRunLoopMode
                               beforeDate:[NSDate dateWithTimeIntervalSinceNow:0.05]];
    }
  }
  return true;
}

void runFor(double seconds) {
  NSDate* until = [NSDate dateWithTimeIntervalSinceNow:seconds];
  runUntil(until, ^bool {
    return false;
  });
}

}  // namespace

// Prints the fractions of one published progress (a proxy of the publisher's)
// until it is withdrawn.
@interface KestrovanProgressPrinter : NSObject
- (instancetype)initWithProgress:(NSProgress*)progress;
- (void)withdraw;
@end

@implementation KestrovanProgressPrinter {
  NSProgress* _progress;
  NSString* _path;
  BOOL _observing;
}

- (instancetype)initWithProgress:(NSProgress*)progress {
  self = [super init];
  if (self) {
    _progress = progress;
    _path = pathOf(progress.fileURL);
    printLine(@{@"event" : @"progressPublished", @"path" : _path, @"fraction" : @(progress.fractionCompleted)});
    [progress addObserver:self forKeyPath:@"fractionCompleted" options:NSKeyValueObservingOptionNew context:nil];
    _observing = YES;
  }
  return self;
}

- (void)observeValueForKeyPath:(nullable NSString*)keyPath
                      ofObject:(nullable id)object
                        change:(nullable NSDictionary<NSKeyValueChangeKey, id>*)change
                       context:(nullable void*)context {
  (void)keyPath;
  (void)object;
  (void)context;
  NSNumber* fraction = change[NSKeyValueChangeNewKey];
  if (![fraction isKindOfClass:[NSNumber class]]) return;
  NSString* path = _path;
  // Printed on the main thread, in order with every other line.
  dispatch_async(dispatch_get_main_queue(), ^{
    printLine(@{@"event" : @"progress", @"path" : path, @"fraction" : fraction});
  });
}

- (void)withdraw {
  if (_observing) {
    [_progress removeObserver:self forKeyPath:@"fractionCompleted" context:nil];
    _observing = NO;
  }
  printLine(@{@"event" : @"progressWithdrawn", @"path" : _path, @"fraction" : @(_progress.fractionCompleted)});
}

- (void)dealloc {
  if (_observing) [_progress removeObserver:self forKeyPath:@"fractionCompleted" context:nil];
}

@end

namespace {

// Subscribes to the progress published on `url` (or on what it directly
// holds); the handlers are called on the main thread.
id subscribeToProgress(NSURL* url) {
  return [NSProgress addSubscriberForFileURL:url
                       withPublishingHandler:^NSProgressUnpublishingHandler _Nullable(NSProgress* progress) {
                         KestrovanProgressPrinter* printer =
                             [[KestrovanProgressPrinter alloc] initWithProgress:progress];
                         return ^{
                           [printer withdraw];
                         };
                       }];
}

// The drop: drags the real mouse to `point` and releases it there.
void releaseMouse(CGPoint point) {
  if (!CGPreflightPostEventAccess()) {
    printLine(@{@"event" : @"releaseSkipped", @"message" : @"this process may not post events"});
    return;
  }
  for (CGEventType type : {kCGEventLeftMouseDragged, kCGEventLeftMouseDragged, kCGEventLeftMouseUp}) {
    CGEventRef event = CGEventCreateMouseEvent(nullptr, type, point, kCGMouseButtonLeft);
    if (!event) continue;
    CGEventPost(kCGHIDEventTap, event);
    CFRelease(event);
    runFor(0.15);
  }
  printLine(@{@"event" : @"released", @"x" : @(point.x), @"y" : @(point.y)});
}

NSArray<NSString*>* typesOf(NSArray<NSPasteboardType>* _Nullable types) { return types ?: @[]; }

int receive(const Options& options) {
  NSDate* waitLimit = [NSDate dateWithTimeIntervalSinceNow:5];
  for (const std::string& file : options.waitFor) {
    NSString* sign = @(file.c_str());
    runUntil(waitLimit, ^bool {
      return [NSFileManager.defaultManager fileExistsAtPath:sign];
    });
  }
  NSURL* destination = [NSURL fileURLWithPath:@(options.destination.c_str()) isDirectory:YES];
  NSPasteboard* pasteboard = [NSPasteboard pasteboardWithName:NSPasteboardNameDrag];
  NSArray* found = [pasteboard readObjectsForClasses:@[ [NSFilePromiseReceiver class] ] options:nil];
  NSMutableArray<NSFilePromiseReceiver*>* receivers = [NSMutableArray array];
  for (id object in found) {
    if ([object isKindOfClass:[NSFilePromiseReceiver class]]) [receivers addObject:object];
  }
  if (receivers.count == 0) {
    NSMutableArray<NSArray<NSString*>*>* itemTypes = [NSMutableArray array];
    for (NSPasteboardItem* item in pasteboard.pasteboardItems) [itemTypes addObject:typesOf(item.types)];
    printLine(@{
      @"event" : @"noPromises",
      @"message" : @"the drag pasteboard holds no file promises",
      @"types" : typesOf(pasteboard.types),
      @"itemTypes" : itemTypes
    });
    return 4;
  }
  NSMutableArray<NSArray<NSString*>*>* fileTypes = [NSMutableArray array];
  for (NSFilePromiseReceiver* receiver in receivers) [fileTypes addObject:receiver.fileTypes];
  printLine(@{@"event" : @"promises", @"count" : @(receivers.count), @"fileTypes" : fileTypes});
  if (options.mode == "list") return 0;

  id subscriber = subscribeToProgress(destination);
  std::vector<int> answers(receivers.count, 0);
  int* answerCounts = answers.data();
  for (NSUInteger i = 0; i < receivers.count; ++i) {
    NSUInteger index = i;
    [receivers[i] receivePromisedFilesAtDestination:destination
                                            options:@{}
                                     operationQueue:[NSOperationQueue mainQueue]
                                             reader:^(NSURL* fileURL, NSError* _Nullable error) {
                                               answerCounts[index] += 1;
                                               printLine(@{
                                                 @"event" : @"answer",
                                                 @"index" : @(index),
                                                 @"fileName" : fileURL.lastPathComponent ?: @"",
                                                 @"path" : error ? [NSNull null] : orNull(fileURL.path),
                                                 @"error" : error ? orNull(error.localizedDescription) : [NSNull null]
                                               });
                                             }];
  }

  size_t count = answers.size();
  int (^answeredTotal)(void) = ^int {
    int total = 0;
    for (size_t i = 0; i < count; ++i) total += answerCounts[i];
    return total;
  };
  bool (^allAnswered)(void) = ^bool {
    for (size_t i = 0; i < count; ++i) {
      if (answerCounts[i] == 0) return false;
    }
    return true;
  };
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:options.timeout];
  // With --release-at: the drop, once the answers stall.
  bool released = !options.release;
  while (!released && !allAnswered() && [deadline timeIntervalSinceNow] > 0) {
    int before = answeredTotal();
    NSDate* until = [[NSDate dateWithTimeIntervalSinceNow:options.releaseAfter] earlierDate:deadline];
    runUntil(until, ^bool {
      return allAnswered() || answeredTotal() != before;
    });
    if (!allAnswered() && answeredTotal() == before && [deadline timeIntervalSinceNow] > 0) {
      releaseMouse(options.releasePoint);
      released = true;
    }
  }
  bool done = runUntil(deadline, allAnswered);
  if (!done) {
    NSMutableArray<NSNumber*>* unanswered = [NSMutableArray array];
    for (size_t i = 0; i < answers.size(); ++i) {
      if (answers[i] == 0) [unanswered addObject:@(i)];
    }
    printLine(@{@"event" : @"timeout", @"unanswered" : unanswered});
    [NSProgress removeSubscriber:subscriber];
    return 3;
  }
  runFor(answerGraceSeconds);
  [NSProgress removeSubscriber:subscriber];
  printLine(@{@"event" : @"done"});
  return 0;
}

int watchProgress(const Options& options) {
  NSURL* url = [NSURL fileURLWithPath:@(options.path.c_str())];
  id subscriber = subscribeToProgress(url);
  printLine(@{@"event" : @"subscribed"});
  if (!options.readyFile.empty()) {
    [NSData.data writeToFile:@(options.readyFile.c_str()) atomically:NO];
  }
  runFor(options.timeout);
  [NSProgress removeSubscriber:subscriber];
  printLine(@{@"event" : @"timeout"});
  return 0;
}

}  // namespace

int main(int argc, const char* argv[]) {
  Options options = parse(argc, argv);
  @autoreleasepool {
    @try {
      if (options.mode == "source") return kestrovan::appkit_driver::runPromiseSource(options.source);
      return options.mode == "watch-progress" ? watchProgress(options) : receive(options);
    } @catch (NSException* exception) {
      printLine(@{
        @"event" : @"failed",
        @"message" : [NSString stringWithFormat:@"%@: %@", exception.name, exception.reason ?: @""]
      });
      return 5;
    }
  }
}
