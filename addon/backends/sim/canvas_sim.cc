// canvas on the simulated desktop.
