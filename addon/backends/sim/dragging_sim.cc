// dragging on the simulated desktop.
