// Keeps the engine library non-empty while modules are added.
