// What the dialog stand-in asks of the machine: one file or folder dialog, described in host
// terms (UTF-8, Linux paths), answered by GTK's native file chooser (gtk_dialogs.cpp, the one
// place that uses GTK) or, on the headless host, by the test's script (dialog_script.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace winapi::shell {

struct DialogFilter {
    std::string nameUtf8;
    std::vector<std::string> patterns;  // "*.txt", matched without case
};

struct DialogRequest {
    enum Kind { Open, Save, Folder } kind = Open;
    std::string titleUtf8;
    std::vector<DialogFilter> filters;
    int filterIndex = 0;        // 0-based
    std::string folderLinux;    // where it starts; empty: anywhere
    std::string nameUtf8;       // a name to preselect
    bool overwritePrompt = false;
};

struct DialogAnswer {
    enum Result { Chosen, Cancelled, NoDisplay } result = Cancelled;
    std::string pathLinux;
    int filterIndex = 0;        // 0-based
    std::function<void()> whileOpen;  // scripted answers: run while the dialog is open
};

// Runs the dialog to its end on a thread of its own while the calling thread keeps its message
// queue served (sent messages and paint), then answers.
DialogAnswer RunDialog(const DialogRequest& request);

// GTK's side: → false when GTK cannot start (no display).
bool RunGtkDialog(const DialogRequest& request, DialogAnswer* answer);
// Closes the GTK dialog that is open, as a cancel (tests).
void CancelGtkDialog();

} // namespace winapi::shell
