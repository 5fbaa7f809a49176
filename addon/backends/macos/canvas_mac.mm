// canvas on AppKit.
