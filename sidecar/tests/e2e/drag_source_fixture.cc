// A drag source for the end-to-end tests: an X client that owns XdndSelection
// the way an XDND drag source does and answers conversions of it.
//
//   drag-source-fixture --offer files|text [--silent]
//
// "files" offers TARGETS and text/uri-list (one file: URI); "text" offers
// TARGETS, UTF8_STRING and text/plain. --silent never answers a conversion.
// It takes the selection at start and prints "OWNED". Commands on standard
// input, one a line: "own" takes the selection again (a new drag by the same
// owner) and prints "OWNED"; "grab" grabs the pointer as a dragging source
// does and prints "GRABBED". It ends when standard input closes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Fixture {
  Display* display;
  Window window;
  Atom selection, targets, uriList, utf8, textPlain;
  bool files = true;
  bool silent = false;
};

void say(const char* line) {
  std::string text = std::string(line) + "\n";
  (void)!write(STDOUT_FILENO, text.data(), text.size());
}

void own(Fixture& f) {
  XSetSelectionOwner(f.display, f.selection, f.window, CurrentTime);
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
  const Atom property = request.property != None ? request.property : request.target;
  if (request.target == f.targets) {
    std::vector<Atom> offered{f.targets};
    if (f.files) {
      offered.push_back(f.uriList);
    } else {
      offered.push_back(f.utf8);
      offered.push_back(f.textPlain);
    }
    XChangeProperty(f.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered.data()),
                    static_cast<int>(offered.size()));
    reply.xselection.property = property;
  } else if (f.files && request.target == f.uriList) {
    static const char kList[] =
        "# dragged by the e2e fixture\r\nfile:///tmp/kestrovan-e2e/a.txt\r\n";
    XChangeProperty(f.display, request.requestor, property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kList), sizeof(kList) - 1);
    reply.xselection.property = property;
  } else if (!f.files && (request.target == f.utf8 || request.target == f.textPlain)) {
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
    if (arg == "--offer" && i + 1 < argc) f.files = std::strcmp(argv[++i], "files") == 0;
    if (arg == "--silent") f.silent = true;
  }
  f.display = XOpenDisplay(nullptr);
  if (f.display == nullptr) {
    std::fprintf(stderr, "drag-source-fixture: cannot open the display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(f.display);
  f.window = XCreateSimpleWindow(f.display, root, 0, 0, 1, 1, 0, 0, 0);
  f.selection = XInternAtom(f.display, "XdndSelection", False);
  f.targets = XInternAtom(f.display, "TARGETS", False);
  f.uriList = XInternAtom(f.display, "text/uri-list", False);
  f.utf8 = XInternAtom(f.display, "UTF8_STRING", False);
  f.textPlain = XInternAtom(f.display, "text/plain", False);
  own(f);

  std::string input;
  for (;;) {
    while (XPending(f.display) > 0) {
      XEvent event;
      XNextEvent(f.display, &event);
      if (event.type == SelectionRequest && !f.silent) answer(f, event.xselectionrequest);
    }
    pollfd fds[2] = {{ConnectionNumber(f.display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
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
      }
    }
  }
  XCloseDisplay(f.display);
  return 0;
}
