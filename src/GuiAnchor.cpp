// Keeps the window library non-empty while modules are added.
