// input on the simulated desktop.
