// A drag source for the end-to-end tests: an X client that owns XdndSelection
// the way an XDND drag source does and answers conversions of it.
//
//   drag-source-fixture --offer files|text|promise [--silent]
//                       [--answer-at any|owner-time|current-time]
//
// "files" offers TARGETS and text/uri-list (one file: URI); "text" offers
// TARGETS, UTF8_STRING and text/plain; "promise" offers TARGETS and only the
// type of a promised file, com.apple.pasteboard.promised-file-url, as a drag
// from Mail, Photos or Safari does (the file does not exist yet: no
// text/uri-list, whose conversion is refused like any target not offered).
// --silent never answers a conversion.
// --answer-at says which conversions are answered, as real toolkits differ:
// "any" (the default) answers every one; "owner-time" takes the selection at
// a real server timestamp and answers only conversions asked at exactly that
// time, as Qt 5's QDrag does; "current-time" answers only conversions asked at
// CurrentTime. The others are refused the way Qt refuses: a SelectionNotify
// whose property and target are both None.
// It takes the selection at start and prints "OWNED". Commands on standard
// input, one a line: "own" takes the selection again (a new drag by the same
// owner) and prints "OWNED"; "grab" grabs the pointer as a dragging source
// does and prints "GRABBED"; "move X Y" moves the pointer to X, Y (X
// coordinates) through XTEST, as a real mouse does (raw motion events follow,
// unlike a warp), and prints "MOVED"; "requests" prints "REQUESTS n", the number of
// conversion requests received so far (answered or not); "storm SEED X Y W H"
// starts a storm of input through XTEST, a random action about every
// millisecond (pointer moves, half of them into the box X, Y, W, H in X
// coordinates; left presses and releases; right clicks; taking the selection
// again), and prints "STORMING"; "calm" ends it, releasing the left button,
// and prints "CALM". Conversions are answered throughout. It ends when
// standard input closes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum class AnswerAt { any, ownerTime, currentTime };
enum class Offer { files, text, promise };

struct Fixture {
  Display* display;
  Window window;
  Atom selection, targets, uriList, utf8, textPlain, promisedFileURL, timestampProperty;
  Offer offer = Offer::files;
  bool silent = false;
  AnswerAt answerAt = AnswerAt::any;
  Time ownedAt = CurrentTime;  // the timestamp the selection was taken at (owner-time)
  long requests = 0;
};

// Seeded random input through XTEST.
struct Storm {
  bool on = false;
  std::mt19937 random;
  int boxX = 0, boxY = 0, boxWidth = 1, boxHeight = 1;
  bool leftDown = false;

  void act(Fixture& f) {
    const int screenWidth = DisplayWidth(f.display, DefaultScreen(f.display));
    const int screenHeight = DisplayHeight(f.display, DefaultScreen(f.display));
    const unsigned roll = random() % 20;
    if (roll < 12) {
      int x, y;
      if (random() % 2) {
        x = boxX + static_cast<int>(random() % static_cast<unsigned>(boxWidth));
        y = boxY + static_cast<int>(random() % static_cast<unsigned>(boxHeight));
      } else {
        x = static_cast<int>(random() % static_cast<unsigned>(screenWidth));
        y = static_cast<int>(random() % static_cast<unsigned>(screenHeight));
      }
      XTestFakeMotionEvent(f.display, -1, x, y, CurrentTime);
    } else if (roll < 16) {
      leftDown = !leftDown;
      XTestFakeButtonEvent(f.display, 1, leftDown, CurrentTime);
    } else if (roll < 18) {
      XTestFakeButtonEvent(f.display, 3, True, CurrentTime);
      XTestFakeButtonEvent(f.display, 3, False, CurrentTime);
    } else {
      XSetSelectionOwner(f.display, f.selection, f.window, CurrentTime);
    }
    XFlush(f.display);
  }
  void calm(Fixture& f) {
    if (leftDown) XTestFakeButtonEvent(f.display, 1, False, CurrentTime);
    leftDown = false;
    on = false;
    XSync(f.display, False);
  }
};

void say(const char* line) {
  std::string text = std::string(line) + "\n";
  (void)!write(STDOUT_FILENO, text.data(), text.size());
}

// A real server timestamp: the time of a zero-length append to a property of
// our own window, as toolkits get one when no event carries it.
Time serverTime(Fixture& f) {
  XChangeProperty(f.display, f.window, f.timestampProperty, XA_STRING, 8, PropModeAppend, nullptr,
                  0);
  XEvent event;
  XWindowEvent(f.display, f.window, PropertyChangeMask, &event);
  return event.xproperty.time;
}

void own(Fixture& f) {
  f.ownedAt = f.answerAt == AnswerAt::ownerTime ? serverTime(f) : CurrentTime;
  XSetSelectionOwner(f.display, f.selection, f.window, f.ownedAt);
  if (XGetSelectionOwner(f.display, f.selection) == f.window) say("OWNED");
}

void answer(Fixture& f, const XSelectionRequestEvent& request) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = f.display;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  reply.xselection.property = None;
  const bool accepted = f.answerAt == AnswerAt::any ||
                        (f.answerAt == AnswerAt::ownerTime && request.time == f.ownedAt) ||
                        (f.answerAt == AnswerAt::currentTime && request.time == CurrentTime);
  if (!accepted) {
    reply.xselection.target = None;
    XSendEvent(f.display, request.requestor, False, NoEventMask, &reply);
    XFlush(f.display);
    return;
  }
  const Atom property = request.property != None ? request.property : request.target;
  if (request.target == f.targets) {
    std::vector<Atom> offered{f.targets};
    switch (f.offer) {
      case Offer::files:
        offered.push_back(f.uriList);
        break;
      case Offer::text:
        offered.push_back(f.utf8);
        offered.push_back(f.textPlain);
        break;
      case Offer::promise:
        offered.push_back(f.promisedFileURL);
        break;
    }
    XChangeProperty(f.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered.data()),
                    static_cast<int>(offered.size()));
    reply.xselection.property = property;
  } else if (f.offer == Offer::files && request.target == f.uriList) {
    static const char kList[] =
        "# dragged by the e2e fixture\r\nfile:///tmp/kestrovan-e2e/a.txt\r\n";
    XChangeProperty(f.display, request.requestor, property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kList), sizeof(kList) - 1);
    reply.xselection.property = property;
  } else if (f.offer == Offer::text &&
             (request.target == f.utf8 || request.target == f.textPlain)) {
    static const char kText[] = "just some text";
    XChangeProperty(f.display, request.requestor, property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kText), sizeof(kText) - 1);
    reply.xselection.property = property;
  }
  XSendEvent(f.display, request.requestor, False, NoEventMask, &reply);
  XFlush(f.display);
}

}  // namespace

int main(int argc, char* argv[]) {
  Fixture f{};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--offer" && i + 1 < argc) {
      const std::string what = argv[++i];
      f.offer = what == "files" ? Offer::files : what == "promise" ? Offer::promise : Offer::text;
    }
    if (arg == "--silent") f.silent = true;
    if (arg == "--answer-at" && i + 1 < argc) {
      const std::string when = argv[++i];
      f.answerAt = when == "owner-time"     ? AnswerAt::ownerTime
                   : when == "current-time" ? AnswerAt::currentTime
                                            : AnswerAt::any;
    }
  }
  f.display = XOpenDisplay(nullptr);
  if (f.display == nullptr) {
    std::fprintf(stderr, "drag-source-fixture: cannot open the display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(f.display);
  f.window = XCreateSimpleWindow(f.display, root, 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(f.display, f.window, PropertyChangeMask);
  f.selection = XInternAtom(f.display, "XdndSelection", False);
  f.targets = XInternAtom(f.display, "TARGETS", False);
  f.uriList = XInternAtom(f.display, "text/uri-list", False);
  f.utf8 = XInternAtom(f.display, "UTF8_STRING", False);
  f.textPlain = XInternAtom(f.display, "text/plain", False);
  f.promisedFileURL = XInternAtom(f.display, "com.apple.pasteboard.promised-file-url", False);
  f.timestampProperty = XInternAtom(f.display, "KESTROVAN_FIXTURE_TIMESTAMP", False);
  own(f);

  std::string input;
  Storm storm;
  for (;;) {
    while (XPending(f.display) > 0) {
      XEvent event;
      XNextEvent(f.display, &event);
      if (event.type != SelectionRequest) continue;
      ++f.requests;
      if (!f.silent) answer(f, event.xselectionrequest);
    }
    if (storm.on) storm.act(f);
    pollfd fds[2] = {{ConnectionNumber(f.display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, 2, storm.on ? 1 : -1) < 0) continue;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buffer[256];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof(buffer));
      if (n <= 0) break;
      input.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t end; (end = input.find('\n')) != std::string::npos;
           input.erase(0, end + 1)) {
        const std::string command = input.substr(0, end);
        if (command == "own") own(f);
        if (command == "grab") {
          const int status = XGrabPointer(f.display, root, False,
                                          ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                          GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
          if (status == GrabSuccess) say("GRABBED");
        }
        if (command.rfind("move ", 0) == 0) {
          std::istringstream words(command.substr(5));
          int x = 0, y = 0;
          words >> x >> y;
          XTestFakeMotionEvent(f.display, -1, x, y, CurrentTime);
          XSync(f.display, False);
          say("MOVED");
        }
        if (command == "requests") say(("REQUESTS " + std::to_string(f.requests)).c_str());
        if (command.rfind("storm ", 0) == 0) {
          std::istringstream words(command.substr(6));
          unsigned seed = 0;
          words >> seed >> storm.boxX >> storm.boxY >> storm.boxWidth >> storm.boxHeight;
          if (storm.boxWidth < 1) storm.boxWidth = 1;
          if (storm.boxHeight < 1) storm.boxHeight = 1;
          storm.random.seed(seed);
          storm.on = true;
          say("STORMING");
        }
        if (command == "calm") {
          storm.calm(f);
          say("CALM");
        }
      }
    }
  }
  XCloseDisplay(f.display);
  return 0;
}
