// GTK's native file chooser for the dialog stand-in: the one place of the stand-in that uses GTK.
// GTK lives on a thread of its own, started at the first dialog; each dialog is carried there.
#include <gtk/gtk.h>

#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "winapi/shell/dialog_backend.h"

// LeakSanitizer's switch, when the program runs under it: GTK keeps allocations for the life of
// the process (type system, theme, fonts), which are not ours to free.
extern "C" void __lsan_disable() __attribute__((weak));

namespace winapi::shell {

namespace {

struct Job {
    const DialogRequest* request;
    DialogAnswer* answer;
    bool started = false;  // false when GTK could not start
    bool done = false;
};

struct GtkThread {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job*> jobs;
    bool running = false;
};

GtkThread& Gtk()
{
    static auto* gtk = new GtkThread;
    return *gtk;
}

GtkNativeDialog* g_openDialog = nullptr;  // on the GTK thread only

// "*.txt" → "*.[tT][xX][tT]": GTK's patterns match case.
std::string CaseInsensitive(const std::string& pattern)
{
    std::string out;
    for (char c : pattern) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalpha(u) && u < 0x80) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

void Run(const DialogRequest& request, DialogAnswer* answer)
{
    static const GtkFileChooserAction kActions[] = {GTK_FILE_CHOOSER_ACTION_OPEN, GTK_FILE_CHOOSER_ACTION_SAVE,
                                                    GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER};
    GtkFileChooserNative* native =
        gtk_file_chooser_native_new(request.titleUtf8.c_str(), nullptr, kActions[request.kind], nullptr, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(native);
    std::vector<GtkFileFilter*> filters;
    for (const DialogFilter& filter : request.filters) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, filter.nameUtf8.c_str());
        for (const std::string& pattern : filter.patterns)
            gtk_file_filter_add_pattern(gtkFilter, CaseInsensitive(pattern).c_str());
        gtk_file_chooser_add_filter(chooser, gtkFilter);
        filters.push_back(gtkFilter);
    }
    if (request.filterIndex >= 0 && static_cast<size_t>(request.filterIndex) < filters.size())
        gtk_file_chooser_set_filter(chooser, filters[static_cast<size_t>(request.filterIndex)]);
    if (!request.folderLinux.empty())
        gtk_file_chooser_set_current_folder(chooser, request.folderLinux.c_str());
    if (request.kind == DialogRequest::Save) {
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, request.overwritePrompt);
        if (!request.nameUtf8.empty())
            gtk_file_chooser_set_current_name(chooser, request.nameUtf8.c_str());
    }
    g_openDialog = GTK_NATIVE_DIALOG(native);
    const gint response = gtk_native_dialog_run(GTK_NATIVE_DIALOG(native));
    g_openDialog = nullptr;
    answer->result = DialogAnswer::Cancelled;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* file = gtk_file_chooser_get_filename(chooser)) {
            answer->result = DialogAnswer::Chosen;
            answer->pathLinux = file;
            g_free(file);
        }
        GtkFileFilter* chosen = gtk_file_chooser_get_filter(chooser);
        for (size_t i = 0; i < filters.size(); ++i)
            if (filters[i] == chosen)
                answer->filterIndex = static_cast<int>(i);
    }
    g_object_unref(native);
}

void Main()
{
    if (__lsan_disable != nullptr)
        __lsan_disable();
    const bool started = gtk_init_check(nullptr, nullptr) != FALSE;
    GtkThread& gtk = Gtk();
    for (;;) {
        Job* job;
        {
            std::unique_lock lock(gtk.mutex);
            gtk.changed.wait(lock, [&] { return !gtk.jobs.empty(); });
            job = gtk.jobs.front();
            gtk.jobs.pop_front();
        }
        if (started)
            Run(*job->request, job->answer);
        std::lock_guard lock(gtk.mutex);
        job->started = started;
        job->done = true;
        gtk.changed.notify_all();
    }
}

} // namespace

bool RunGtkDialog(const DialogRequest& request, DialogAnswer* answer)
{
    GtkThread& gtk = Gtk();
    Job job{&request, answer};
    std::unique_lock lock(gtk.mutex);
    if (!gtk.running) {
        gtk.running = true;
        std::thread(Main).detach();
    }
    gtk.jobs.push_back(&job);
    gtk.changed.notify_all();
    gtk.changed.wait(lock, [&] { return job.done; });
    return job.started;
}

void CancelGtkDialog()
{
    g_idle_add(
        [](gpointer) -> gboolean {
            if (g_openDialog != nullptr)
                gtk_native_dialog_hide(g_openDialog);
            return FALSE;
        },
        nullptr);
}

} // namespace winapi::shell
