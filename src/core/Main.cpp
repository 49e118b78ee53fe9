// The reboot loop and the main loop: filled in by the engine core.
