// SIGTERM and SIGINT as the end of the session: what Windows does when the user logs off, so that
// a game stopped from a terminal or by its desktop saves its settings and data and exits. The
// handlers note the signal; a watcher thread hands it to the window system (HostEndSession).
#pragma once

namespace winapi {

// Runs on the watcher thread as a signal arrives, before the windows hear of it.
using EndSessionHook = void (*)();

// Installs the handlers of SIGTERM and SIGINT (once per process; later calls only replace the
// hook, null for none). A second signal while the first is handled ends the process at once (the
// signal's default action); a process still running 5 s after the signal ends with 128 + the
// signal's number. false when the handlers cannot be installed.
bool InstallEndSessionSignals(EndSessionHook hook);

} // namespace winapi
