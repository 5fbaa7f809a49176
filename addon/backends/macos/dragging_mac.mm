// dragging on AppKit.
