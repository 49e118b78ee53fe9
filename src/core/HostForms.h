#pragma once
// The engine's side of the two host forms: which one LoadSettings shows,
// what their Form_Unload does, and the pending-message pump.
#include "core/Error.h"
#include "platform/Host.h"

namespace rdv {

class Engine;

// The engine's error for a failure of the host: a device error with the
// host's source, text and system code.
EngineError HostFailure(const HostError& e);

// Shows `form` as this pass's host window: engine.hostWindow and
// engine.hostWindowHandle are set, and the forms' unload behaviours are
// installed on the host. Without a host (some tests) only the choice is kept.
// A window the host cannot make raises the device error of HostFailure.
void ShowHostWindow(Engine& engine, HostForm form);

// Form_Unload of frmHostFull and frmHostWnd. The full-screen form always
// goes and stops the main loop; the windowed one, while the loop runs,
// stays and only stops the loop (Main unloads it after the shutdown).
// A close request that comes while the loop is not running (during
// start-up, when input lets messages run) waits for the loop: the window
// must outlive the devices being built on it.
void HostFormUnload(Engine& engine, IHost::UnloadRequest& request);

// Calls DispLoad of the chosen host window; none chosen: nothing.
void DispLoadHostWindow(Engine& engine);

// Unloads frmHostFull, then frmHostWnd, and forgets the host window.
void UnloadHostForms(Engine& engine);

// Lets pending window messages run (close requests reach HostFormUnload).
void DoEvents(Engine& engine);

} // namespace rdv
