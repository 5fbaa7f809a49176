// input on AppKit.
